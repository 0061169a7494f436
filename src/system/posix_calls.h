#pragma once

// Every POSIX call that the program's input, output and console make goes through this table,
// so that the tests can put a scripted system underneath. It holds the system's own calls.

#include <ctime>
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>

struct PosixCalls {
    int (*open)(const char *path, int flags);
    int (*close)(int fd);
    int (*dup)(int fd);
    ssize_t (*read)(int fd, void *into, size_t count);
    ssize_t (*write)(int fd, const void *data, size_t count);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*fstat)(int fd, struct stat *info);
    int (*stat)(const char *path, struct stat *info);
    int (*poll)(struct pollfd *fds, nfds_t count, int timeout);
    int (*clock_gettime)(clockid_t clock, struct timespec *now);
    int (*raise)(int signal);
    void (*exit)(int status);
    pid_t (*tcgetpgrp)(int fd);
    pid_t (*getpgrp)();
};

extern PosixCalls posix;

// True for the errors of a non-blocking descriptor that is not ready yet.
bool would_block(int error);

// Waits until a non-blocking descriptor is ready for `events`; false when it cannot wait.
bool wait_until_ready(int fd, short events);
