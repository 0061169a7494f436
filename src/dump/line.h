#pragma once

#include "layout.h"

#include <cstddef>
#include <cstdint>

// Writes at `out` the lines of the `count` bytes at `buf`, the first block's at `offset`, and
// returns their end: a line for each block of 16 bytes and, where `count` is not a multiple of
// 16, a short last one. A line is the offset, a cell for each byte, the bytes again as
// characters, and the line end. The last block begun must have 16 readable bytes, whatever
// `count` is; `out` must have lines_room(count) bytes.
//
// format_lines_by_table goes byte by byte from ready tables, everywhere. The vector ways are
// built only for their processor family: SSSE3 shuffles on x86, NEON on ARM; each is run only
// where the processor has it. All give the same bytes.
using LineFormat = char *(*)(char *out, std::uint64_t offset, const unsigned char *buf,
                             std::size_t count);
char *format_lines_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t count);
char *format_lines_by_ssse3(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t count);
char *format_lines_by_neon(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count);

// The fastest way this build holds and this processor runs. The dump asks once a file: the
// answer is the same each time, and costs less than a line.
LineFormat fastest_line_format();

// Puts up to `most` of the ways this build holds and this processor runs at `ways`, the tables
// first, and returns how many it put.
std::size_t usable_line_formats(LineFormat *ways, std::size_t most);
