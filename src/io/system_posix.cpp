#include "system.h"

#include "posix_calls.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

static_assert(sizeof(off_t) == 8,
              "files past 2 GiB need a 64-bit off_t: build with _FILE_OFFSET_BITS=64");

PosixCalls posix = {
    [](const char *path, int flags) { return ::open(path, flags); },
    ::close,
    ::dup,
    ::read,
    ::write,
    ::lseek,
    ::fstat,
    ::stat,
    ::poll,
    ::clock_gettime,
};

namespace {

int descriptor(SystemHandle handle) {
    return static_cast<int>(handle);
}

// A pipe or FIFO named as input while the output goes into it would read the dump back.
bool same_file_as_output(const struct stat &file) {
    struct stat output {};
    return posix.fstat(STDOUT_FILENO, &output) == 0 &&
           (S_ISREG(output.st_mode) || S_ISFIFO(output.st_mode)) && output.st_dev == file.st_dev &&
           output.st_ino == file.st_ino;
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

#if defined(SEEK_DATA) && defined(SEEK_HOLE)
bool current_size(SystemHandle handle, std::uint64_t *size) {
    struct stat file {};
    if (posix.fstat(descriptor(handle), &file) != 0)
        return false;
    *size = static_cast<std::uint64_t>(file.st_size);
    return true;
}
#endif

// A careful test, as copy tools make it: fewer 512-byte units allocated than the size needs.
bool looks_sparse(const struct stat &file) {
    return S_ISREG(file.st_mode) && static_cast<std::uint64_t>(file.st_blocks) * 512 <
                                        static_cast<std::uint64_t>(file.st_size);
}

} // namespace

OpenOutcome system_open(const char *path, SystemHandle *handle, SourceKind *kind) {
    const int fd = open_path(path);
    if (fd < 0)
        return OpenOutcome::cannot_open;
    struct stat file {};
    if (posix.fstat(fd, &file) != 0 || S_ISDIR(file.st_mode)) {
        posix.close(fd);
        return OpenOutcome::cannot_open;
    }
    if (same_file_as_output(file)) {
        posix.close(fd);
        return OpenOutcome::is_output_file;
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
    return OpenOutcome::opened;
}

bool system_open_may_wait(const char *path) {
    struct stat file {};
    return posix.stat(path, &file) == 0 && !S_ISREG(file.st_mode) && !S_ISDIR(file.st_mode);
}

void system_close(SystemHandle handle) {
    posix.close(descriptor(handle));
}

std::ptrdiff_t system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                           int *error) {
    for (;;) {
        const ssize_t got = posix.read(descriptor(handle), into, count);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            *error = errno;
            return -1;
        }
    }
}

bool system_hole_end(SystemHandle handle, std::uint64_t position, std::uint64_t expected_size,
                     std::uint64_t *hole_end) {
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    std::uint64_t size = 0;
    if (!current_size(handle, &size) || size != expected_size || position >= size)
        return false;
    const off_t data = posix.lseek(descriptor(handle), static_cast<off_t>(position), SEEK_DATA);
    if (data >= 0)
        *hole_end = static_cast<std::uint64_t>(data);
    else if (errno == ENXIO) // no data after it: the hole runs to the end
        *hole_end = size;
    else
        return false;
    return *hole_end >= position && *hole_end <= size;
#else
    (void)handle, (void)position, (void)expected_size, (void)hole_end;
    return false;
#endif
}

bool system_seek(SystemHandle handle, std::uint64_t position, int *error) {
    const off_t target = static_cast<off_t>(position);
    if (posix.lseek(descriptor(handle), target, SEEK_SET) == target)
        return true;
    *error = errno;
    return false;
}

namespace {

bool write_all(int fd, const char *data, std::size_t length, int *error) {
    while (length > 0) {
        const ssize_t wrote = posix.write(fd, data, length);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        data += wrote;
        length -= static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

bool system_write_output(const char *data, std::size_t length, int *error) {
    return write_all(STDOUT_FILENO, data, length, error);
}

void system_write_error(const char *data, std::size_t length) {
    int error = 0;
    write_all(STDERR_FILENO, data, length, &error); // nowhere left to report its failure
}

bool system_output_is_pipe() {
    struct stat output {};
    return posix.fstat(STDOUT_FILENO, &output) == 0 &&
           (S_ISFIFO(output.st_mode) || S_ISSOCK(output.st_mode));
}

int system_output_reader_gone() {
    pollfd output = {STDOUT_FILENO, 0, 0}; // a pipe with no reader left reports POLLERR
    if (posix.poll(&output, 1, 0) != 1 || (output.revents & POLLERR) == 0)
        return 0;
    std::raise(SIGPIPE);
    return EPIPE;
}

bool reader_went_away(int error) {
    return error == EPIPE;
}

const char *error_text(int error) {
    return std::strerror(error);
}

std::uint64_t system_milliseconds() {
    timespec now{};
    posix.clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}
