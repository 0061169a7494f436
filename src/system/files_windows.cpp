#include "system.h"

#include <windows.h>

// Windows keeps its files' holes to itself: they are read like any other bytes.

namespace {

// ReadFile takes a 32-bit count: larger reads go in parts of this size.
constexpr DWORD largest_read = DWORD{1} << 30;

// The program keeps a handle as an integer, as it keeps a POSIX descriptor.
HANDLE handle_of(SystemHandle handle) {
    return reinterpret_cast<HANDLE>(handle); // NOLINT(performance-no-int-to-ptr)
}

SystemError last_error() {
    return static_cast<SystemError>(GetLastError());
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

} // namespace

SystemError system_open(const char *path, SystemHandle *handle, SourceKind *kind) {
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide_path,
                            static_cast<int>(sizeof wide_path / sizeof *wide_path)) == 0)
        return last_error();
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS, so it cannot be dumped.
    const HANDLE file =
        CreateFileW(wide_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return last_error();
    kind->is_output = same_file_as_output(file);
    kind->can_wait = GetFileType(file) != FILE_TYPE_DISK;
    kind->may_have_holes = false;
    *handle = reinterpret_cast<SystemHandle>(file);
    return no_error;
}

// A named pipe with no server fails to open rather than wait.
bool system_open_may_wait(const char *) {
    return false;
}

SystemError system_close(SystemHandle handle) {
    return CloseHandle(handle_of(handle)) != 0 ? no_error : last_error();
}

SystemError system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                        std::size_t *got) {
    const DWORD part = count < largest_read ? static_cast<DWORD>(count) : largest_read;
    DWORD read = 0;
    *got = 0;
    if (ReadFile(handle_of(handle), into, part, &read, nullptr) != 0) {
        *got = read;
        return no_error;
    }
    const SystemError error = last_error();
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? no_error : error; // the end
}

SystemError system_hole_end(SystemHandle, std::uint64_t, std::uint64_t, std::uint64_t *) {
    return cannot_tell;
}

SystemError system_seek(SystemHandle handle, std::uint64_t position) {
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(handle_of(handle), target, nullptr, FILE_BEGIN) != 0 ? no_error
                                                                                 : last_error();
}
