#include "posix_calls.h"
#include "system.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {

int descriptor(SystemHandle handle) {
    return static_cast<int>(handle);
}

// A file, pipe, FIFO or block device named as input while the output goes into it would read
// the dump back. A block device may be named by any of its nodes.
bool is_the_output(const struct stat &file) {
    struct stat output{};
    if (posix.fstat(STDOUT_FILENO, &output) != 0)
        return false;
    return S_ISBLK(output.st_mode)
               ? S_ISBLK(file.st_mode) && output.st_rdev == file.st_rdev
               : (S_ISREG(output.st_mode) || S_ISFIFO(output.st_mode)) &&
                     output.st_dev == file.st_dev && output.st_ino == file.st_ino;
}

// The descriptor that a path such as /dev/stdin or /dev/fd/3 names, or -1.
int own_descriptor(const char *path) {
    static const char *const streams[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
    for (int fd = 0; fd < 3; ++fd)
        if (std::strcmp(path, streams[fd]) == 0)
            return fd;
    for (const char *folder : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t length = std::strlen(folder);
        if (std::strncmp(path, folder, length) != 0 || path[length] == '\0')
            continue;
        char *end = nullptr;
        const long fd = std::strtol(path + length, &end, 10);
        return *end == '\0' && path[length] >= '0' && path[length] <= '9' && fd <= INT_MAX
                   ? static_cast<int>(fd)
                   : -1;
    }
    return -1;
}

// Opens `path`; a socket cannot be opened by name, so where the path names one of our own
// descriptors that is one, that descriptor is read instead.
int open_path(const char *path) {
    int fd = -1;
    do
        fd = posix.open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == ENXIO) {
        const int own = own_descriptor(path);
        if (own >= 0)
            fd = posix.dup(own);
    }
    return fd;
}

// The last stretch of a file that a "no more data" answer leaves to be read plainly: the
// largest page of the processors the program runs on.
constexpr std::uint64_t last_page_at_most = std::uint64_t{64} * 1024;
std::uint64_t last_page_start(std::uint64_t size) {
    return size == 0 ? 0 : (size - 1) / last_page_at_most * last_page_at_most;
}

// A careful test, as copy tools make it: fewer 512-byte units allocated than the size needs.
bool looks_sparse(const struct stat &file) {
    return S_ISREG(file.st_mode) && static_cast<std::uint64_t>(file.st_blocks) * 512 <
                                        static_cast<std::uint64_t>(file.st_size);
}

} // namespace

SystemError system_open(const char *path, SystemHandle *handle, SourceKind *kind) {
    const int fd = open_path(path);
    if (fd < 0)
        return errno;
    struct stat file{};
    const bool known = posix.fstat(fd, &file) == 0;
    const SystemError error = !known                  ? errno
                              : S_ISDIR(file.st_mode) ? EISDIR
                              : is_the_output(file)   ? refused_as_output
                                                      : no_error;
    if (error != no_error) {
        posix.close(fd);
        return error;
    }
    kind->can_wait = !S_ISREG(file.st_mode);
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    kind->may_have_holes = looks_sparse(file);
    kind->size = static_cast<std::uint64_t>(file.st_size);
#else
    kind->may_have_holes = false;
    (void)looks_sparse;
#endif
    *handle = fd;
    return no_error;
}

bool system_open_may_wait(const char *path) {
    struct stat file{};
    return posix.stat(path, &file) == 0 && !S_ISREG(file.st_mode) && !S_ISDIR(file.st_mode);
}

SystemError system_close(SystemHandle handle) {
    return posix.close(descriptor(handle)) == 0 ? no_error : errno;
}

SystemError system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                        std::size_t *got) {
    for (;;) {
        const ssize_t read = posix.read(descriptor(handle), into, count);
        if (read >= 0) {
            *got = static_cast<std::size_t>(read);
            return no_error;
        }
        if (errno != EINTR && !(would_block(errno) && wait_until_ready(descriptor(handle), POLLIN)))
            return errno;
    }
}

SystemError system_next_data(SystemHandle handle, std::uint64_t position, std::uint64_t size,
                             DataAnswer *answer) {
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    (void)size; // the system knows where the file ends
    const auto at = static_cast<off_t>(position);
    const off_t data = posix.lseek(descriptor(handle), at, SEEK_DATA);
    const SystemError error = data >= 0 ? no_error : errno;
    // The answer moved the handle: it goes back, or nothing more can be read.
    if (data >= 0 && data != at && posix.lseek(descriptor(handle), at, SEEK_SET) != at)
        return errno;
    // The size after the answer: a file cut short while it was asked would lose its last block.
    struct stat file{};
    if (posix.fstat(descriptor(handle), &file) != 0)
        return no_answer;
    answer->size = static_cast<std::uint64_t>(file.st_size);
    if (error == no_error)
        answer->data_at = static_cast<std::uint64_t>(data);
    else if (error == ENXIO) // no data after it, but tmpfs says so of data in the last page too
        answer->data_at = std::max(position, last_page_start(answer->size));
    else
        return no_answer;
    return no_error;
#else
    (void)handle, (void)position, (void)size, (void)answer, (void)last_page_start;
    return no_answer;
#endif
}

SystemError system_seek(SystemHandle handle, std::uint64_t position) {
    const off_t target = static_cast<off_t>(position);
    return posix.lseek(descriptor(handle), target, SEEK_SET) == target ? no_error : errno;
}
