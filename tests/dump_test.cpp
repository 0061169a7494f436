// The dump of one file through a scripted system: checked against the plain reference dumper
// over shaped data, chunked reads, holes, interruptions and failures of every kind.

#include "dump/dump.h"
#include "fake_posix.h"
#include "io/output.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

struct Dumped {
    bool ok;
    std::string out, err;
};

Dumped dump(FakePosix &fake, const char *path = "f") {
    prepare_output();
    output_flush(); // starts the clock for output that waits
    const bool ok = process(path);
    output_flush();
    return {ok, fake.out, fake.err};
}

std::string zeros(std::size_t count) {
    return std::string(count, '\0');
}

TEST(Dump, MatchesTheReference) {
    for (std::uint64_t seed = 1; seed <= 48; ++seed) {
        std::mt19937_64 random(seed);
        const bool live = seed % 3 == 1; // a FIFO, in small chunks
        const std::size_t sizes[] = {40, 5000, 300000, 1200000};
        const std::string data = shaped_data(random, live ? 20000 : sizes[seed % 4]);
        FakePosix fake;
        fake.files = {file_of("f", data, seed % 3 == 0)};
        if (live)
            fake.files[0].type = S_IFIFO;
        const std::size_t chunks[] = {1, 7, 100, 4096, 70000, SIZE_MAX};
        fake.read_max = chunks[live ? seed / 3 % 3 : 3 + seed % 3];
        fake.random_chunks = seed % 2 == 0;
        fake.chunk_seed = seed;
        fake.interrupt = seed % 4 == 0;
        fake.write_max = seed % 5 == 0 ? 1000 : SIZE_MAX;
        fake.output_type = seed % 2 == 0 ? S_IFIFO : S_IFREG;
        const Dumped dumped = dump(fake);
        std::vector<std::size_t> after_block = {0};
        ASSERT_EQ(dumped.out, reference_dump(data, &after_block)) << "seed " << seed;
        EXPECT_TRUE(dumped.ok && dumped.err.empty()) << "seed " << seed << ": " << dumped.err;
        // From a source that can keep us waiting, every whole block is shown before each wait.
        for (const auto &read : live ? fake.reads : std::vector<FakePosix::ReadMoment>{})
            ASSERT_EQ(read.out, after_block[read.position / 16]) << "seed " << seed;
    }
}

// Output that waits goes out once a tenth of a second has passed, and not before.
TEST(Dump, WaitingOutputGoesOutAfterATenth) {
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>(i * 7 + i / 16);
    FakePosix fake;
    fake.files = {file_of("f", data)};
    fake.read_max = 1000;
    fake.before_read = [&](int read) { fake.now_ms += read == 4 ? 150 : 0; };
    EXPECT_EQ(dump(fake).out, reference_dump(data));
    ASSERT_GE(fake.reads.size(), 6u);
    EXPECT_EQ(fake.reads[3].out, 0u);
    EXPECT_EQ(fake.reads[4].out, reference_dump(data.substr(0, 4000)).size());
    EXPECT_EQ(fake.reads[5].out, fake.reads[4].out);
}

const std::string varied_then_holes = std::string(16, 'x') + zeros(100000) + "y" + zeros(5000);
const std::uint64_t largest = INT64_MAX;

struct Case {
    const char *what;
    std::function<void(FakePosix &)> script;
    std::string dumped; // the bytes the dump must show
    const char *err;
    bool ok;
    const char *literal_out = nullptr; // instead of the dump of `dumped`
};

