#pragma once

// A scripted system under the program's POSIX calls, in memory: files with holes anywhere,
// reads in chosen chunks, interrupted calls, short writes, the Nth call of a kind failing,
// sizes that change between calls, a clock that moves only when told, and captured output.
// While a FakePosix lives, the program's calls go to it.

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class Call { open, read, write, seek, hole, fstat, count };

struct FakeFile {
    std::string path;
    std::uint64_t size = 0;
    std::map<std::uint64_t, std::string> extents; // data at offsets; zeros elsewhere
    mode_t type = S_IFREG;
    bool sparse = false; // fewer blocks allocated than the size needs
    int descriptor = -1; // the process's own descriptor it is, as stdin is 0
};

// A file holding `data`, kept as a sparse file where `sparse` (its zero blocks are holes).
FakeFile file_of(const std::string &path, const std::string &data, bool sparse = false);

struct FakePosix {
    FakePosix();
    ~FakePosix();
    FakePosix(const FakePosix &) = delete;
    FakePosix &operator=(const FakePosix &) = delete;

    // The script.
    std::vector<FakeFile> files;
    std::size_t read_max = SIZE_MAX;  // most bytes a read delivers
    bool random_chunks = false;       // each read delivers 1 to read_max bytes
    std::uint64_t chunk_seed = 1;     // for those
    std::size_t write_max = SIZE_MAX; // most bytes a write takes
    bool interrupt = false;           // every read and write fails once with EINTR first
    mode_t output_type = S_IFREG;     // what standard output is
    int output_file = -1;             // index of the file standard output is, if any
    bool reader_gone = false;         // standard output's reader went away
    std::uint64_t now_ms = 5000;
    std::function<void(int)> before_read; // called with each read's number, from 1
    void fail(Call call, int nth, int error) { failures[{call, nth}] = error; }

    // What happened.
    std::string out, err;
    struct ReadMoment {
        std::size_t out;        // bytes written to standard output so far
        std::uint64_t position; // of the read in its file
    };
    std::vector<ReadMoment> reads;
    int calls[static_cast<int>(Call::count)] = {};

    // The calls, as the program makes them.
    int open(const char *path);
    int dup(int fd);
    int close(int fd);
    ssize_t read(int fd, void *into, std::size_t count);
    ssize_t write(int fd, const void *data, std::size_t count);
    off_t lseek(int fd, off_t offset, int whence);
    int fstat(int fd, struct stat *info);
    int stat(const char *path, struct stat *info);

  private:
    bool fails(Call call);
    std::map<std::pair<Call, int>, int> failures;
    std::map<int, std::size_t> open_files; // fd to index in files
    std::map<int, std::uint64_t> positions;
    int next_fd = 100;
    bool interrupted = false;
    std::uint64_t chunk_state = 0;
};
