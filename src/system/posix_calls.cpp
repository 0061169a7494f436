#include "posix_calls.h"

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
};
