#pragma once

#include "../io/input.h"

#include <cstddef>
#include <cstdint>

// The longest line: a 16-digit offset and its four spaces, 16 cells of three, the separator,
// 16 characters and the line end.
constexpr std::size_t longest_line = 16 + 4 + 3 * block_size + 1 + block_size + 1;

// The room a line needs at `out`: the longest line and the spill of the fixed-width stores that
// write it (up to two 16-byte stores of blanks begun just after a short line's characters).
constexpr std::size_t line_room = longest_line + 2 * block_size;

// The two ways of writing the line of one block at `out`, which give the same bytes and return
// the line's end: the offset, a cell of two hexadecimal digits for each of the first `count` bytes
// of `buf`, those bytes again as characters, and the line end; a short block keeps the full
// line's width. One goes byte by byte from ready tables; the other 16 bytes at a time with
// vector instructions where the processor has them (where it has not, it is the table way).
// `buf` must have 16 readable bytes, whatever `count` is.
char *format_line_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count);
char *format_line_by_vector(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t count);
bool have_vector_lines();

// How a byte is shown in the character column: itself when printable, "." otherwise.
char shown_char(unsigned char byte);
