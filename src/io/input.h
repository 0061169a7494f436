#pragma once

// Reads an open file in large chunks and hands its bytes over block by block. Before it waits
// on a source that can make it wait (a pipe, a terminal, a device), it writes out the output
// buffer, so that each line shows as soon as its block has come in.

#include "system.h"

#include <cstddef>
#include <cstdint>

// Bytes in one block: the unit in which a file is read, compared and shown.
constexpr std::size_t block_size = 16;

struct InputFile {
    SystemHandle handle = 0;
    SourceKind kind;
    std::uint64_t position = 0; // of the next byte to read from the system
    std::size_t start = 0;      // the bytes handed over so far from the buffer
    std::size_t end = 0;        // the bytes in the buffer
    bool ended = false;         // the source delivered nothing, or failed
    int error = 0;              // the error that ended it, or 0
};

OpenOutcome open_input(const char *path, InputFile *file);
void close_input(InputFile *file);

// The bytes ready to be handed over, at `*data`: at least one full block, or fewer than 16
// bytes when they are the last of the source, or none at its end (or after an error).
std::size_t input_ready(InputFile *file, const unsigned char **data);

// Hands over `count` bytes of those that input_ready gave.
inline void input_consume(InputFile *file, std::size_t count) {
    file->start += count;
}

// When the file goes on with a hole (bytes the system keeps as zeros without storing them),
// moves past it without reading it and returns how many bytes it passed: whole blocks, up to
// the block that holds the next data. Returns 0 when nothing was skipped.
std::uint64_t input_skip_hole(InputFile *file);
