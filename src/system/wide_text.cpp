#include "wide_text.h"

#include <cstdint>

namespace {

void append_character(std::string *text, std::uint32_t c) {
    const auto byte = [text](std::uint32_t value) { text->push_back(static_cast<char>(value)); };
    if (c < 0x80) {
        byte(c);
        return;
    }
    if (c < 0x800) {
        byte(0xc0 | c >> 6);
    } else if (c < 0x10000) {
        byte(0xe0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3f));
    } else {
        byte(0xf0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3f));
        byte(0x80 | (c >> 6 & 0x3f));
    }
    byte(0x80 | (c & 0x3f));
}

bool is_high_surrogate(std::uint32_t unit) {
    return unit >= 0xd800 && unit < 0xdc00;
}

bool is_low_surrogate(std::uint32_t unit) {
    return unit >= 0xdc00 && unit < 0xe000;
}

} // namespace

std::size_t utf8_sequence_length(unsigned char lead) {
    return lead < 0x80   ? 1
           : lead < 0xc2 ? 0
           : lead < 0xe0 ? 2
           : lead < 0xf0 ? 3
           : lead < 0xf5 ? 4
                         : 0;
}

std::string text_from_utf16(const char16_t *wide) {
    std::string text;
    for (; *wide != 0; ++wide) {
        std::uint32_t c = *wide;
        if (is_high_surrogate(c) && is_low_surrogate(wide[1])) {
            ++wide;
            c = 0x10000 + ((c - 0xd800) << 10) + (*wide - 0xdc00u);
        }
        append_character(&text, c);
    }
    return text;
}

bool utf16_from_text(const char *text, char16_t *wide, std::size_t room) {
    static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000}; // shorter forms name no file
    const auto *byte = reinterpret_cast<const unsigned char *>(text);
    std::size_t used = 0;
    while (*byte != 0) {
        const std::size_t length = utf8_sequence_length(*byte);
        if (length == 0)
            return false;
        std::uint32_t c = length == 1 ? *byte : *byte & (0x7fu >> length);
        for (std::size_t i = 1; i < length; ++i) {
            if ((byte[i] & 0xc0) != 0x80)
                return false;
            c = c << 6 | (byte[i] & 0x3fu);
        }
        byte += length;
        const std::size_t units = c >= 0x10000 ? 2 : 1;
        if (c < least[length] || c > 0x10ffff || used + units >= room)
            return false;
        if (units == 2) {
            wide[used++] = static_cast<char16_t>(0xd800 + ((c - 0x10000) >> 10));
            c = 0xdc00 + ((c - 0x10000) & 0x3ff);
        }
        wide[used++] = static_cast<char16_t>(c);
    }
    wide[used] = 0;
    return true;
}