const std::vector<Case> cases = {
    {"a read fails",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes)};
         fake.read_max = 4096;
         fake.fail(Call::read, 3, EIO);
     },
     varied_then_holes.substr(0, 8192), "morvalen: f: Input/output error\n", false},
    {"interrupted calls and short writes",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes)};
         fake.interrupt = true;
         fake.write_max = 5;
     },
     varied_then_holes, "", true},
    {"the file shrinks while it is read",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes)};
         fake.read_max = 4096;
         fake.before_read = [&fake](int read) {
             if (read == 2)
                 fake.files[0].size = 5000;
         };
     },
     varied_then_holes.substr(0, 5000), "", true},
    {"the file grows while it is read",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes)};
         fake.files[0].size = 3000;
         fake.read_max = 4096;
         fake.before_read = [&fake](int) { fake.files[0].size = varied_then_holes.size(); };
     },
     varied_then_holes, "", true},
    {"a sparse file grows before its holes are looked for",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes, true)};
         fake.read_max = 4096;
         fake.before_read = [&fake](int) { fake.files[0].size = varied_then_holes.size() + 20; };
     },
     varied_then_holes + zeros(20), "", true},
    {"the hole query fails",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes, true)};
         fake.read_max = 4096;
         fake.fail(Call::hole, 1, EIO);
     },
     varied_then_holes, "", true},
    {"the seek past a hole fails",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes, true)};
         fake.read_max = 4096;
         fake.fail(Call::seek, 1, EIO);
     },
     varied_then_holes, "", true},
    {"the seek past a hole and the seek back fail",
     [](FakePosix &fake) {
         fake.files = {file_of("f", varied_then_holes, true)};
         fake.read_max = 4096;
         fake.fail(Call::seek, 1, EIO);
         fake.fail(Call::seek, 2, EIO);
     },
     varied_then_holes.substr(0, 4096), "morvalen: f: Input/output error\n", false},
    {"fstat fails at the open",
     [](FakePosix &fake) {
         fake.files = {file_of("f", "abc")};
         fake.fail(Call::fstat, 2, EIO); // the first is of standard output
     },
     "", "", false, "Error:fopen  f\n "},
    {"a socket as standard input",
     [](FakePosix &fake) {
         fake.files = {file_of("/dev/stdin", varied_then_holes.substr(0, 40))};
         fake.files[0].type = S_IFSOCK;
         fake.files[0].descriptor = 0;
     },
     varied_then_holes.substr(0, 40), "", true},
    {"the output pipe as input",
     [](FakePosix &fake) {
         fake.files = {file_of("/dev/stdin", "abc")};
         fake.files[0].type = S_IFIFO;
         fake.output_file = 0;
     },
     "", "morvalen: /dev/stdin: input file is output file\n", false},
    {"the output terminal as input",
     [](FakePosix &fake) {
         fake.files = {file_of("/dev/stdin", "abc")};
         fake.files[0].type = S_IFCHR;
         fake.output_file = 0;
     },
     "abc", "", true},
    {"the largest file a system allows",
     [](FakePosix &fake) {
         fake.files = {file_of("/dev/stdin", "")};
         fake.files[0].size = largest;
         fake.files[0].sparse = true;
         fake.files[0].extents = {{0, "head"}, {largest - 5, "tail!"}};
     },
     "", "", true,
     "0000    68 65 61 64 00 00 00 00 00 00 00 00 00 00 00 00  head............\n"
     "0010    00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n"
     "*\n"
     "7ffffffffffffff0    00 00 00 00 00 00 00 00 00 00 74 61 69 6c 21    ..........tail!  \n"},
};

TEST(Dump, Cases) {
    for (const Case &c : cases) {
        FakePosix fake;
        c.script(fake);
        const Dumped dumped = dump(fake, fake.files[0].path.c_str());
        EXPECT_EQ(dumped.out, c.literal_out ? c.literal_out : reference_dump(c.dumped)) << c.what;
        EXPECT_EQ(dumped.err, c.err) << c.what;
        EXPECT_EQ(dumped.ok, c.ok) << c.what;
    }
}

// A path that names one of our descriptors is opened as such only when it is one.
TEST(Dump, OnlyOwnDescriptorsStandForSockets) {
    for (const char *path :
         {"/dev/fd/0", "/proc/self/fd/0", "/dev/fd/0x", "/dev/fd/", "/dev/fd/7"}) {
        FakePosix fake;
        fake.files = {file_of(path, "abc")};
        fake.files[0].type = S_IFSOCK;
        fake.files[0].descriptor = 0;
        const bool own = std::string(path).find_first_of("x7") == std::string::npos &&
                         path[std::strlen(path) - 1] != '/';
        EXPECT_EQ(dump(fake, path).out,
                  own ? reference_dump("abc") : "Error:fopen  " + std::string(path) + "\n ")
            << path;
    }
}

// Writing that fails ends the program at once, even while a run of repeats writes nothing.
void endless_zeros(FakePosix &fake) {
    fake.files = {file_of("f", "x" + zeros(1 << 20))};
    fake.files[0].type = S_IFIFO;
    fake.read_max = 4096;
    fake.output_type = S_IFIFO;
}

TEST(DumpDeathTest, FailingWritesEndTheProgram) {
    EXPECT_EXIT(
        {
            FakePosix fake;
            endless_zeros(fake);
            fake.fail(Call::write, 2, ENOSPC);
            dump(fake);
        },
        testing::ExitedWithCode(1),
        "^morvalen: cannot write the output: No space left on device\n$");
    EXPECT_EXIT(
        {
            FakePosix fake;
            endless_zeros(fake);
            fake.before_read = [&fake](int read) { fake.reader_gone = read > 3; };
            dump(fake);
        },
        testing::KilledBySignal(SIGPIPE), "");
    EXPECT_EXIT(
        {
            std::signal(SIGPIPE, SIG_IGN);
            FakePosix fake;
            endless_zeros(fake);
            fake.before_read = [&fake](int read) { fake.reader_gone = read > 3; };
            dump(fake);
        },
        testing::ExitedWithCode(1), "^$");
}

} // namespace
