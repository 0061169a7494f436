// Runs the built viewer on files written here and compares its whole output, standard error
// and exit status with the golden files and with the reference dumper. MORVALEN_BIN names the
// program; MORVALEN_RUNNER, when set, is a program that runs it (wine for the Windows build),
// and then lines must end in CR LF. MORVALEN_UPDATE_GOLDEN=NAME (or =all) writes the golden file
// of that case (or of every case) from the output of the program MORVALEN_BIN names, and of no
// other: read it well before committing it.

#include "reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    std::string out, err;
    int status;
};

std::string read_file(const std::string &path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::string shell_quoted(const std::string &text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A fresh folder for one run: the input files go in files/, the captured output beside it.
struct Scratch {
    std::string root;
    Scratch() {
        char name[] = "/tmp/morvalen-e2e-XXXXXX";
        root = mkdtemp(name);
        mkdir(files().c_str(), 0755);
    }
    ~Scratch() { EXPECT_EQ(std::system(("rm -rf " + shell_quoted(root)).c_str()), 0); }
    std::string files() const { return root + "/files"; }
};

const bool under_wine = std::getenv("MORVALEN_RUNNER") != nullptr;

// Under Windows every line ends in CR LF: checks that, and gives the text with LF alone.
std::string plain_line_ends(std::string text) {
    if (!under_wine)
        return text;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        EXPECT_TRUE(at > 0 && text[at - 1] == '\r')
            << "bare LF at byte " << at << ": " << text.substr(at < 80 ? 0 : at - 80, 100);
        if (at > 0 && text[at - 1] == '\r')
            text.erase(--at, 1);
    }
    return text;
}

// Runs the viewer in the scratch folder's files/ with `args`; one that hangs is stopped.
Result run_viewer(const Scratch &scratch, const std::vector<std::string> &args) {
    std::string command = "cd " + shell_quoted(scratch.files()) + " && exec timeout 60 ";
    if (const char *runner = std::getenv("MORVALEN_RUNNER"))
        command += shell_quoted(runner) + " ";
    const char *viewer = std::getenv("MORVALEN_BIN");
    command += shell_quoted(viewer != nullptr ? viewer : "morvalen");
    for (const auto &arg : args)
        command += " " + shell_quoted(arg);
    command +=
        " >" + shell_quoted(scratch.root + "/out") + " 2>" + shell_quoted(scratch.root + "/err");
    const int status = std::system(command.c_str());
    return {plain_line_ends(read_file(scratch.root + "/out")),
            plain_line_ends(read_file(scratch.root + "/err")), WEXITSTATUS(status)};
}

std::string bytes(int from, int to) {
    std::string text;
    for (int byte = from; byte <= to; ++byte)
        text += static_cast<char>(byte);
    return text;
}

std::string fill(std::size_t count, char byte) {
    return std::string(count, byte);
}

struct InputFile {
    std::string name; // a name ending in "/" is made as a directory
    std::string contents;
    std::uint64_t hole = 0; // zero bytes before the contents, left as a hole in the file
    std::uint64_t size = 0; // when larger than hole and contents, zeros up to it, as a hole
};

struct Case {
    const char *golden;
    std::vector<InputFile> files;
    std::vector<std::string> args;
    int status;
    bool holes_skipped = false;     // Wine keeps no file sparse: the Win32 face shows these
    const char *err = "";           // the whole of standard error
    const char *wine_err = nullptr; // where Wine words it otherwise
};

const std::string A = fill(16, 'A'), B = fill(16, 'B');

// clang-format off
const std::vector<Case> cases = {
    {"no_arguments", {}, {}, 0},
    {"empty_file", {{"empty.bin", ""}}, {"empty.bin"}, 0},
    {"short_lines", {{"short.bin", bytes(0, 14)}, {"one.bin", "~"}}, {"short.bin", "one.bin"}, 0},
    {"all_bytes", {{"all.bin", bytes(0, 255)}}, {"all.bin"}, 0},
    {"missing_between_two", {{"a.txt", "Hello, world!\r\n"}, {"b.bin", bytes(0x30, 0x4f)}},
     {"a.txt", "missing.bin", "b.bin"}, 1},
    {"directory", {{"dir/", ""}, {"a.txt", "x"}}, {"dir", "a.txt"}, 1},
    {"odd_paths", {{"my file %s%d.bin", "100%"}},
     {"my file %s%d.bin", "--help", "my file %s%d.bin"}, 1},
    {"repeat_runs", {{"runs.bin", A + A + A + B + B + A + B + fill(64, 0)}}, {"runs.bin"}, 0},
    {"short_tail_kept",
     {{"same.bin", bytes(0x41, 0x50) + "ABC"}, {"other.bin", bytes(0x41, 0x50) + "XYZ"}},
     {"same.bin", "other.bin"}, 0},
    {"offset_past_ffff", {{"big.bin", fill(0xfff0, 0) + bytes(0x30, 0x4f) + fill(15, 0)}},
     {"big.bin"}, 0},
    // Offsets that no 32-bit type holds, on every build.
    {"past_2_gib", {{"3gib.img", "just past 2 GiB!", 0x80000010, 0xc0000000}}, {"3gib.img"}, 0},
    {"past_4_gib", {{"huge.img", "4 GiB mark here!tail", 0x100000000}}, {"huge.img"}, 0},
    {"last_block_of_5_gib", {{"5gib.img", "the last block!!", 0x13ffffff0}}, {"5gib.img"}, 0},
    // Runs across the edge of the read buffer, ending one block before the end, and followed
    // by a short last block.
    {"runs_at_the_edges", {{"edge.bin", bytes(0, 15) + fill(300000, 0) + B + fill(48, 0)},
      {"one_before.bin", fill(1600, 'A') + B}, {"short_after.bin", fill(1600, 'A') + "AAA"}},
     {"edge.bin", "one_before.bin", "short_after.bin"}, 0},
    // A hole that no one could read through in time: only skipping it finishes the dump.
    {"vast_hole", {{"vast.img", "then 8 TiB hole!", 0, 0x80000000000}}, {"vast.img"}, 0, true},
    {"read_error", {}, {"/proc/self/mem"}, 1, false,
     "morvalen: /proc/self/mem: Input/output error (at offset 0000)\n",
     "morvalen: /proc/self/mem: Not ready (at offset 0000)\n"},
};
// clang-format on

class Golden : public ::testing::TestWithParam<Case> {};

TEST_P(Golden, OutputMatches) {
    const Case &c = GetParam();
    const Scratch scratch;
    for (const auto &file : c.files) {
        const std::string path = scratch.files() + "/" + file.name;
        if (file.name.back() == '/' && mkdir(path.c_str(), 0755) == 0)
            continue;
        std::ofstream(path, std::ios::binary).seekp(static_cast<std::streamoff>(file.hole))
            << file.contents;
        ASSERT_TRUE(file.size == 0 || truncate(path.c_str(), static_cast<off_t>(file.size)) == 0);
    }
    const Result result = run_viewer(scratch, c.args);
    const std::string golden = std::string(MORVALEN_GOLDEN_DIR) + "/" + c.golden + ".txt";
    const char *asked = std::getenv("MORVALEN_UPDATE_GOLDEN"), *bin = std::getenv("MORVALEN_BIN");
    if (asked != nullptr && (std::string(asked) == "all" || std::string(asked) == c.golden)) {
        ASSERT_NE(bin, nullptr) << "golden files come only from the program MORVALEN_BIN names";
        std::ofstream(golden, std::ios::binary) << result.out;
        std::printf("wrote %s from %s\n", golden.c_str(), bin);
    }
    EXPECT_EQ(result.out, read_file(golden));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, under_wine && c.wine_err ? c.wine_err : c.err);
}

