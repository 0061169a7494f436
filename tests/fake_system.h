#pragma once

// A scripted system under the program's POSIX calls: files held in memory as extents at any
// offset (the gaps are holes), reads in chunks, the Nth call of a kind failing, short writes,
// sizes that change, standard output as a file, pipe or terminal whose reader may leave, and a
// clock that moves only when told.

#include "dump/dump.h"
#include "io/output.h"
#include "system/posix_calls.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

enum Call { open_call, read_call, write_call, seek_call, hole_call, fstat_call, calls };

struct File {
    std::string path;
    std::uint64_t size;
    std::map<std::uint64_t, std::string> extents; // data at offsets, zeros elsewhere
    mode_t type = S_IFREG;
};

// With `sparse`, every run of 40 zeros or more is a hole, wherever it starts and ends.
File file_of(const std::string &path, const std::string &data, bool sparse = false) {
    File file{path, data.size(), {{0, data}}};
    if (sparse)
        file.extents.clear();
    for (std::size_t at = data.find_first_not_of('\0'); sparse && at < data.size();) {
        const std::size_t end = std::min(data.find(std::string(40, '\0'), at), data.size());
        file.extents[at] = data.substr(at, end - at);
        at = data.find_first_not_of('\0', end);
    }
    return file;
}

struct Fake {
    std::vector<File> files;
    std::size_t read_max = SIZE_MAX, write_max = SIZE_MAX;
    std::uint64_t chunk_salt = 0; // when set, each read delivers 1 to read_max bytes, at random
    mode_t output_type = S_IFREG;
    int output_file = -1; // the file standard output is, if any
    bool reader_gone = false;
    bool hide_last_page = false; // "no more data" where the last 4 KiB page holds data
    std::function<void()> during_hole_query;
    bool in_process = false; // the program's end throws Ended; its errors are kept, unshown
    std::uint64_t now_ms = 5000;
    std::function<void(int)> before_read;        // with the read's number, from 1
    std::map<std::pair<int, int>, int> failures; // (call, nth) to errno
    std::string out, err;
    std::vector<std::pair<std::size_t, std::uint64_t>> reads; // output and position at each
    int count[calls] = {};
    int reads_after_gone = 0;
    struct FailedRead {
        int open; // the number of the open call that opened the file
        std::uint64_t position;
        int error;
    };
    std::vector<FailedRead> failed_reads;
    std::map<int, int> opened_by;
    std::vector<int> failed_writes;
    std::map<int, std::pair<std::size_t, std::uint64_t>> open; // fd to file and position
};
Fake *fake = nullptr;

// How the program ended, where the script asks for it to be caught: 128 + a signal it raised.
struct Ended {
    int status;
};

// Counts the call; when the script makes this one fail, sets errno and returns true.
bool fails(int call) {
    const auto failure = fake->failures.find({call, ++fake->count[call]});
    if (failure == fake->failures.end())
        return false;
    errno = failure->second;
    return true;
}

// Fails a call as the system does: -1 with `error` in errno.
int failure(int error) {
    errno = error;
    return -1;
}

int stat_of(const File &file, int inode, struct stat *info) {
    *info = {};
    info->st_mode = file.type;
    info->st_size = static_cast<off_t>(file.size);
    for (const auto &extent : file.extents)
        info->st_blocks += static_cast<blkcnt_t>(extent.second.size() / 512 + 1);
    info->st_ino = static_cast<ino_t>(inode);
    info->st_rdev = static_cast<dev_t>(inode);
    return 0;
}

int open_file(std::size_t index) {
    const int fd = 100 + fake->count[open_call] + static_cast<int>(fake->open.size());
    fake->open[fd] = {index, 0};
    fake->opened_by[fd] = fake->count[open_call];
    return fd;
}

ssize_t fake_read(int fd, void *into, size_t count) {
    auto &[index, position] = fake->open.at(fd);
    fake->reads.emplace_back(fake->out.size(), position);
    if (fake->before_read)
        fake->before_read(fake->count[read_call] + 1);
    const bool failed = fails(read_call);
    const bool retried = failed && (errno == EINTR || errno == EAGAIN); // the same read again
    fake->reads_after_gone += fake->reader_gone && !retried ? 1 : 0;
    if (failed) {
        if (!retried)
            fake->failed_reads.push_back({fake->opened_by[fd], position, errno});
        return -1;
    }
    if (count > INT64_MAX - position) // as Linux says
        return failure(EINVAL);
    std::size_t most = fake->read_max;
    if (fake->chunk_salt != 0)
        most = 1 + std::mt19937_64(fake->chunk_salt + position)() % fake->read_max;
    const File &file = fake->files[index];
    const std::uint64_t end = std::min<std::uint64_t>(file.size, position + std::min(count, most));
    auto *bytes = static_cast<char *>(into);
    std::memset(bytes, 0, end > position ? end - position : 0);
    auto extent = file.extents.upper_bound(position);
    for (extent = extent == file.extents.begin() ? extent : std::prev(extent);
         extent != file.extents.end() && extent->first < end; ++extent) {
        const auto &[at, data] = *extent;
        const std::uint64_t from = std::max(at, position), to = std::min(end, at + data.size());
        if (from < to)
            std::memcpy(bytes + (from - position), data.data() + (from - at), to - from);
    }
    const auto got = static_cast<ssize_t>(end > position ? end - position : 0);
    position += static_cast<std::uint64_t>(got);
    return got;
}

ssize_t fake_write(int fd, const void *data, size_t count) {
    auto *text = static_cast<const char *>(data);
    if (fd == STDERR_FILENO) { // shown too, for the tests that run in a child process
        fake->err.append(text, count);
        return fake->in_process ? static_cast<ssize_t>(count) : ::write(fd, data, count);
    }
    if (fake->reader_gone)
        errno = EPIPE;
    if (fails(write_call) || fake->reader_gone) {
        if (errno != EINTR && errno != EAGAIN)
            fake->failed_writes.push_back(errno);
        return -1;
    }
    fake->out.append(text, std::min(count, fake->write_max));
    return static_cast<ssize_t>(std::min(count, fake->write_max));
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
    fake_read,
    fake_write,
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
};

// Dumps `path` through the fake; returns whether it was dumped whole.
bool dump(Fake &script, const std::string &path = "f") {
    const PosixCalls real = posix;
    posix = fake_calls;
    fake = &script;
    prepare_output();
    output_flush(); // starts the clock for output that waits
    const bool ok = process(path.c_str());
    output_flush();
    posix = real;
    return ok;
}

} // namespace
