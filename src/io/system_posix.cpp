#include "system.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int descriptor(SystemHandle handle) {
    return static_cast<int>(handle);
}

bool same_file_as_output(const struct stat &file) {
    struct stat output {};
    return fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode) &&
           output.st_dev == file.st_dev && output.st_ino == file.st_ino;
}

#if defined(SEEK_DATA) && defined(SEEK_HOLE)
bool current_size(SystemHandle handle, std::uint64_t *size) {
    struct stat file {};
    if (fstat(descriptor(handle), &file) != 0)
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
    int fd = -1;
    do
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return OpenOutcome::cannot_open;
    struct stat file {};
    if (fstat(fd, &file) != 0 || S_ISDIR(file.st_mode)) {
        close(fd);
        return OpenOutcome::cannot_open;
    }
    if (same_file_as_output(file)) {
        close(fd);
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
    return stat(path, &file) == 0 && !S_ISREG(file.st_mode) && !S_ISDIR(file.st_mode);
}

void system_close(SystemHandle handle) {
    close(descriptor(handle));
}

std::ptrdiff_t system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                           int *error) {
    for (;;) {
        const ssize_t got = read(descriptor(handle), into, count);
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
    const int fd = descriptor(handle);
    const off_t start = static_cast<off_t>(position);
    const off_t data = lseek(fd, start, SEEK_DATA);
    const int seek_error = errno;
    // SEEK_DATA moves the file position: put it back, the caller seeks where it wants.
    if (lseek(fd, start, SEEK_SET) != start)
        return false;
    if (data >= start)
        *hole_end = static_cast<std::uint64_t>(data);
    else if (data < 0 && seek_error == ENXIO) // no data after it: the hole runs to the end
        *hole_end = size;
    else
        return false;
    return *hole_end <= size;
#else
    (void)handle, (void)position, (void)expected_size, (void)hole_end;
    return false;
#endif
}

bool system_seek(SystemHandle handle, std::uint64_t position) {
    const off_t target = static_cast<off_t>(position);
    return lseek(descriptor(handle), target, SEEK_SET) == target;
}

bool system_write_output(const char *data, std::size_t length, int *error) {
    while (length > 0) {
        const ssize_t wrote = write(STDOUT_FILENO, data, length);
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

bool system_output_is_pipe() {
    struct stat output {};
    return fstat(STDOUT_FILENO, &output) == 0 &&
           (S_ISFIFO(output.st_mode) || S_ISSOCK(output.st_mode));
}

bool reader_went_away(int error) {
    return error == EPIPE;
}

const char *error_text(int error) {
    return std::strerror(error);
}

std::uint64_t system_milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}
