#pragma once

// The program's own output buffer. Everything the viewer prints goes through it, in order, and
// reaches standard output in large writes. A write that fails ends the program at once: with
// one line on standard error, or silently when the reader went away.

#include <cstddef>
#include <cstring>

#ifdef _WIN32
constexpr char line_end[] = "\r\n"; // the console's line end, written by the program itself
#else
constexpr char line_end[] = "\n";
#endif
constexpr std::size_t line_end_length = sizeof line_end - 1;

struct OutputBuffer {
    char *cursor;
    char *limit;
};
extern OutputBuffer output;

// Sizes the buffer for where standard output goes; called once, before anything is written.
void prepare_output();

// Writes out everything buffered.
void output_flush();

// Flushes when something has waited in the buffer for a tenth of a second.
void output_flush_if_stale();

// Room for at least `count` bytes (at most output_room_max), flushing first if need be. The
// caller writes there and hands the new end to output_commit.
constexpr std::size_t output_room_max = 4096;
inline char *output_room(std::size_t count) {
    if (static_cast<std::size_t>(output.limit - output.cursor) < count)
        output_flush();
    return output.cursor;
}
inline void output_commit(char *end) {
    output.cursor = end;
}

void output_text(const char *text, std::size_t length);
inline void output_text(const char *text) {
    output_text(text, std::strlen(text));
}
inline void output_end_line() {
    output_text(line_end, line_end_length);
}
inline void output_line(const char *text, std::size_t length) {
    output_text(text, length);
    output_end_line();
}