std::vector<Case> cases_here() {
    std::vector<Case> here;
    std::copy_if(cases.begin(), cases.end(), std::back_inserter(here),
                 [](const Case &c) { return !(under_wine && c.holes_skipped); });
    return here;
}

INSTANTIATE_TEST_SUITE_P(Viewer, Golden, ::testing::ValuesIn(cases_here()),
                         [](const auto &info) { return std::string(info.param.golden); });

// Shaped data, dumped as the plain reference dumper does: several paths in one run, more than
// the output buffer holds, in order with a path that cannot be opened among them.
TEST(Viewer, MatchesTheReference) {
    const Scratch scratch;
    std::string expected;
    std::vector<std::string> paths;
    for (int variant = 1; variant <= 5; ++variant) {
        std::mt19937_64 random(variant * std::uint64_t{7919});
        const std::string data = variant == 3 ? "" : shaped_data(random, 700000);
        paths.push_back(variant == 3 ? "missing.bin" : "shaped" + std::to_string(variant) + ".bin");
        if (variant != 3)
            std::ofstream(scratch.files() + "/" + paths.back(), std::ios::binary) << data;
        expected += reference_header(paths.back()) +
                    (variant == 3 ? reference_open_error(paths.back()) : reference_dump(data));
    }
    const Result all = run_viewer(scratch, paths);
    EXPECT_EQ(all.out, expected);
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.err, "");
}

} // namespace
