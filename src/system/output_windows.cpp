#include "console_writer_windows.h"
#include "system.h"
#include "win32_calls_windows.h"

#include <cstdlib>

namespace {

// WriteFile takes a 32-bit count: larger writes go in parts of this size.
constexpr DWORD largest_write = DWORD{1} << 30;
SystemError write_file(HANDLE file, const char *data, std::size_t length) {
    while (length > 0) {
        const DWORD part = length < largest_write ? static_cast<DWORD>(length) : largest_write;
        DWORD wrote = 0;
        if (win32.write_file(file, data, part, &wrote, nullptr) == 0)
            return static_cast<SystemError>(GetLastError());
        data += wrote;
        length -= wrote;
    }
    return no_error;
}

// Lines end in CR LF, as in every Windows console program: each LF gets its CR on the way out,
// and the text goes in parts that fill this buffer.
char crlf_text[text_part];

SystemError write_with_crlf(HANDLE to, const char *data, std::size_t length) {
    DWORD mode = 0;
    const bool console = win32.get_console_mode(to, &mode) != 0;
    while (length > 0) {
        std::size_t taken = 0, out = 0;
        for (; taken < length && out + 2 <= sizeof crlf_text; ++taken) {
            if (data[taken] == '\n')
                crlf_text[out++] = '\r';
            crlf_text[out++] = data[taken];
        }
        const SystemError error = console
                                      ? static_cast<SystemError>(write_console(to, crlf_text, out))
                                      : write_file(to, crlf_text, out);
        if (error != no_error)
            return error;
        data += taken;
        length -= taken;
    }
    return no_error;
}

} // namespace

SystemError system_write_output(const char *data, std::size_t length) {
    return write_with_crlf(win32.get_std_handle(STD_OUTPUT_HANDLE), data, length);
}

SystemError system_write_error(const char *data, std::size_t length) {
    return write_with_crlf(win32.get_std_handle(STD_ERROR_HANDLE), data, length);
}

void system_start() {}

bool system_output_is_pipe() {
    return win32.get_file_type(win32.get_std_handle(STD_OUTPUT_HANDLE)) == FILE_TYPE_PIPE;
}

bool system_output_is_terminal() {
    DWORD mode = 0;
    return win32.get_console_mode(win32.get_std_handle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// The write end of a pipe sees it closing once the reader has gone. Where the system does not
// say (Wine, for a pipe made by a Unix shell), the next write tells.
bool system_output_reader_gone() {
    const HANDLE output = win32.get_std_handle(STD_OUTPUT_HANDLE);
    ULONG state = 0, end = 0;
    return win32.get_file_type(output) == FILE_TYPE_PIPE &&
           win32.pipe_state(output, &state, &end) && state == pipe_closing_state;
}

// A failed write is all that tells the program, which then ends with status 1.
void system_signal_reader_gone() {}

void system_exit(int status) {
    win32.exit(status);
    std::abort(); // not reached: the system's exit does not return
}

// Windows says "the pipe is being closed" or "has been ended"; Wine, "not connected".
bool system_reader_went_away(SystemError error) {
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

// The system's message in the user's language (language 0), in the UTF-8 that the rest of the
// output is in.
const char *system_error_text(SystemError error) {
    static wchar_t wide[512];
    static char text[3 * 512];
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, wide, sizeof wide / sizeof *wide, nullptr);
    // The messages end in a full stop and CR LF, which a one-line report leaves off.
    while (length > 0 && (wide[length - 1] == L'\r' || wide[length - 1] == L'\n' ||
                          wide[length - 1] == L'.' || wide[length - 1] == L' '))
        --length;
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), text,
                                         sizeof text - 1, nullptr, nullptr);
    if (length == 0 || size <= 0)
        return "unknown error";
    text[size] = '\0';
    return text;
}

std::uint64_t system_milliseconds() {
    return win32.get_tick_count(); // wraps after 49 days, which costs at most one early flush
}
