// The line layout in both its ways, and the dump of one file through a scripted system under
// the program's POSIX calls (chunked reads, holes at any offset, interrupted calls, short
// writes, the Nth call of a kind failing, sizes that change, a clock that moves only when
// told), all held to the plain reference dumper.

#include "dump/dump.h"
#include "dump/line.h"
#include "io/output.h"
#include "io/posix_calls.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <map>
#include <unistd.h>

namespace {

using Format = char *(*)(char *, std::uint64_t, const unsigned char *, std::size_t);

std::string line_of(std::uint64_t offset, const std::string &block, Format format) {
    char room[line_room];
    unsigned char buf[block_size] = {};
    block.copy(reinterpret_cast<char *>(buf), block_size);
    return std::string(room, format(room, offset, buf, block.size()));
}

// Every byte value in every column, at every length, behind offsets of 4 to 16 digits: block
// b holds b + 37 * column in each column, so 256 blocks put every value in every place.
TEST(Line, BothWaysMatchTheReference) {
    for (std::size_t length = 1; length <= block_size; ++length) {
        for (int b = 0; b < 256; ++b) {
            std::string block;
            for (std::size_t column = 0; column < length; ++column)
                block += static_cast<char>((b + 37 * column) & 0xff);
            const std::uint64_t offset = 0xfedcba9876543210 >> (64 - 4 * (4 + b % 13)) | (b & 15);
            ASSERT_EQ(line_of(offset, block, format_line_by_table), reference_line(offset, block));
            ASSERT_EQ(line_of(offset, block, format_line_by_vector), reference_line(offset, block));
        }
    }
}

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
    std::uint64_t now_ms = 5000;
    std::function<void(int)> before_read;        // with the read's number, from 1
    std::map<std::pair<int, int>, int> failures; // (call, nth) to errno
    std::string out, err;
    std::vector<std::pair<std::size_t, std::uint64_t>> reads; // output and position at each
    int count[calls] = {};
    std::map<int, std::pair<std::size_t, std::uint64_t>> open; // fd to file and position
};
Fake *fake = nullptr;

bool fails(int call) {
    const auto failure = fake->failures.find({call, ++fake->count[call]});
    return failure != fake->failures.end() && (errno = failure->second) != 0;
}

int stat_of(const File &file, int inode, struct stat *info) {
    *info = {};
    info->st_mode = file.type;
    info->st_size = static_cast<off_t>(file.size);
    for (const auto &extent : file.extents)
        info->st_blocks += static_cast<blkcnt_t>(extent.second.size() / 512 + 1);
    info->st_ino = static_cast<ino_t>(inode);
    return 0;
}

int open_file(std::size_t index) {
    const int fd = 100 + fake->count[open_call] + static_cast<int>(fake->open.size());
    fake->open[fd] = {index, 0};
    return fd;
}

ssize_t fake_read(int fd, void *into, size_t count) {
    auto &[index, position] = fake->open.at(fd);
    fake->reads.emplace_back(fake->out.size(), position);
    if (fake->before_read)
        fake->before_read(fake->count[read_call] + 1);
    if (fails(read_call) || (count > INT64_MAX - position && (errno = EINVAL))) // as Linux says
        return -1;
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
    if (fd == STDERR_FILENO) // shown too, for the tests that run in a child process
        return fake->err.append(text, count), ::write(fd, data, count);
    if (fails(write_call) || (fake->reader_gone && (errno = EPIPE)))
        return -1;
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
    for (const auto &[at, data] : fake->files[index].extents)
        if (at + data.size() > target && target < fake->files[index].size)
            return static_cast<off_t>(position = std::max(at, target));
    return errno = ENXIO, -1;
}

