// Runs the built viewer on files written here and compares its whole output with the golden
// files. MORVALEN_BIN names the program; MORVALEN_RUNNER, when set, is a program that runs it
// (wine for the Windows build), and then lines must end in CR LF. MORVALEN_UPDATE_GOLDEN=1
// writes the golden files from the output instead: read them well before committing them.

#include "reference.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    std::string out;
    std::string err;
    int status = -1;
};

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const char *env_or(const char *name, const char *fallback) {
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// A fresh folder for one run: the input files go in files/, the captured output beside it.
struct Scratch {
    std::string root;
    Scratch() {
        char name[] = "/tmp/morvalen-e2e-XXXXXX";
        root = mkdtemp(name);
        mkdir(files().c_str(), 0755);
    }
    ~Scratch() { std::system(("rm -rf '" + root + "'").c_str()); }
    std::string files() const { return root + "/files"; }
};

// Runs the viewer in the scratch folder's files/ with `args`; its standard output goes to
// `out_path`.
Result run_viewer(const Scratch &scratch, const std::vector<std::string> &args,
                  const std::string &out_path) {
    std::vector<std::string> argv;
    if (const char *runner = env_or("MORVALEN_RUNNER", nullptr))
        argv.emplace_back(runner);
    argv.emplace_back(env_or("MORVALEN_BIN", "morvalen"));
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> raw;
    raw.reserve(argv.size() + 1);
    for (auto &arg : argv)
        raw.push_back(arg.data());
    raw.push_back(nullptr);

    const std::string err_path = scratch.root + "/stderr.txt";
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(scratch.files().c_str()) != 0 || out < 0 || err < 0)
            _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        alarm(60); // a viewer that hangs fails the case instead of the whole run
        execvp(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Result result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = out_path == "/dev/full" ? "" : read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

// Under Windows every line ends in CR LF; check that, then compare as on Linux.
std::string plain_line_ends(const std::string &text) {
    if (std::getenv("MORVALEN_RUNNER") == nullptr)
        return text;
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
            plain += text[i];
    }
    return plain;
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
    bool native_only = false; // needs Linux paths, devices or holes that Windows reads
    const char *err = "";     // the whole of standard error
};

const std::string A = fill(16, 'A'), B = fill(16, 'B');

const std::vector<Case> cases = {
    {"no_arguments", {}, {}, 0},
    {"empty_file", {{"empty.bin", ""}}, {"empty.bin"}, 0},
    {"short_lines", {{"short.bin", bytes(0, 14)}, {"one.bin", "~"}}, {"short.bin", "one.bin"}, 0},
    {"all_bytes", {{"all.bin", bytes(0, 255)}}, {"all.bin"}, 0},
    {"missing_between_two",
     {{"a.txt", "Hello, world!\r\n"}, {"b.bin", bytes(0x30, 0x4f)}},
     {"a.txt", "missing.bin", "b.bin"},
     1},
    {"directory", {{"dir/", ""}, {"a.txt", "x"}}, {"dir", "a.txt"}, 1},
    {"odd_paths",
     {{"my file %s%d.bin", "100%"}},
     {"my file %s%d.bin", "--help", "my file %s%d.bin"},
     1},
    {"repeat_runs", {{"runs.bin", A + A + A + B + B + A + B + fill(64, 0)}}, {"runs.bin"}, 0},
    {"short_tail_kept",
     {{"same.bin", bytes(0x41, 0x50) + "ABC"}, {"other.bin", bytes(0x41, 0x50) + "XYZ"}},
     {"same.bin", "other.bin"},
     0},
    {"offset_past_ffff",
     {{"big.bin", fill(0xfff0, 0) + bytes(0x30, 0x4f) + fill(15, 0)}},
     {"big.bin"},
     0},
    {"past_4_gib", {{"huge.img", "4 GiB mark here!tail", 0x100000000}}, {"huge.img"}, 0},
    // Offsets that no 32-bit type holds, on every build.
    {"past_2_gib", {{"3gib.img", "just past 2 GiB!", 0x80000010, 0xc0000000}}, {"3gib.img"}, 0},
    {"last_block_of_5_gib", {{"5gib.img", "the last block!!", 0x13ffffff0}}, {"5gib.img"}, 0},
    // Runs across the edge of the read buffer, ending one block before the end, and followed
    // by a short last block.
    {"runs_at_the_edges",
     {{"edge.bin", bytes(0, 15) + fill(300000, 0) + B + fill(48, 0)},
      {"one_before.bin", fill(1600, 'A') + B},
      {"short_after.bin", fill(1600, 'A') + "AAA"}},
     {"edge.bin", "one_before.bin", "short_after.bin"},
     0},
    // A hole that no one could read through in time: only skipping it finishes the dump.
    {"vast_hole", {{"vast.img", "then 8 TiB hole!", 0, 0x80000000000}}, {"vast.img"}, 0, true},
    {"read_error",
     {},
     {"/proc/self/mem"},
     1,
     true,
     "morvalen: /proc/self/mem: Input/output error\n"},
};

class Golden : public ::testing::TestWithParam<Case> {};

TEST_P(Golden, OutputMatches) {
    const Case &c = GetParam();
    if (c.native_only && std::getenv("MORVALEN_RUNNER") != nullptr)
        GTEST_SKIP() << "needs Linux paths";
    const Scratch scratch;
    for (const auto &file : c.files) {
        const std::string path = scratch.files() + "/" + file.name;
        if (file.name.back() == '/') {
            mkdir(path.c_str(), 0755);
            continue;
        }
        std::ofstream(path, std::ios::binary).seekp(static_cast<std::streamoff>(file.hole))
            << file.contents;
        if (file.size > 0) {
            ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(file.size)), 0);
        }
    }
    const Result result = run_viewer(scratch, c.args, scratch.root + "/stdout.txt");
    const std::string golden = std::string(MORVALEN_GOLDEN_DIR) + "/" + c.golden + ".txt";
    if (std::getenv("MORVALEN_UPDATE_GOLDEN") != nullptr) // to write a new case's file
        std::ofstream(golden, std::ios::binary) << result.out;
    EXPECT_EQ(plain_line_ends(result.out), read_file(golden));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(plain_line_ends(result.err), c.err);
}

