#pragma once

// Reads an open file in large chunks and hands its bytes over in whole units (the last may be
// short). It knows nothing of the output: whoever drives it asks input_wants_more before each
// read, which may keep the program waiting on a source that can wait.

#include "../system/system.h"

#include <cstddef>
#include <cstdint>

struct InputFile {
    SystemHandle handle = 0;
    SourceKind kind;
    std::size_t unit = 1;         // bytes go over in whole units of this many, but for the last
    std::uint64_t position = 0;   // of the next byte to read from the system
    std::size_t start = 0;        // the bytes handed over so far from the buffer
    std::size_t end = 0;          // the bytes in the buffer
    bool skip_holes = false;      // holes may be skipped: the file may have them, and asking works
    bool ended = false;           // the source delivered nothing, or failed
    SystemError error = no_error; // the error that ended it
};

// True when opening `path` may wait, as a FIFO's open waits for a writer.
bool input_open_may_wait(const char *path);
// Opens `path` as system_open does: the output itself is refused.
SystemError open_input(const char *path, std::size_t unit, InputFile *file);
void close_input(InputFile *file);

// True when less than a unit is ready and the source may give more: input_read_more is next.
inline bool input_wants_more(const InputFile &file) {
    return file.end - file.start < file.unit && !file.ended;
}

// One read into the buffer, after the bytes not yet handed over.
void input_read_more(InputFile *file);

// The bytes ready to be handed over, at `*data`: whole units, or the last bytes of the source.
std::size_t input_ready(const InputFile &file, const unsigned char **data);

// Hands over `count` bytes of those that input_ready gave.
inline void input_consume(InputFile *file, std::size_t count) {
    file->start += count;
}

// When the file goes on with a hole (bytes the system keeps as zeros without storing them),
// moves past it without reading it and returns how many bytes it passed: whole units, up to
// the unit that holds the next data. Returns 0 when nothing was skipped.
std::uint64_t input_skip_hole(InputFile *file);
