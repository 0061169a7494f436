#include "console_writer_windows.h"
#include "wide_text.h"
#include "win32_calls_windows.h"

#include <cstring>

namespace {

// A UTF-8 sequence cut at the end of one part is kept for the next, for the console needs
// whole characters.
char cut_sequence[4];
std::size_t cut_length = 0;

// How many bytes at the end of `data` begin a sequence that the data does not finish.
std::size_t unfinished_tail(const char *data, std::size_t length) {
    std::size_t back = 0;
    while (back < 3 && back < length &&
           (static_cast<unsigned char>(data[length - 1 - back]) & 0xc0) == 0x80)
        ++back;
    if (back == length)
        return 0;
    const std::size_t begun = back + 1;
    return utf8_sequence_length(static_cast<unsigned char>(data[length - begun])) > begun ? begun
                                                                                          : 0;
}

// A part's bytes make at most as many wide characters.
wchar_t wide_text[text_part];

DWORD write_wide(HANDLE console, const char *data, std::size_t length) {
    if (length == 0)
        return 0;
    const int count = MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(length), wide_text,
                                          static_cast<int>(sizeof wide_text / sizeof *wide_text));
    if (count == 0)
        return GetLastError();
    for (int done = 0; done < count;) {
        DWORD wrote = 0;
        if (win32.write_console(console, wide_text + done, static_cast<DWORD>(count - done), &wrote,
                                nullptr) == 0)
            return GetLastError();
        done += static_cast<int>(wrote);
    }
    return 0;
}

} // namespace

DWORD write_console(HANDLE console, const char *data, std::size_t length) {
    if (cut_length > 0) {
        const std::size_t whole = utf8_sequence_length(static_cast<unsigned char>(cut_sequence[0]));
        while (cut_length < whole && length > 0) {
            cut_sequence[cut_length++] = *data++;
            --length;
        }
        if (cut_length < whole)
            return 0;
        cut_length = 0;
        if (const DWORD error = write_wide(console, cut_sequence, whole))
            return error;
    }
    cut_length = unfinished_tail(data, length);
    std::memcpy(cut_sequence, data + length - cut_length, cut_length);
    return write_wide(console, data, length - cut_length);
}
