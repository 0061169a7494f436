#include "posix_calls.h"
#include "system.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

SystemError write_all(int fd, const char *data, std::size_t length) {
    while (length > 0) {
        const ssize_t wrote = posix.write(fd, data, length);
        if (wrote < 0) {
            if (errno == EINTR || (would_block(errno) && wait_until_ready(fd, POLLOUT)))
                continue;
            return errno;
        }
        data += wrote;
        length -= static_cast<std::size_t>(wrote);
    }
    return no_error;
}

// A pipe with no reader left reports POLLERR; a socket or terminal whose other end has gone,
// POLLHUP. A regular file or a device reports neither.
bool output_hung_up() {
    pollfd output = {STDOUT_FILENO, 0, 0};
    return posix.poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

} // namespace

SystemError system_write_output(const char *data, std::size_t length) {
    return write_all(STDOUT_FILENO, data, length);
}

SystemError system_write_error(const char *data, std::size_t length) {
    return write_all(STDERR_FILENO, data, length);
}

void system_start() {
    // Past a file size limit, a write fails with EFBIG and the program says so, rather than
    // being killed without a word.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool system_output_is_pipe() {
    struct stat output{};
    return posix.fstat(STDOUT_FILENO, &output) == 0 &&
           (S_ISFIFO(output.st_mode) || S_ISSOCK(output.st_mode));
}

// Every terminal is a character device; so is /dev/null, where escapes harm nothing.
bool system_output_is_terminal() {
    struct stat output{};
    return posix.fstat(STDOUT_FILENO, &output) == 0 && S_ISCHR(output.st_mode);
}

bool system_output_reader_gone() {
    return output_hung_up();
}

void system_signal_reader_gone() {
    posix.raise(SIGPIPE);
}

void system_exit(int status) {
    posix.exit(status);
    std::abort(); // the system's own exit does not come back
}

// A TCP reader that closes with data unread resets the connection: it went away all the same.
// A terminal that has hung up fails writes with EIO, as a failing disk does; only the hang-up
// tells the two apart.
bool system_reader_went_away(SystemError error) {
    return error == EPIPE || error == ECONNRESET || (error == EIO && output_hung_up());
}

const char *system_error_text(SystemError error) {
    return std::strerror(error);
}

std::uint64_t system_milliseconds() {
    timespec now{};
    posix.clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}
