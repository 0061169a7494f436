#include "fake_posix.h"

#include "io/posix_calls.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

FakePosix *fake = nullptr;
PosixCalls real_calls;

void fill_stat(struct stat *info, const FakeFile &file, ino_t inode) {
    *info = {};
    info->st_mode = file.type | 0644;
    info->st_size = static_cast<off_t>(file.size);
    info->st_blocks = file.sparse ? 8 : static_cast<blkcnt_t>(file.size / 512 + 1);
    info->st_dev = 1;
    info->st_ino = inode;
}

} // namespace

FakeFile file_of(const std::string &path, const std::string &data, bool sparse) {
    FakeFile file{path, data.size(), {}, S_IFREG, sparse, -1};
    if (!sparse) {
        file.extents[0] = data;
        return file;
    }
    // Every run of 40 zeros or more is a hole, wherever it starts and ends.
    const std::string hole(40, '\0');
    for (std::size_t at = data.find_first_not_of('\0'); at < data.size();) {
        const std::size_t end = std::min(data.find(hole, at), data.size());
        file.extents[at] = data.substr(at, end - at);
        at = data.find_first_not_of('\0', end);
    }
    return file;
}

FakePosix::FakePosix() {
    real_calls = posix;
    fake = this;
    posix = {
        [](const char *path, int) { return fake->open(path); },
        [](int fd) { return fake->close(fd); },
        [](int fd) { return fake->dup(fd); },
        [](int fd, void *into, size_t count) { return fake->read(fd, into, count); },
        [](int fd, const void *data, size_t count) { return fake->write(fd, data, count); },
        [](int fd, off_t offset, int whence) { return fake->lseek(fd, offset, whence); },
        [](int fd, struct stat *info) { return fake->fstat(fd, info); },
        [](const char *path, struct stat *info) { return fake->stat(path, info); },
        [](struct pollfd *fds, nfds_t, int) {
            fds->revents = fds->fd == STDOUT_FILENO && fake->reader_gone ? POLLERR : 0;
            return fds->revents != 0 ? 1 : 0;
        },
        [](clockid_t, struct timespec *now) {
            now->tv_sec = static_cast<time_t>(fake->now_ms / 1000);
            now->tv_nsec = static_cast<long>(fake->now_ms % 1000 * 1000000);
            return 0;
        },
    };
}

FakePosix::~FakePosix() {
    posix = real_calls;
    fake = nullptr;
}

bool FakePosix::fails(Call call) {
    const int nth = ++calls[static_cast<int>(call)];
    const auto failure = failures.find({call, nth});
    if (failure == failures.end())
        return false;
    errno = failure->second;
    return true;
}

int FakePosix::open(const char *path) {
    if (fails(Call::open))
        return -1;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].path != path)
            continue;
        if (files[i].type == S_IFSOCK) { // a socket has no name to open it by
            errno = ENXIO;
            return -1;
        }
        open_files[next_fd] = i;
        positions[next_fd] = 0;
        return next_fd++;
    }
    errno = ENOENT;
    return -1;
}

int FakePosix::dup(int fd) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].descriptor == fd) {
            open_files[next_fd] = i;
            positions[next_fd] = 0;
            return next_fd++;
        }
    }
    errno = EBADF;
    return -1;
}

int FakePosix::close(int fd) {
    positions.erase(fd);
    return open_files.erase(fd) == 1 ? 0 : (errno = EBADF, -1);
}

ssize_t FakePosix::read(int fd, void *into, std::size_t count) {
    if (interrupt && (interrupted = !interrupted)) {
        errno = EINTR;
        return -1;
    }
    std::uint64_t &position = positions.at(fd);
    reads.push_back({out.size(), position});
    if (before_read)
        before_read(calls[static_cast<int>(Call::read)] + 1);
    if (fails(Call::read))
        return -1;
    const FakeFile &file = files.at(open_files.at(fd));
    if (count > static_cast<std::uint64_t>(LLONG_MAX) - position) { // as the kernel says
        errno = EINVAL;
        return -1;
    }
    std::size_t most = read_max;
    if (random_chunks) {
        chunk_state = chunk_state * 6364136223846793005u + chunk_seed;
        most = 1 + (chunk_state >> 33) % read_max;
    }
    const std::uint64_t end = std::min<std::uint64_t>(file.size, position + std::min(count, most));
    if (position >= end)
        return 0;
    auto *bytes = static_cast<char *>(into);
    std::memset(bytes, 0, end - position);
    auto extent = file.extents.upper_bound(position);
    if (extent != file.extents.begin())
        --extent;
    for (; extent != file.extents.end() && extent->first < end; ++extent) {
        const std::uint64_t from = std::max(extent->first, position);
        const std::uint64_t to = std::min(end, extent->first + extent->second.size());
        if (from < to)
            std::memcpy(bytes + (from - position), extent->second.data() + (from - extent->first),
                        to - from);
    }
    const auto got = static_cast<ssize_t>(end - position);
    position = end;
    return got;
}

ssize_t FakePosix::write(int fd, const void *data, std::size_t count) {
    if (fd == STDERR_FILENO) { // kept, and shown too, where a test in a child process looks
        err.append(static_cast<const char *>(data), count);
        return real_calls.write(fd, data, count);
    }
    if (interrupt && (interrupted = !interrupted)) {
        errno = EINTR;
        return -1;
    }
    if (fails(Call::write))
        return -1;
    if (reader_gone) {
        errno = EPIPE;
        return -1;
    }
    const std::size_t taken = std::min(count, write_max);
    out.append(static_cast<const char *>(data), taken);
    return static_cast<ssize_t>(taken);
}

off_t FakePosix::lseek(int fd, off_t offset, int whence) {
    if (fails(whence == SEEK_DATA ? Call::hole : Call::seek))
        return -1;
    const FakeFile &file = files.at(open_files.at(fd));
    auto target = static_cast<std::uint64_t>(offset);
    if (whence == SEEK_DATA) {
        auto extent = file.extents.upper_bound(target);
        if (extent != file.extents.begin() &&
            std::prev(extent)->first + std::prev(extent)->second.size() > target)
            --extent;
        if (target >= file.size || extent == file.extents.end()) {
            errno = ENXIO;
            return -1;
        }
        target = std::max(target, extent->first);
    }
    positions[fd] = target;
    return static_cast<off_t>(target);
}

int FakePosix::fstat(int fd, struct stat *info) {
    if (fails(Call::fstat))
        return -1;
    if (fd == STDOUT_FILENO) {
        if (output_file >= 0)
            fill_stat(info, files.at(static_cast<std::size_t>(output_file)),
                      static_cast<ino_t>(output_file + 1));
        else
            fill_stat(info, FakeFile{"", 0, {}, output_type, false, 1}, 999);
        return 0;
    }
    const std::size_t index = open_files.at(fd);
    fill_stat(info, files[index], static_cast<ino_t>(index + 1));
    return 0;
}

int FakePosix::stat(const char *path, struct stat *info) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].path == path) {
            fill_stat(info, files[i], static_cast<ino_t>(i + 1));
            return 0;
        }
    }
    errno = ENOENT;
    return -1;
}
