#include "dump.h"

#include "../io/input.h"
#include "../io/output.h"
#include "line.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Where the dump of one file stands.
struct DumpState {
    LineFormat format = fastest_line_format(); // asked once a file, not once a line
    unsigned char last_shown[block_size] = {}; // the block of the last line shown
    std::uint64_t offset = 0;                  // of the next block
    bool marker_out = false;                   // the "*" of the current run of repeats is out
};

// Every block counted was shown or collapsed after one shown: a line is out once any is counted.
bool shown_any(const DumpState &state) {
    return state.offset != 0;
}

// The lines of `count` bytes go out in one call: each but the first unlike the one before it.
void show_lines(DumpState *state, const unsigned char *data, std::size_t count) {
    output_commit(state->format(output_room(lines_room(count)), state->offset, data, count));
    const std::size_t last = (count - 1) / block_size * block_size;
    std::memcpy(state->last_shown, data + last, block_size);
    state->offset += last + block_size;
    state->marker_out = false;
}

// One "*" line stands for a whole run of repeats.
void show_repeats(DumpState *state, std::uint64_t bytes) {
    if (!state->marker_out) {
        output_line("*", 1);
        state->marker_out = true;
    }
    state->offset += bytes;
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

// One block against another, in the machine's words: memcmp is a call on some processors.
bool same_block(const unsigned char *a, const unsigned char *b) {
    constexpr std::size_t words = block_size / sizeof(std::uintptr_t);
    std::uintptr_t one[words], other[words], differ = 0;
    std::memcpy(one, a, block_size);
    std::memcpy(other, b, block_size);
    for (std::size_t i = 0; i < words; ++i)
        differ |= one[i] ^ other[i];
    return differ == 0;
}

bool is_zero_block(const unsigned char *block) {
    static const unsigned char zeros[block_size] = {};
    return std::memcmp(block, zeros, block_size) == 0;
}

// A hole reads as zeros: after a shown zero block, it is one more run of repeats.
void skip_hole(DumpState *state, InputFile *file) {
    if (!shown_any(*state) || !is_zero_block(state->last_shown))
        return;
    const std::uint64_t hole = input_skip_hole(file);
    if (hole > 0)
        show_repeats(state, hole);
}

// Lines a call of the line format makes at most: enough that its cost is spread thin, few enough
// that the output seldom has to make room for them.
constexpr std::size_t stretch_most = 64 * block_size;

// How many of the `left` bytes at `data` go out as lines at once: the first block, which is
// shown, and those after it that differ from the block before each; a short last block too.
std::size_t unlike_stretch(const unsigned char *data, std::size_t left) {
    if (left <= block_size)
        return left;
    // No more than the output has room for, so that it fills before it is written.
    const std::size_t fit = output_lines_that_fit(longest_line, line_room);
    const std::size_t most = std::min({left, stretch_most, fit * block_size});
    std::size_t length = block_size;
    while (length + block_size <= most && !same_block(data + length, data + length - block_size))
        length += block_size;
    return left - length < block_size ? left : length;
}

// Shows or collapses each block of `count` bytes at `data`.
void dump_blocks(DumpState *state, const unsigned char *data, std::size_t count) {
    const unsigned char *const end = data + count;
    while (data < end) {
        const std::size_t left = static_cast<std::size_t>(end - data);
        // Only a full block can repeat: a short last block is always shown, so no byte of the
        // file goes missing from the dump.
        if (shown_any(*state) && left >= block_size && same_block(data, state->last_shown)) {
            const std::size_t run = repeated_run(data, left);
            show_repeats(state, run);
            data += run;
        } else {
            const std::size_t length = unlike_stretch(data, left);
            show_lines(state, data, length);
            data += length;
        }
    }
}

// Lines already formatted go out before a read that may keep us waiting, and otherwise once they
// have waited long enough. A run of repeats writes nothing that would tell that the reader of
// the output has gone, so that is asked before each read.
void before_reading(const InputFile &file) {
    if (file.kind.can_wait)
        output_flush();
    else
        output_flush_if_stale();
    output_stop_if_reader_gone();
}

} // namespace

DumpOutcome dump_file(const char *name) {
    if (input_open_may_wait(name)) // a FIFO's open waits for a writer: show the header first
        output_flush();
    InputFile file;
    DumpOutcome outcome;
    outcome.open_error = open_input(name, block_size, &file);
    if (outcome.open_error != no_error)
        return outcome;
    DumpState state;
    for (;;) {
        skip_hole(&state, &file);
        while (input_wants_more(file)) {
            before_reading(file);
            input_read_more(&file);
        }
        const unsigned char *data = nullptr;
        const std::size_t ready = input_ready(file, &data);
        if (ready == 0)
            break;
        dump_blocks(&state, data, ready);
        input_consume(&file, ready);
    }
    close_input(&file);
    outcome.read_error = file.error;
    outcome.stopped_at = file.position;
    return outcome;
}