INSTANTIATE_TEST_SUITE_P(Viewer, Golden, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.golden); });

TEST(Viewer, UnwritableOutputFailsWithMessage) {
    if (std::getenv("MORVALEN_RUNNER") != nullptr)
        GTEST_SKIP() << "needs /dev/full";
    const Result result = run_viewer(Scratch(), {"/proc/self/exe"}, "/dev/full");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "morvalen: cannot write the output: No space left on device\n");
}

std::string title_and_header(const std::string &path) {
    const std::string rule(78, '=');
    return rule +
           "\nMorvalen v1.0 (25/01/2003)                             hexadecimal file viewer\n" +
           rule + "\n\nEl archivo visualizado es: " + path + "\n\n";
}

// Shaped data, dumped as the plain reference dumper does: several paths in one run, more than
// the output buffer holds, in order with a path that cannot be opened among them.
TEST(Viewer, MatchesTheReference) {
    const Scratch scratch;
    std::string expected;
    std::vector<std::string> paths;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        std::mt19937_64 random(seed * 7919);
        const std::string data = shaped_data(random, 700000);
        const std::string path = "shaped" + std::to_string(seed) + ".bin";
        std::ofstream(scratch.files() + "/" + path, std::ios::binary) << data;
        paths.push_back(path);
        expected += title_and_header(path) + reference_dump(data);
        if (seed == 2) {
            paths.emplace_back("missing.bin");
            expected += title_and_header("missing.bin") + "Error:fopen  missing.bin\n ";
        }
    }
    const Result all = run_viewer(scratch, paths, scratch.root + "/all.txt");
    EXPECT_EQ(plain_line_ends(all.out), expected);
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.err, "");
}

} // namespace
