#pragma once

// The scripted system under the program's POSIX calls.

#include "fake_model.h"
#include "system/posix_calls.h"

#include <poll.h>
#include <unistd.h>

namespace {

int stat_of(const File &file, int inode, struct stat *info) {
    *info = {};
    info->st_mode = file.type;
    info->st_size = static_cast<off_t>(file.size);
    info->st_blocks = static_cast<blkcnt_t>(allocated_bytes(file) / 512);
    info->st_ino = static_cast<ino_t>(inode);
    info->st_rdev = static_cast<dev_t>(inode);
    return 0;
}

off_t fake_lseek(int fd, off_t offset, int whence) {
    auto &[index, position] = fake->open.at(fd);
    const auto target = static_cast<std::uint64_t>(offset);
    if (fails(whence == SEEK_DATA ? hole_call : seek_call))
        return -1;
    if (whence == SEEK_SET)
        return static_cast<off_t>(position = target);
    if (fake->during_hole_query)
        fake->during_hole_query();
    const File &file = fake->files[index];
    const std::uint64_t last_page = file.size == 0 ? 0 : (file.size - 1) / 4096 * 4096;
    for (const auto &[at, data] : file.extents) {
        const std::uint64_t from = std::max(at, target);
        if (at + data.size() > target && from < file.size)
            return fake->hide_last_page && from >= last_page ? failure(ENXIO)
                                                             : static_cast<off_t>(position = from);
    }
    return failure(ENXIO);
}

const PosixCalls fake_calls = {
    [](const char *path, int) {
        if (fails(open_call))
            return -1;
        for (std::size_t i = 0; i < fake->files.size(); ++i)
            if (fake->files[i].path == path)
                return fake->files[i].type == S_IFSOCK ? failure(ENXIO) : open_file(i);
        return failure(ENOENT);
    },
    [](int fd) { return fake->open.erase(fd) == 1 ? 0 : -1; },
    [](int fd) { return fd >= 0 && fd <= 9 ? open_file(0) : -1; }, // ours: the first file
    [](int fd, void *into, size_t count) {
        return static_cast<ssize_t>(model_read(fd, into, count));
    },
    [](int fd, const void *data, size_t count) {
        const long long wrote =
            model_write(fd == STDERR_FILENO, static_cast<const char *>(data), count);
        // What goes to standard error is shown too, for the tests that run in a child process.
        return fd == STDERR_FILENO && !fake->in_process ? ::write(fd, data, count)
                                                        : static_cast<ssize_t>(wrote);
    },
    fake_lseek,
    [](int fd, struct stat *info) {
        const int index = fd == 1 ? fake->output_file : static_cast<int>(fake->open.at(fd).first);
        const File output = {"", 0, {}, fake->output_type};
        const File &file = index < 0 ? output : fake->files[static_cast<std::size_t>(index)];
        return fails(fstat_call) ? -1 : stat_of(file, index, info);
    },
    [](const char *path, struct stat *info) {
        for (const File &file : fake->files)
            if (file.path == path)
                return stat_of(file, 0, info);
        return -1;
    },
    [](struct pollfd *fd, nfds_t count, int) {
        if (count != 1) // the program asks of one descriptor at a time
            return failure(EFAULT);
        if (fd->events != 0) { // a wait for a non-blocking descriptor: it is ready at once
            fd->revents = fd->events;
            return 1;
        }
        // A pipe without a reader reports an error; a socket or terminal, a hang-up.
        fd->revents = !fake->reader_gone ? 0 : fake->output_type == S_IFIFO ? POLLERR : POLLHUP;
        return fake->reader_gone ? 1 : 0;
    },
    [](clockid_t, struct timespec *now) {
        *now = {static_cast<time_t>(fake->now_ms / 1000),
                static_cast<long>(fake->now_ms % 1000 * 1000000)};
        return 0;
    },
    [](int signal) {
        if (fake->in_process)
            throw Ended{128 + signal};
        return std::raise(signal);
    },
    [](int status) {
        if (fake->in_process)
            throw Ended{status};
        std::exit(status);
    },
    [](int) { return pid_t{fake->in_background ? 2 : 1}; }, // the terminal's foreground group
    [] { return pid_t{1}; },
};

// Runs `body` with the fake in place of the system.
template <typename Body> auto with_fake(Fake &script, Body body) {
    return with_calls(&posix, fake_calls, script, body);
}

// How a run ends when its output's reader leaves, and the outputs that can tell.
const int reader_gone_status = 128 + SIGPIPE;
const mode_t outputs_whose_reader_may_leave[] = {S_IFIFO, S_IFSOCK, S_IFCHR};
const std::size_t largest_system_write = SIZE_MAX;
const bool windows_face = false;
const int seek_past_hole = 2; // the first puts the handle back after the hole query

} // namespace
