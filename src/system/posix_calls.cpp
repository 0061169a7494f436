#include "posix_calls.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
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
    std::raise,
    std::exit,
    ::tcgetpgrp,
    ::getpgrp,
};

bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool wait_until_ready(int fd, short events) {
    pollfd ready = {fd, events, 0};
    int answer = 0;
    do
        answer = posix.poll(&ready, 1, -1);
    while (answer < 0 && errno == EINTR);
    return answer >= 0;
}
