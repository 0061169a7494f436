#pragma once

#include "layout.h"

#include <cstddef>
#include <cstdint>

// Writes the line of one block at `out` and return the line's end: the offset, a cell for each
// of the first `count` bytes of `buf`, those bytes again as characters, and the line end. `buf`
// must have 16 readable bytes, whatever `count` is; `out` must have line_room bytes.
//
// format_line_by_table goes byte by byte from ready tables, everywhere. The vector ways are
// built only for their processor family: SSSE3 shuffles on x86, NEON on ARM; each is run only
// where the processor has it. All give the same bytes.
using LineFormat = char *(*)(char *out, std::uint64_t offset, const unsigned char *buf,
                             std::size_t count);
char *format_line_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count);
char *format_line_by_ssse3(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count);
char *format_line_by_neon(char *out, std::uint64_t offset, const unsigned char *buf,
                          std::size_t count);

// The fastest way this build holds and this processor runs, chosen once.
LineFormat fastest_line_format();

// Puts up to `most` of the ways this build holds and this processor runs at `ways`, the tables
// first, and returns how many it put.
std::size_t usable_line_formats(LineFormat *ways, std::size_t most);
