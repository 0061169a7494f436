#include "dump.h"

#include "../io/input.h"
#include "../io/output.h"
#include "line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

// The file being dumped; one is open at a time.
InputFile *fp = nullptr;

namespace {

InputFile open_file;

void print_open_error(const char *name) {
    output_text("Error:fopen  ");
    output_text(name);
    output_end_line();
    output_text(" ");
}

void report(const char *name, const char *reason) {
    output_flush(); // the message comes after the lines before it
    std::fprintf(stderr, "morvalen: %s: %s\n", name, reason);
}

void show_line(std::uint64_t offset, const unsigned char *buf, std::size_t l) {
    output_commit(format_line(output_room(line_room), offset, buf, l));
}

void show_repeat_marker() {
    output_line("*", 1);
}

// How many bytes from `data` on are whole blocks equal to the first one. A stretch is made of
// repeats of one block exactly when it equals itself shifted by a block, so long strides go
// by with one comparison each.
std::size_t repeated_run(const unsigned char *data, std::size_t count) {
    constexpr std::size_t stride = 4096;
    const std::size_t whole = count / block_size * block_size;
    std::size_t run = block_size;
    while (run + stride <= whole && std::memcmp(data + run - block_size, data + run, stride) == 0)
        run += stride;
    while (run + block_size <= whole &&
           std::memcmp(data + run - block_size, data + run, block_size) == 0)
        run += block_size;
    return run;
}

// One block against another, in two 8-byte words: cheaper than a call for every block.
bool same_block(const unsigned char *a, const unsigned char *b) {
    std::uint64_t a_words[2], b_words[2];
    std::memcpy(a_words, a, block_size);
    std::memcpy(b_words, b, block_size);
    return ((a_words[0] ^ b_words[0]) | (a_words[1] ^ b_words[1])) == 0;
}

bool is_zero_block(const unsigned char *block) {
    static const unsigned char zeros[block_size] = {};
    return std::memcmp(block, zeros, block_size) == 0;
}

} // namespace

bool process(const char *name) {
    int ok = 0; // 1 once the "*" of the current run of repeats is out
    fp = &open_file;
    const OpenOutcome opened = open_input(name, fp);
    if (opened != OpenOutcome::opened) {
        fp = nullptr;
        if (opened == OpenOutcome::is_output_file)
            report(name, "input file is output file");
        else
            print_open_error(name);
        return false;
    }

    unsigned char buf1[block_size]; // the last block shown
    std::uint64_t offset = 0;
    int ftime = 0; // 1 once a line of this file is out
    for (;;) {
        // A hole reads as zeros: after a shown zero block, it is one more run of repeats.
        if (ftime != 0 && is_zero_block(buf1)) {
            const std::uint64_t hole = input_skip_hole(fp);
            if (hole > 0 && ok == 0) {
                show_repeat_marker();
                ok = 1;
            }
            offset += hole;
        }
        const unsigned char *buf = nullptr;
        const std::size_t ready = input_ready(fp, &buf);
        if (ready == 0)
            break;
        const unsigned char *const end = buf + ready;
        while (buf < end) {
            const std::size_t left = static_cast<std::size_t>(end - buf);
            const std::size_t l = left < block_size ? left : block_size;
            // Only a full block can repeat: a short last block is always shown, so no byte of
            // the file goes missing from the dump.
            if (ftime != 0 && l == block_size && same_block(buf, buf1)) {
                if (ok == 0) {
                    show_repeat_marker();
                    ok = 1;
                }
                const std::size_t run = repeated_run(buf, left);
                offset += run;
                buf += run;
            } else {
                show_line(offset, buf, l);
                offset += block_size;
                ftime = 1;
                std::memcpy(buf1, buf, block_size);
                ok = 0;
                buf += l;
            }
        }
        input_consume(fp, ready);
    }

    const int error = fp->error;
    close_input(fp);
    fp = nullptr;
    if (error != 0) {
        report(name, error_text(error));
        return false;
    }
    return true;
}
