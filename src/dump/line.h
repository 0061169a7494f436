#pragma once

#include <cstddef>
#include <cstdint>

// Bytes in one block: the unit in which a file is read, compared and shown.
constexpr std::size_t block_size = 16;

// The room a line needs at `out`: its longest form (a 16-digit offset) and the spill of the
// fixed-width stores that write it.
constexpr std::size_t line_room = 160;

// Writes the line of one block at `out` and returns its end: the offset, a cell of two
// hexadecimal digits for each of the first `l` bytes of `buf`, those bytes again as
// characters, and the line end. A short block keeps the full line's width. `buf` must have 16
// readable bytes, whatever `l` is.
char *format_line(char *out, std::uint64_t offset, const unsigned char *buf, std::size_t l);

// The two ways of writing a line, which give the same bytes: byte by byte from ready tables,
// and 16 bytes at a time with vector instructions where the processor has them (where it has
// not, the vector form is the table form).
char *format_line_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t l);
char *format_line_by_vector(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t l);
bool have_vector_lines();

// How a byte is shown in the character column: itself when printable, "." otherwise.
char shown_char(unsigned char byte);
