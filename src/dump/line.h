#pragma once

#include "layout.h"

#include <cstddef>
#include <cstdint>

// Writes the line of one block at `out` and return the line's end: the offset, a cell for each
// of the first `count` bytes of `buf`, those bytes again as characters, and the line end. `buf`
// must have 16 readable bytes, whatever `count` is; `out` must have line_room bytes.
//
// format_line_by_table goes byte by byte from ready tables; fastest_line_format gives the
// fastest way this processor has, chosen once. All give the same bytes.
using LineFormat = char *(*)(char *out, std::uint64_t offset, const unsigned char *buf,
                             std::size_t count);
char *format_line_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count);
LineFormat fastest_line_format();
