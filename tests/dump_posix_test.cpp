// What only POSIX systems do: sockets named by their descriptors, and the signal of a write
// that meets no reader.

#include "console/console.h"
#include "fake_system.h"
#include "reference.h"

#include <gtest/gtest.h>

namespace {

// A socket cannot be opened by name: a path that names one of our descriptors reads that.
TEST(Dump, SocketsThroughTheirDescriptors) {
    for (const std::string path : {"/dev/stdin", "/dev/fd/0", "/dev/fd/9", "/proc/self/fd/0",
                                   "/dev/fd/0x", "/dev/fd/", "sock"}) {
        Fake fake;
        fake.files = {file_of("/dev/stdin", "abc"), file_of(path, "")};
        fake.files[0].type = fake.files[1].type = S_IFSOCK;
        dump(fake, path);
        const bool own = path.back() == 'n' || path.back() == '0' || path.back() == '9';
        EXPECT_EQ(fake.out, own ? reference_dump("abc") : "Error:fopen  " + path + "\n ") << path;
    }
}

// The terminal's own clear sequence goes to the terminal, and only from its foreground job.
TEST(Console, ClearedThroughTheTerminal) {
    setenv("TERM", "xterm", 1);
    for (const auto &[tty, background, sent] : {std::tuple{"/dev/tty", false, "\33[H\33[2J"},
                                                {"/dev/tty", true, ""},
                                                {"none", false, ""}}) {
        Fake fake;
        fake.files = {file_of(tty, "")};
        fake.in_background = background;
        with_fake(fake, [] { return clear_console(), 0; });
        EXPECT_EQ(fake.out, sent) << tty << background;
        EXPECT_TRUE(fake.open.empty());
    }
}

// A write that meets no reader ends the program, even while a run of repeats writes nothing.
void dump_endless_zeros(const std::function<void(Fake &)> &script) {
    Fake fake;
    fake.files = {file_of("f", "x" + std::string(1 << 20, '\0'))};
    fake.files[0].type = fake.output_type = S_IFIFO;
    fake.read_max = 4096;
    script(fake);
    dump(fake);
}

TEST(DumpDeathTest, WritesThatMeetNoReaderEndTheProgram) {
    std::signal(SIGPIPE, SIG_IGN);                // the signal ignored, the program still ends
    for (const int error : {EPIPE, ECONNRESET}) { // a write that meets no reader
        const auto write_fails = [error](Fake &f) { f.failures[{write_call, 2}] = error; };
        EXPECT_EXIT(dump_endless_zeros(write_fails), testing::ExitedWithCode(1), "^$");
    }
}

} // namespace
