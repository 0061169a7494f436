// The dump of one file through the scripted system, held to the plain reference dumper.

#include "driver/driver.h"
#include "fake_system.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

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
        if (variant % 12 == 11) // then a read of more than the room left after the part kept
            fake.before_read = [&fake](int read) { fake.read_max = read == 1 ? 1000 : SIZE_MAX; };
        char what[200];
        std::snprintf(what, sizeof what, "%s%s of %zu, reads of at most %zu%s%s%s%s, to a %s",
                      live ? "a FIFO" : "a file", variant % 3 ? "" : " with holes", data.size(),
                      fake.read_max, fake.chunk_salt ? " at random" : "",
                      variant % 12 == 11 ? ", the first of 1000" : "",
                      variant % 4 ? "" : ", interrupted", variant % 5 ? "" : ", writes of 1000",
                      variant % 2 ? "file" : "pipe");
        EXPECT_TRUE(dump(fake)) << what;
        std::vector<std::size_t> after_block = {0};
        ASSERT_EQ(fake.out, reference_dump(data, &after_block)) << what;
        EXPECT_EQ(fake.err, "");
        // From a file, the output goes in writes of the buffer's size (twice as many where each
        // is interrupted once); from a source that can keep us waiting, every whole block is
        // shown before each wait.
        const std::size_t writes_at_most =
            2 * (fake.out.size() / std::min(output_pipe_write_size, largest_system_write) + 1);
        EXPECT_TRUE(live || fake.write_max != SIZE_MAX ||
                    static_cast<std::size_t>(fake.count[write_call]) <= writes_at_most);
        for (const auto &[out, position] : live ? fake.reads : decltype(fake.reads){})
            ASSERT_EQ(out, after_block[position / 16]) << what;
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
const char *const refused = "morvalen: f: input file is output file\n";
// 16 zero bytes, and 39 bytes at 2^63 - 41.
const std::uint64_t top = std::uint64_t{1} << 63;
const std::string near_end = "the data that ends 1 byte short of 2^63";
const std::string near_end_dump =
    reference_line(0, std::string(16, '\0')) + "*\n" +
    reference_line(top - 48, std::string(7, '\0') + near_end.substr(0, 9)) +
    reference_line(top - 32, near_end.substr(9, 16)) +
    reference_line(top - 16, near_end.substr(25));

struct Case { // NOLINT(clang-analyzer-optin.performance.Padding): in the order a row reads
    const char *what;
    bool sparse;
    std::function<void(Fake &)> script; // after `mixed` is put in place as "f"
    std::size_t shown;                  // how much of `mixed` the dump shows
    const char *err;
    std::string literal_out = ""; // instead of the dump of `shown`, when not empty
    enum : std::uint8_t { both, posix_only, windows_only } faces = both;
    const char *windows_err = nullptr; // where Windows words it otherwise
};
const char *const cannot_tell = "morvalen: f: cannot tell whether input file is output file\n";

