#include "system.h"
#include "wide_text.h"
#include "win32_calls_windows.h"

#include <cstring>

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

// Paths arrive in the program's 8-bit form of the wide command line and are opened by their
// wide form, so that every name opens, whatever the system's code page. Room for the longest
// path Windows allows.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are in 16-bit units");
char16_t wide_path[32768];

// Whether a file is the very file or pipe that standard output writes to.
enum class Sameness : std::uint8_t { different, same, cannot_tell };

// A volume and an index name one file, whatever else differs: its times move as it is written,
// by anyone, and tell nothing. The same index on volumes that differ or are unknown (volume 0,
// as Wine gives a handle made from a Unix descriptor, or a file on tmpfs) may still be one file:
// Wine shows one file through two drives with two serials.
Sameness judged(std::uint64_t volume, std::uint64_t other_volume, bool same_index) {
    if (!same_index)
        return Sameness::different;
    return volume != 0 && volume == other_volume ? Sameness::same : Sameness::cannot_tell;
}

// Asks both handles the same way: by the volume and index of each (the file's `first`, when it
// answered), or where a handle does not answer that (Wine's, for one made from a Unix
// descriptor), by the file ID. A file that answers neither is no file but a device (a drive, a
// volume), which the output cannot be.
Sameness same_file(HANDLE a, const BY_HANDLE_FILE_INFORMATION *first, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION second;
    if (first != nullptr && win32.get_file_information(b, &second) != 0)
        return judged(first->dwVolumeSerialNumber, second.dwVolumeSerialNumber,
                      first->nFileIndexHigh == second.nFileIndexHigh &&
                          first->nFileIndexLow == second.nFileIndexLow);
    FILE_ID_INFO one, other;
    if (win32.get_file_information_ex(a, FileIdInfo, &one, sizeof one) == 0)
        return first == nullptr ? Sameness::different : Sameness::cannot_tell;
    if (win32.get_file_information_ex(b, FileIdInfo, &other, sizeof other) == 0)
        return Sameness::cannot_tell;
    return judged(one.VolumeSerialNumber, other.VolumeSerialNumber,
                  std::memcmp(&one.FileId, &other.FileId, sizeof one.FileId) == 0);
}

// A pipe's two ends are its server's and a client's, and a pipe opened by name is opened at a
// client's end: an output at a client's end (another program's pipe, whose writing end
// CreatePipe makes a client's) is another pipe. At a server's end, or where the system does not
// say, the output may be the other end of the input itself.
Sameness same_pipe(HANDLE output) {
    ULONG state = 0, end = 0;
    return win32.pipe_state(output, &state, &end) && end != pipe_server_end ? Sameness::different
                                                                            : Sameness::cannot_tell;
}

// Only a disk file or a pipe as output can be read back as input, and only as what it is.
SystemError refusal_as_output(HANDLE file, const BY_HANDLE_FILE_INFORMATION *information) {
    const HANDLE output = win32.get_std_handle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return no_error;
    const DWORD type = win32.get_file_type(output);
    if ((type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) || win32.get_file_type(file) != type)
        return no_error;
    switch (type == FILE_TYPE_PIPE ? same_pipe(output) : same_file(file, information, output)) {
    case Sameness::same:
        return refused_as_output;
    case Sameness::cannot_tell:
        return cannot_tell_if_output;
    default:
        return no_error;
    }
}

} // namespace

SystemError system_open(const char *path, SystemHandle *handle, SourceKind *kind) {
    if (!utf16_from_text(path, wide_path, sizeof wide_path / sizeof *wide_path))
        return ERROR_INVALID_NAME;
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS, so it cannot be dumped.
    const HANDLE file =
        win32.create_file(reinterpret_cast<const wchar_t *>(wide_path), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return last_error();
    BY_HANDLE_FILE_INFORMATION information{};
    const bool answered = win32.get_file_information(file, &information) != 0;
    const SystemError refused = refusal_as_output(file, answered ? &information : nullptr);
    if (refused != no_error) {
        win32.close_handle(file);
        return refused;
    }
    kind->can_wait = win32.get_file_type(file) != FILE_TYPE_DISK;
    kind->may_have_holes = !kind->can_wait && answered &&
                           (information.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
    kind->size = std::uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    *handle = reinterpret_cast<SystemHandle>(file);
    return no_error;
}

// A named pipe with no server fails to open rather than wait.
bool system_open_may_wait(const char *) {
    return false;
}

SystemError system_close(SystemHandle handle) {
    return win32.close_handle(handle_of(handle)) != 0 ? no_error : last_error();
}

// A pipe ends when its writer has closed it (ERROR_BROKEN_PIPE), or a server has ended the
// connection (ERROR_PIPE_NOT_CONNECTED); a read that delivers nothing from it is a message of no
// bytes, and the next one goes on. From anything else, a read of nothing is the end.
SystemError system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                        std::size_t *got) {
    const DWORD part = count < largest_read ? static_cast<DWORD>(count) : largest_read;
    DWORD read = 0;
    *got = 0;
    while (win32.read_file(handle_of(handle), into, part, &read, nullptr) != 0) {
        if (read > 0 || part == 0 || win32.get_file_type(handle_of(handle)) != FILE_TYPE_PIPE) {
            *got = read;
            return no_error;
        }
    }
    const SystemError error = last_error();
    return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ||
                   error == ERROR_HANDLE_EOF
               ? no_error
               : error;
}

// A sparse file lists the ranges it has stored from `position` to `size`; the first one that
// fits is all it takes (where more do not fit, the system says ERROR_MORE_DATA and lists those
// that do). None listed: no data before `size`.
SystemError system_next_data(SystemHandle handle, std::uint64_t position, std::uint64_t size,
                             DataAnswer *answer) {
    FILE_ALLOCATED_RANGE_BUFFER asked, ranges[4];
    asked.FileOffset.QuadPart = static_cast<LONGLONG>(position);
    asked.Length.QuadPart = static_cast<LONGLONG>(size - position);
    DWORD answer_size = 0;
    const SystemError error =
        win32.device_io_control(handle_of(handle), FSCTL_QUERY_ALLOCATED_RANGES, &asked,
                                sizeof asked, ranges, sizeof ranges, &answer_size, nullptr) != 0
            ? no_error
            : last_error();
    const std::size_t listed = answer_size / sizeof *ranges;
    if ((error != no_error && error != ERROR_MORE_DATA) ||
        (error == ERROR_MORE_DATA && listed == 0))
        return no_answer;
    // The size after the answer: a file cut short while it was asked would lose its last block.
    LARGE_INTEGER size_after;
    if (win32.get_file_size(handle_of(handle), &size_after) == 0)
        return no_answer;
    answer->size = static_cast<std::uint64_t>(size_after.QuadPart);
    answer->data_at =
        listed == 0 ? size : static_cast<std::uint64_t>(ranges[0].FileOffset.QuadPart);
    return no_error;
}

SystemError system_seek(SystemHandle handle, std::uint64_t position) {
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(position);
    return win32.set_file_pointer(handle_of(handle), target, nullptr, FILE_BEGIN) != 0
               ? no_error
               : last_error();
}
