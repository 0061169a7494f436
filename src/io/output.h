#pragma once

// The program's own output buffer. Everything the viewer prints goes through it, in order, and
// reaches standard output in large writes. A write that fails ends the program at once: with
// one line on standard error, or silently when the reader went away. Lines end in "\n"; where
// the platform's lines end otherwise, the system's writer makes them so.

#include <cstddef>
#include <cstring>

// Into a pipe, the output goes in writes of this size; into a file, of 16 times that. The
// fuzzer builds with a smaller size, so that its texts meet the buffer's end often.
#ifndef MORVALEN_PIPE_WRITE_SIZE
#define MORVALEN_PIPE_WRITE_SIZE 65536
#endif
constexpr std::size_t output_pipe_write_size = MORVALEN_PIPE_WRITE_SIZE;
constexpr std::size_t output_file_write_size = 16 * output_pipe_write_size;

struct OutputBuffer {
    char *cursor;
    char *limit;
};
extern OutputBuffer output;

// Starts the system for the run (system_start), then sizes the buffer for where standard output
// goes, empty; called once, before anything is written.
void prepare_output();

// Writes out everything buffered.
void output_flush();

// Flushes when something has waited in the buffer for long enough that a person would notice.
void output_flush_if_stale();

// Ends the program as a failing write would, when standard output is a pipe whose reader has
// gone, or a socket or terminal that has hung up: a run of repeats writes nothing that would
// tell.
void output_stop_if_reader_gone();

// Room for at least `count` bytes, flushing first if need be. The caller writes there and
// hands the new end to output_commit.
inline char *output_room(std::size_t count) {
    if (static_cast<std::size_t>(output.limit - output.cursor) < count)
        output_flush();
    return output.cursor;
}
inline void output_commit(char *end) {
    output.cursor = end;
}

// How many lines of at most `longest` bytes fit before the buffer must be written, the last of
// them needing `last_room`: at least one, as output_room makes room for that.
inline std::size_t output_lines_that_fit(std::size_t longest, std::size_t last_room) {
    const auto room = static_cast<std::size_t>(output.limit - output.cursor);
    return room < last_room ? 1 : (room - last_room) / longest + 1;
}

void output_text(const char *text, std::size_t length);
inline void output_text(const char *text) {
    output_text(text, std::strlen(text));
}
inline void output_end_line() {
    output_text("\n", 1);
}
inline void output_line(const char *text, std::size_t length) {
    output_text(text, length);
    output_end_line();
}

// Writes `name`, a path from outside, as a person is shown names (shown_name.h) where standard
// output is a terminal, and byte for byte anywhere else.
void output_name(const char *name);

// The one way the program speaks on standard error: "morvalen: SUBJECT: REASON", after the
// output before it. The subject, a path or the program's own words, is shown as a person is
// shown names, whatever standard error is: a log of it is read on a terminal later.
void report(const char *subject, const char *reason);