// clang-format off
const Case cases[] = {
    {"a read fails", false,
     [](Fake &f) { f.read_max = 4096, f.failures[{read_call, 3}] = EIO; }, 8192,
     "morvalen: f: Input/output error (at offset 2000)\n", "", Case::both,
     "morvalen: f: CRC error (at offset 2000)\n"},
    {"interrupted and non-blocking calls, and writes of one byte each", false, [](Fake &f) {
         for (int call = 1; call < 60; call += 2)
             f.failures[{read_call, call}] = f.failures[{write_call, call}] =
                 call % 4 == 1 ? EINTR : EAGAIN;
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
     [](Fake &f) { f.read_max = 4096, f.failures[{seek_call, seek_past_hole}] = EIO; },
     mixed.size(), ""},
    {"the handle is not put back after the hole query", true,
     [](Fake &f) { f.read_max = 4096, f.failures[{seek_call, 1}] = EIO; }, 4096,
     "morvalen: f: Input/output error (at offset 1000)\n", "", Case::posix_only},
    {"a read fails with an error no system has words for", false,
     [](Fake &f) { f.read_max = 4096, f.failures[{read_call, 2}] = unnamed_error; }, 4096,
     "morvalen: f: Unknown error 1000 (at offset 1000)\n", "", Case::both,
     "morvalen: f: unknown error (at offset 1000)\n"},
    {"more stored ranges than one answer lists, some of stored zeros", true, [](Fake &f) {
         f.read_max = 4096, f.read_at_most = 65536; // as bytes, the holes would take more
         for (std::uint64_t at = 20000; at < 100000; at += 10000)
             f.files[0].extents[at] = std::string(16, '\0'); }, mixed.size(), ""},
    {"the file is cut short while its holes are asked for", true, [](Fake &f) {
         f.files[0].size = 1 << 20, f.read_max = 4096;
         f.during_hole_query = [&f] { f.files[0].size = 50001; }; },
     50001, ""},
    {"fstat fails at the open (the first is of the output)", false,
     [](Fake &f) { f.failures[{fstat_call, 2}] = EIO; }, 0, "", "Error:fopen  f\n ", Case::posix_only},
    {"a directory", false, [](Fake &f) { f.files[0].type = S_IFDIR; }, 0, "", "Error:fopen  f\n "},
    {"the output file as input", false, [](Fake &f) { f.output_file = 0; }, 0, refused, ""},
    {"the output pipe as input", false,
     [](Fake &f) { f.output_file = 0, f.files[0].type = S_IFIFO; }, 0, refused, "", Case::both, cannot_tell},
    {"the output block device as input", false,
     [](Fake &f) { f.output_file = 0, f.files[0].type = S_IFBLK; }, 0, refused, "", Case::posix_only},
    {"the output file, known by its file ID only", false,
     [](Fake &f) { f.output_file = 0, f.failures[{fstat_call, 2}] = EIO; }, 0, refused, "",
     Case::windows_only},
    {"the output's file ID, without its volume", false, [](Fake &f) {
         f.output_file = 0, f.output_volume_unknown = true, f.failures[{fstat_call, 2}] = EIO; },
     0, cannot_tell, "", Case::windows_only},
    {"another file's ID, without its volume", false, [](Fake &f) {
         f.output_volume_unknown = true, f.failures[{fstat_call, 2}] = EIO; },
     mixed.size(), "", "", Case::windows_only},
    {"a file with the output's volume and index, whatever its times", false,
     [](Fake &f) { f.output_index_clash = true; }, 0, refused, "", Case::windows_only},
    {"the same, known by the file ID only", false,
     [](Fake &f) { f.output_index_clash = true, f.failures[{fstat_call, 2}] = EIO; }, 0, refused, "", Case::windows_only},
    {"the output's index through a drive with its own serial, as Wine shows a hard link", false,
     [](Fake &f) { f.output_index_clash = f.output_drive = true; }, 0, cannot_tell, "", Case::windows_only},
    {"the input, known by its file ID only", false,
     [](Fake &f) { f.failures[{fstat_call, 1}] = EIO; }, mixed.size(), "", "", Case::windows_only},
    {"the output's index, on no known volume", false,
     [](Fake &f) { f.output_index_clash = f.output_volume_unknown = true; }, 0, cannot_tell, "", Case::windows_only},
    {"a pipe that delivers a message of no bytes, then the rest", false, [](Fake &f) { f.files[0].type = S_IFIFO;
     f.before_read = [&f](int read) { f.read_max = read == 1 ? 0 : SIZE_MAX; }; }, mixed.size(), "", "", Case::windows_only},
    {"a pipe whose server ends the connection", false, [](Fake &f) { f.files[0].type = S_IFIFO, f.read_max = 4096;
     f.failures[{read_call, 3}] = ENOTCONN; }, 8192, "", "", Case::windows_only},
    {"a device that answers no file information, and fails a read", false, [](Fake &f) {
         f.read_max = 4096, f.failures[{read_call, 3}] = EIO;
         f.failures[{fstat_call, 1}] = f.failures[{file_id_call, 1}] = EIO; },
     8192, "morvalen: f: CRC error (at offset 2000)\n", "", Case::windows_only},
    {"an output the system cannot tell from the input", false, [](Fake &f) {
         f.failures[{fstat_call, 2}] = f.failures[{file_id_call, 2}] = EIO; },
     0, cannot_tell, "", Case::windows_only},
    {"the output terminal as input", false,
     [](Fake &f) { f.output_file = 0, f.files[0].type = S_IFCHR; }, mixed.size(), ""},
    {"a terminal (on Windows, the console) that takes 7 at a time", false,
     [](Fake &f) { f.output_type = S_IFCHR, f.write_max = 7; }, mixed.size(), ""},
    {"the largest file a system allows", true, [](Fake &f) {
         f.files[0].size = largest, f.read_max = 1; // up to the very last byte
         f.files[0].extents = {{0, "head"}, {largest - 5, "tail!"}}; },
     0, "",
     "0000    68 65 61 64 00 00 00 00 00 00 00 00 00 00 00 00  head............\n"
     "0010    00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  ................\n*\n"
     "7ffffffffffffff0    00 00 00 00 00 00 00 00 00 00 74 61 69 6c 21    ..........tail!  \n"},
    {"a hole answer that hides the data of the last page", true, [](Fake &f) {
         f.files[0].size = top - 2, f.hide_last_page = true, f.read_max = 4096;
         f.files[0].extents = {{0, std::string(16, '\0')}, {top - 41, near_end}}; },
     0, "", near_end_dump},
};
// clang-format on

TEST(Dump, Cases) {
    for (const Case &c : cases) {
        if (c.faces == (windows_face ? Case::posix_only : Case::windows_only))
            continue;
        Fake fake;
        fake.files = {file_of("f", mixed, c.sparse)};
        c.script(fake);
        const bool ok = dump(fake);
        const std::string out =
            c.literal_out.empty() ? reference_dump(mixed.substr(0, c.shown)) : c.literal_out;
        EXPECT_EQ(fake.out, out) << c.what;
        EXPECT_EQ(fake.err, windows_face && c.windows_err ? c.windows_err : c.err) << c.what;
        EXPECT_EQ(ok, *c.err == '\0' && out.rfind("Error:", 0) != 0) << c.what;
        EXPECT_TRUE(fake.open.empty()) << c.what << ": a file left open";
    }
}

// A pipe's reader that leaves, a socket's or terminal's other end that hangs up, or a write
// that fails ends the program at once, even while a run of repeats writes nothing: silently
// where the reader went away, else with one line.
TEST(Dump, TheOutputsEndEndsTheRun) {
    struct End {
        mode_t output;
        int write_error; // 0: the reader leaves
        int status;
        std::string err;
        bool data = false; // lines, not repeats, go out when the reader leaves: a write tells
    };
    const std::string cannot = "morvalen: cannot write the output: ";
    std::vector<End> ends = {
        // a shorter message after a longer one
        {S_IFIFO, EFBIG, 1, cannot + (windows_face ? "General failure\n" : "File too large\n")},
        {S_IFIFO, ENOSPC, 1, cannot + (windows_face ? "Disk full\n" : "No space left on device\n")},
        {S_IFIFO, EPIPE, reader_gone_status, ""}};
    if (!windows_face) // a disk's EIO, not a terminal's hang-up
        ends.push_back({S_IFREG, EIO, 1, cannot + "Input/output error\n"});
    for (const mode_t output : outputs_whose_reader_may_leave)
        for (const bool data : {false, true})
            ends.push_back({output, 0, reader_gone_status, "", data});
    for (const End &end : ends) {
        Fake fake;
        std::string body(1 << 20, '\0');
        for (std::size_t i = 0; end.data && i < body.size(); ++i)
            body[i] = static_cast<char>(i * 7 + i / 16); // no block repeats the one before
        fake.files = {file_of("f", "x" + body)};
        fake.files[0].type = S_IFIFO; // repeats to the last byte: before it, only asking tells
        fake.output_type = end.output;
        fake.read_max = 4096;
        fake.in_process = true;
        if (end.write_error != 0)
            fake.failures[{write_call, 2}] = end.write_error;
        else
            fake.before_read = [&fake](int read) { fake.reader_gone = read > 3; };
        int status = 0;
        try {
            dump(fake);
        } catch (const Ended &ended) {
            status = ended.status;
        }
        EXPECT_EQ(status, end.status) << end.output << " " << end.write_error;
        EXPECT_TRUE(end.write_error != 0 || fake.reads_after_gone == 1) << end.output;
        EXPECT_EQ(fake.err, end.err);
    }
}

} // namespace

