#pragma once

// A scripted system: files held in memory as extents at any offset (the gaps are holes), reads
// in chunks, the Nth call of a kind failing, short writes, sizes that change, standard output
// as a file, pipe or terminal whose reader may leave, and a clock that moves only when told.
// fake_posix.h and fake_windows.h put it under the program's calls of each system.

#include "driver/driver.h"
#include "io/output.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace {

enum Call {
    open_call,
    read_call,
    write_call,
    seek_call,
    hole_call,
    fstat_call,
    file_id_call, // Windows only
    calls
};

// An error number that no system has words for.
const int unnamed_error = 1000;

struct File {
    std::string path;
    std::uint64_t size;
    std::map<std::uint64_t, std::string> extents; // data at offsets, zeros elsewhere
    mode_t type = S_IFREG;
};

// With `sparse`, every run of 40 zeros or more is a hole, wherever it starts and ends.
[[maybe_unused]] File file_of(const std::string &path, const std::string &data,
                              bool sparse = false) {
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
    bool output_volume_unknown = false; // no answer names the volume, as Wine's under tmpfs
    bool output_index_clash = false;    // the output has the first file's volume and index
    bool output_drive = false;          // the output's volume through a drive of its own
    bool hide_last_page = false;        // "no more data" where the last 4 KiB page holds data
    std::function<void()> during_hole_query;
    bool in_process = false;    // the program's end throws Ended; its errors are kept, unshown
    bool in_background = false; // the program's group is not the terminal's foreground one
    std::uint64_t now_ms = 5000;
    std::uint64_t bytes_read = 0, read_at_most = UINT64_MAX; // past it, reads fail with EFBIG
    std::function<void(int)> before_read;                    // with the read's number, from 1
    std::map<std::pair<int, int>, int> failures;             // (call, nth) to errno
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

int open_file(std::size_t index) {
    const int fd = 100 + fake->count[open_call] + static_cast<int>(fake->open.size());
    fake->open[fd] = {index, 0};
    fake->opened_by[fd] = fake->count[open_call];
    return fd;
}

// A read of the open file `fd`: the bytes it got, or -1 with the error in errno. Where the
// system has no interrupted calls, an interruption the script asks for is no failure.
long long model_read(int fd, void *into, std::size_t count, bool interruptible = true) {
    auto &[index, position] = fake->open.at(fd);
    fake->reads.emplace_back(fake->out.size(), position);
    if (fake->before_read)
        fake->before_read(fake->count[read_call] + 1);
    const bool failed = fails(read_call);
    const bool retried = failed && (errno == EINTR || errno == EAGAIN); // the same read again
    fake->reads_after_gone += fake->reader_gone && !retried ? 1 : 0;
    if (failed && (interruptible || !retried)) {
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
    fake->bytes_read += end > position ? end - position : 0;
    if (fake->bytes_read > fake->read_at_most)
        return failure(EFBIG);
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
    const auto got = static_cast<long long>(end > position ? end - position : 0);
    position += static_cast<std::uint64_t>(got);
    return got;
}

// A write to standard output (`to_error` false) or standard error: the bytes it took, or -1
// with the error in errno.
long long model_write(bool to_error, const char *text, std::size_t count,
                      bool interruptible = true) {
    if (to_error) {
        fake->err.append(text, count);
        return static_cast<long long>(count);
    }
    if (fake->reader_gone) // a terminal that has hung up says EIO
        errno = fake->output_type == S_IFCHR ? EIO : EPIPE;
    const bool failed = fails(write_call) || fake->reader_gone;
    if (failed && (interruptible || (errno != EINTR && errno != EAGAIN))) {
        if (errno != EINTR && errno != EAGAIN)
            fake->failed_writes.push_back(errno);
        return -1;
    }
    fake->out.append(text, std::min(count, fake->write_max));
    return static_cast<long long>(std::min(count, fake->write_max));
}

// Runs `body` with `fake_calls` and the script in place of the system's `calls`.
template <typename Calls, typename Body>
auto with_calls(Calls *calls, const Calls &fake_calls, Fake &script, Body body) {
    struct Restore {
        Calls *calls, real;
        ~Restore() { *calls = real; }
    } restore{calls, *calls};
    *calls = fake_calls;
    fake = &script;
    return body();
}

// The bytes the file's extents take on disk, in 512-byte units: a file is sparse, as a careful
// tool tells, where that is less than its size.
std::uint64_t allocated_bytes(const File &file) {
    std::uint64_t units = 0;
    for (const auto &extent : file.extents)
        units += extent.second.size() / 512 + 1;
    return 512 * units;
}

} // namespace