const PosixCalls fake_calls = {
    [](const char *path, int) {
        for (std::size_t i = 0; i < fake->files.size() && !fails(open_call); ++i)
            if (fake->files[i].path == path)
                return fake->files[i].type == S_IFSOCK ? (errno = ENXIO, -1) : open_file(i);
        return errno = ENOENT, -1;
    },
    [](int fd) { return fake->open.erase(fd) == 1 ? 0 : -1; },
    [](int fd) { return fd >= 0 && fd <= 2 ? open_file(0) : -1; }, // ours: the first file
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
    [](struct pollfd *output, nfds_t, int) {
        return int{(output->revents = fake->reader_gone ? POLLERR : 0) != 0};
    },
    [](clockid_t, struct timespec *now) {
        *now = {static_cast<time_t>(fake->now_ms / 1000),
                static_cast<long>(fake->now_ms % 1000 * 1000000)};
        return 0;
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

TEST(Dump, MatchesTheReference) {
    for (std::uint64_t variant = 1; variant <= 48; ++variant) {
        std::mt19937_64 random(variant);
        const bool live = variant % 3 == 1; // a FIFO, in small chunks
        const std::size_t sizes[] = {40, 5000, 300000, 700000},
                          chunks[] = {1, 7, 100, 4096, 70000, SIZE_MAX};
        const std::string data = shaped_data(random, live ? 20000 : sizes[variant % 4]);
        Fake fake;
        fake.files = {file_of("f", data, variant % 3 == 0)};
        fake.files[0].type = live ? S_IFIFO : S_IFREG;
        fake.read_max = chunks[live ? variant / 3 % 3 : 3 + variant % 3];
        fake.chunk_salt = variant % 2 == 0 ? variant : 0;
        for (int call = 2; variant % 4 == 0 && call < 100; call += 2) // each interrupted once
            fake.failures[{read_call, call}] = fake.failures[{write_call, call}] = EINTR;
        fake.write_max = variant % 5 == 0 ? 1000 : SIZE_MAX;
        fake.output_type = variant % 2 == 0 ? S_IFIFO : S_IFREG;
        EXPECT_TRUE(dump(fake)) << "variant " << variant;
        std::vector<std::size_t> after_block = {0};
        ASSERT_EQ(fake.out, reference_dump(data, &after_block)) << "variant " << variant;
        EXPECT_EQ(fake.err, "");
        // From a file, the output goes in writes of the buffer's size (twice as many where each
        // is interrupted once); from a source that can keep us waiting, every whole block is
        // shown before each wait.
        const std::size_t writes_at_most = 2 * (fake.out.size() / 65536 + 1);
        EXPECT_TRUE(live || fake.write_max != SIZE_MAX ||
                    static_cast<std::size_t>(fake.count[write_call]) <= writes_at_most);
        for (const auto &[out, position] : live ? fake.reads : decltype(fake.reads){})
            ASSERT_EQ(out, after_block[position / 16]) << "variant " << variant;
    }
}

// Output that waits goes out once a tenth of a second has passed, and not before.
TEST(Dump, WaitingOutputGoesOutAfterATenth) {
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>(i * 7 + i / 16);
    Fake fake;
    fake.files = {file_of("f", data)};
    fake.read_max = 1000;
    fake.before_read = [&](int read) { fake.now_ms += read == 4 ? 150 : 0; };
    dump(fake);
    EXPECT_EQ(fake.out, reference_dump(data));
    ASSERT_GE(fake.reads.size(), 6u);
    EXPECT_EQ(fake.reads[3].first, 0u);
    EXPECT_EQ(fake.reads[4].first, reference_dump(data.substr(0, 4000)).size());
    EXPECT_EQ(fake.reads[5].first, fake.reads[4].first);
}

const std::string mixed =
    std::string(16, 'x') + std::string(100000, '\0') + "y" + std::string(5000, '\0');
const std::uint64_t largest = INT64_MAX;
const char *const failed = "morvalen: f: Input/output error\n",
                  *const refused = "morvalen: f: input file is output file\n";

struct Case {
    const char *what;
    bool sparse;
    std::function<void(Fake &)> script; // after `mixed` is put in place as "f"
    std::size_t shown;                  // how much of `mixed` the dump shows
    const char *err;
    const char *literal_out = nullptr; // instead of the dump of `shown`
};

// clang-format off
const Case cases[] = {
    {"a read fails", false,
     [](Fake &f) { f.read_max = 4096, f.failures[{read_call, 3}] = EIO; }, 8192, failed},
    {"interrupted calls, and writes of one byte each", false, [](Fake &f) {
         for (int call = 1; call < 60; call += 2)
             f.failures[{read_call, call}] = f.failures[{write_call, call}] = EINTR;
         f.write_max = 1; }, mixed.size(), ""},
    {"the file shrinks while it is read", false, [](Fake &f) {
         f.read_max = 4096;
         f.before_read = [&f](int read) { f.files[0].size = read > 1 ? 5000 : f.files[0].size; }; },
     5000, ""},
    {"the file grows while it is read", false, [](Fake &f) {
         f.files[0].size = 3000, f.read_max = 4096;
         f.before_read = [&f](int) { f.files[0].size = mixed.size(); }; },
     mixed.size(), ""},
    {"the hole query fails", true,
     [](Fake &f) { f.read_max = 4096, f.failures[{hole_call, 1}] = EIO; }, mixed.size(), ""},
    {"the seek past a hole fails", true,
     [](Fake &f) { f.read_max = 4096, f.failures[{seek_call, 1}] = EIO; }, mixed.size(), ""},
    {"the seek past a hole and the seek back fail", true, [](Fake &f) {
         f.read_max = 4096;
         f.failures[{seek_call, 1}] = f.failures[{seek_call, 2}] = EIO; }, 4096, failed},
    {"fstat fails at the open (the first is of the output)", false,
     [](Fake &f) { f.failures[{fstat_call, 2}] = EIO; }, 0, "", "Error:fopen  f\n "},
    {"a directory", false, [](Fake &f) { f.files[0].type = S_IFDIR; }, 0, "", "Error:fopen  f\n "},
    {"the output file as input", false, [](Fake &f) { f.output_file = 0; }, 0, refused, ""},
    {"the output pipe as input", false,
     [](Fake &f) { f.output_file = 0, f.files[0].type = S_IFIFO; }, 0, refused, ""},
    {"the output terminal as input", false,
     [](Fake &f) { f.output_file = 0, f.files[0].type = S_IFCHR; }, mixed.size(), ""},
    {"the largest file a system allows", true, [](Fake &f) {
         f.files[0].size = largest, f.read_max = 1; // up to the very last byte
         f.files[0].extents = {{0, "head"}, {largest - 5, "tail!"}}; },
     0, "",
     "0000    68 65 61 64 00 00 00 00 00 00 00 00 00 00 00 00  head............\n"
     "0010    00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n*\n"
     "7ffffffffffffff0    00 00 00 00 00 00 00 00 00 00 74 61 69 6c 21    ..........tail!  \n"},
};
// clang-format on

TEST(Dump, Cases) {
    for (const Case &c : cases) {
        Fake fake;
        fake.files = {file_of("f", mixed, c.sparse)};
        c.script(fake);
        const bool ok = dump(fake);
        const std::string out =
            c.literal_out ? c.literal_out : reference_dump(mixed.substr(0, c.shown));
        EXPECT_EQ(fake.out, out) << c.what;
        EXPECT_EQ(fake.err, c.err) << c.what;
        EXPECT_EQ(ok, *c.err == '\0' && out.rfind("Error:", 0) != 0) << c.what;
        EXPECT_TRUE(fake.open.empty()) << c.what << ": a file left open";
    }
}

// A socket cannot be opened by name: a path that names one of our descriptors reads that.
TEST(Dump, SocketsThroughTheirDescriptors) {
    for (const std::string path :
         {"/dev/stdin", "/dev/fd/0", "/proc/self/fd/0", "/dev/fd/0x", "/dev/fd/", "sock"}) {
        Fake fake;
        fake.files = {file_of("/dev/stdin", "abc"), file_of(path, "")};
        fake.files[0].type = fake.files[1].type = S_IFSOCK;
        dump(fake, path);
        const bool own = path.back() == 'n' || path.back() == '0';
        EXPECT_EQ(fake.out, own ? reference_dump("abc") : "Error:fopen  " + path + "\n ") << path;
    }
}

// Writing that fails ends the program at once, even while a run of repeats writes nothing.
void dump_endless_zeros(const std::function<void(Fake &)> &script) {
    Fake fake;
    fake.files = {file_of("f", "x" + std::string(1 << 20, '\0'))};
    fake.files[0].type = fake.output_type = S_IFIFO;
    fake.read_max = 4096;
    script(fake);
    dump(fake);
}

TEST(DumpDeathTest, FailingWritesEndTheProgram) {
    EXPECT_EXIT(dump_endless_zeros([](Fake &f) {
                    f.failures[{write_call, 2}] = ENOSPC;
                }),
                testing::ExitedWithCode(1),
                "^morvalen: cannot write the output: No space left on device\n$");
    const auto reader_leaves = [](Fake &f) {
        f.before_read = [&f](int read) { f.reader_gone = read > 3; };
    };
    EXPECT_EXIT(dump_endless_zeros(reader_leaves), testing::KilledBySignal(SIGPIPE), "");
    std::signal(SIGPIPE, SIG_IGN);
    EXPECT_EXIT(dump_endless_zeros(reader_leaves), testing::ExitedWithCode(1), "^$");
}

} // namespace