// Titles, headers, error lines, dump lines and "*" lines that land on every byte around the end
// of the output buffer, into a pipe, a file and a terminal (the console on Windows), a character
// of the names cut there; an error message past 4 KiB; names escaped on a terminal and in messages.
TEST(Run, TextsAcrossTheEndOfTheBuffer) {
    std::mt19937_64 random(5);
    for (const auto &[output, edge] :
         {std::pair{S_IFIFO, output_pipe_write_size}, std::pair{S_IFREG, output_file_write_size},
          std::pair{S_IFCHR, output_file_write_size}}) {
        const std::size_t lines = (edge - 300 - 268) / 74; // lines of 74 bytes
        std::string noise(16 * lines, '\0');
        for (char &byte : noise)
            byte = static_cast<char>(random());
        const std::string noise_dump = reference_dump(noise),
                          self = "$'\\" + std::string(5000, 's'),
                          shown_self = "$'$\\'\\\\" + self.substr(3) + "'";
        const std::string
            gone = "\x9b\xc2\x9b\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\x1b",
            shown = "$'\\x9b\\xc2\\x9b\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80\\x1b'";
        for (std::size_t shift = 1; shift <= 260; ++shift) {
            Fake fake;
            fake.files = {file_of(std::string(shift, 'n') + "\xf0\x9f\x98\x80", noise),
                          file_of("runs", std::string(48, 'A')), file_of(self, "")};
            fake.output_file = 2; // the output itself, refused with a message past 4 KiB
            fake.in_process = true;
            fake.files[2].type = output;
            std::vector<std::string> names = {"", fake.files[0].path, gone, "runs", self};
            std::vector<char *> arguments;
            arguments.reserve(names.size());
            for (std::string &name : names)
                arguments.push_back(&name[0]);
            EXPECT_EQ(with_fake(fake,
                                [&] {
                                    return view_paths(static_cast<int>(arguments.size()),
                                                      arguments.data());
                                }),
                      1);
            const bool terminal = output == S_IFCHR; // where names are shown escaped
            const std::string &missing = terminal ? shown : gone;
            ASSERT_EQ(fake.out, reference_header(names[1]) + noise_dump +
                                    reference_header(missing) + reference_open_error(missing) +
                                    reference_header("runs") +
                                    reference_dump(std::string(48, 'A')) +
                                    reference_header(terminal ? shown_self : self))
                << "shift " << shift;
            ASSERT_EQ(fake.err,
                      terminal
                          ? ""
                          : "morvalen: " + shown_self + ": " +
                                (windows_face && output == S_IFIFO ? "cannot tell whether " : "") +
                                "input file is output file\n");
            ASSERT_TRUE(windows_face || static_cast<std::size_t>(fake.count[write_call]) ==
                                            fake.out.size() / edge + 1)
                << "writes of the buffer's size";
        }
    }
}
