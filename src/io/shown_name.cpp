#include "shown_name.h"

#include <cstring>

namespace {

// The length of the character at `text` when a terminal shows it as one: a printable ASCII
// byte, or a whole UTF-8 sequence that is no C1 control (U+0080 to U+009F, C2 80 to C2 9F);
// otherwise 0. The second byte's range also rules out overlong forms, surrogates and code points
// past U+10FFFF. A NUL ends every sequence, as it fails every range.
std::size_t shown_character_length(const unsigned char *text) {
    const unsigned char lead = text[0];
    if (lead >= 0x20 && lead < 0x7f)
        return 1;
    if (lead < 0xc2 || lead > 0xf4)
        return 0;
    const unsigned char least = lead == 0xc2   ? 0xa0
                                : lead == 0xe0 ? 0xa0
                                : lead == 0xf0 ? 0x90
                                               : 0x80;
    const unsigned char most = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    if (text[1] < least || text[1] > most)
        return 0;
    const std::size_t length = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    for (std::size_t i = 2; i < length; ++i)
        if ((text[i] & 0xc0) != 0x80)
            return 0;
    return length;
}

bool needs_quoting(const unsigned char *name) {
    if (name[0] == '$' && name[1] == '\'')
        return true;
    while (*name != 0) {
        const std::size_t length = shown_character_length(name);
        if (length == 0)
            return true;
        name += length;
    }
    return false;
}

} // namespace

void write_shown_name(const char *name, TextWriter write, void *to) {
    const auto *text = reinterpret_cast<const unsigned char *>(name);
    if (!needs_quoting(text)) {
        write(to, name, std::strlen(name));
        return;
    }
    write(to, "$'", 2);
    while (*text != 0) {
        // The characters up to the next that needs an escape go as they are, in one piece.
        std::size_t plain = 0;
        for (std::size_t length = 0; text[plain] != '\\' && text[plain] != '\'' &&
                                     (length = shown_character_length(text + plain)) > 0;)
            plain += length;
        write(to, reinterpret_cast<const char *>(text), plain);
        text += plain;
        if (*text == 0)
            break;
        const char digits[] = "0123456789abcdef";
        const char hex[] = {'\\', 'x', digits[*text >> 4], digits[*text & 15]};
        const char quoted[] = {'\\', static_cast<char>(*text)};
        const bool quote = *text == '\\' || *text == '\'';
        write(to, quote ? quoted : hex, quote ? sizeof quoted : sizeof hex);
        ++text;
    }
    write(to, "'", 1);
}
