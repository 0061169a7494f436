#include "system.h"

#include <cstring>
#include <windows.h>

// Windows keeps its files' holes to itself: they are read like any other bytes.

namespace {

// ReadFile and WriteFile take a 32-bit count: larger transfers go in parts of this size.
constexpr DWORD largest_transfer = DWORD{1} << 30;
// The console takes text in parts of this many bytes, each turned into wide characters.
constexpr std::size_t console_part = std::size_t{64} * 1024;

HANDLE handle_of(SystemHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Paths arrive in UTF-8 and are opened by their wide-character form, so that every name
// opens, whatever the system's code page. Room for the longest path Windows allows.
wchar_t wide_path[32768];

bool same_file(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return GetFileInformationByHandle(a, &first) != 0 &&
           GetFileInformationByHandle(b, &second) != 0 &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool same_file_as_output(HANDLE file) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    return output != nullptr && output != INVALID_HANDLE_VALUE &&
           GetFileType(output) == FILE_TYPE_DISK && same_file(file, output);
}

// A UTF-8 sequence cut at the end of one write is kept for the next, for the console needs
// whole characters.
char cut_sequence[4];
std::size_t cut_length = 0;

std::size_t sequence_length(unsigned char lead) {
    return lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
}

// How many bytes at the end of `data` begin a sequence that the data does not finish.
std::size_t unfinished_tail(const char *data, std::size_t length) {
    std::size_t back = 0;
    while (back < 3 && back < length &&
           (static_cast<unsigned char>(data[length - 1 - back]) & 0xc0) == 0x80)
        ++back;
    if (back == length)
        return 0;
    const std::size_t begun = back + 1;
    return sequence_length(static_cast<unsigned char>(data[length - begun])) > begun ? begun : 0;
}

// A part's bytes make at most as many wide characters (each CR LF that the writer puts in
// counts among them).
wchar_t wide_text[console_part];

bool write_wide(HANDLE console, const char *data, std::size_t length, int *error) {
    while (length > 0) {
        std::size_t part = length < console_part ? length : console_part;
        if (part < length) // a character cut by the split goes with the next part
            part -= unfinished_tail(data, part);
        const int count =
            MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(part), wide_text,
                                static_cast<int>(sizeof wide_text / sizeof *wide_text));
        if (count == 0 && part > 0) {
            *error = static_cast<int>(GetLastError());
            return false;
        }
        for (int done = 0; done < count;) {
            DWORD wrote = 0;
            if (WriteConsoleW(console, wide_text + done, static_cast<DWORD>(count - done), &wrote,
                              nullptr) == 0) {
                *error = static_cast<int>(GetLastError());
                return false;
            }
            done += static_cast<int>(wrote);
        }
        data += part;
        length -= part;
    }
    return true;
}

// The console shows text through its wide-character call, so that names in any script show
// right whatever its code page; files and pipes get the UTF-8 bytes.
bool write_console(HANDLE console, const char *data, std::size_t length, int *error) {
    if (cut_length > 0) {
        const std::size_t whole = sequence_length(static_cast<unsigned char>(cut_sequence[0]));
        while (cut_length < whole && length > 0) {
            cut_sequence[cut_length++] = *data++;
            --length;
        }
        if (cut_length < whole)
            return true;
        cut_length = 0;
        if (!write_wide(console, cut_sequence, whole, error))
            return false;
    }
    cut_length = unfinished_tail(data, length);
    std::memcpy(cut_sequence, data + length - cut_length, cut_length);
    return write_wide(console, data, length - cut_length, error);
}

bool write_file(HANDLE file, const char *data, std::size_t length, int *error) {
    while (length > 0) {
        const DWORD part =
            length < largest_transfer ? static_cast<DWORD>(length) : largest_transfer;
        DWORD wrote = 0;
        if (WriteFile(file, data, part, &wrote, nullptr) == 0) {
            *error = static_cast<int>(GetLastError());
            return false;
        }
        data += wrote;
        length -= wrote;
    }
    return true;
}

// Lines end in CR LF, as in every Windows console program: each LF gets its CR on the way out.
char crlf_text[2 * console_part];

bool write_with_crlf(HANDLE to, const char *data, std::size_t length, int *error) {
    DWORD mode = 0;
    const bool console = GetConsoleMode(to, &mode) != 0;
    while (length > 0) {
        const std::size_t part = length < console_part ? length : console_part;
        std::size_t out = 0;
        for (std::size_t i = 0; i < part; ++i) {
            if (data[i] == '\n')
                crlf_text[out++] = '\r';
            crlf_text[out++] = data[i];
        }
        const bool wrote = console ? write_console(to, crlf_text, out, error)
                                   : write_file(to, crlf_text, out, error);
        if (!wrote)
            return false;
        data += part;
        length -= part;
    }
    return true;
}

} // namespace

OpenOutcome system_open(const char *path, SystemHandle *handle, SourceKind *kind) {
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide_path,
                            static_cast<int>(sizeof wide_path / sizeof *wide_path)) == 0)
        return OpenOutcome::cannot_open;
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS, so it cannot be dumped.
    const HANDLE file =
        CreateFileW(wide_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return OpenOutcome::cannot_open;
    if (same_file_as_output(file)) {
        CloseHandle(file);
        return OpenOutcome::is_output_file;
    }
    kind->can_wait = GetFileType(file) != FILE_TYPE_DISK;
    kind->may_have_holes = false;
    *handle = reinterpret_cast<SystemHandle>(file);
    return OpenOutcome::opened;
}

// A named pipe with no server fails to open rather than wait.
bool system_open_may_wait(const char *) {
    return false;
}

void system_close(SystemHandle handle) {
    CloseHandle(handle_of(handle));
}

std::ptrdiff_t system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                           int *error) {
    const DWORD part = count < largest_transfer ? static_cast<DWORD>(count) : largest_transfer;
    DWORD got = 0;
    if (ReadFile(handle_of(handle), into, part, &got, nullptr) != 0)
        return static_cast<std::ptrdiff_t>(got);
    const DWORD failure = GetLastError();
    if (failure == ERROR_BROKEN_PIPE || failure == ERROR_HANDLE_EOF) // the writer is done
        return 0;
    *error = static_cast<int>(failure);
    return -1;
}

bool system_hole_end(SystemHandle, std::uint64_t, std::uint64_t, std::uint64_t *) {
    return false;
}

bool system_seek(SystemHandle handle, std::uint64_t position, int *error) {
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(position);
    if (SetFilePointerEx(handle_of(handle), target, nullptr, FILE_BEGIN) != 0)
        return true;
    *error = static_cast<int>(GetLastError());
    return false;
}

bool system_write_output(const char *data, std::size_t length, int *error) {
    return write_with_crlf(GetStdHandle(STD_OUTPUT_HANDLE), data, length, error);
}

void system_write_error(const char *data, std::size_t length) {
    int error = 0;
    write_with_crlf(GetStdHandle(STD_ERROR_HANDLE), data, length, &error);
}

bool system_output_is_pipe() {
    return GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_PIPE;
}

// A pipe's write end cannot be asked about its reader without writing (PeekNamedPipe needs read
// access), so a reader that went away is noticed at the next write.
int system_output_reader_gone() {
    return 0;
}

// Windows says "the pipe is being closed" or "has been ended"; Wine, "not connected".
bool reader_went_away(int error) {
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

// The system's message in the user's language (language 0), in the UTF-8 that the rest of the
// output is in.
const char *error_text(int error) {
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
    return GetTickCount(); // wraps after 49 days, which costs at most one early flush
}
