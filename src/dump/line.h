#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Bytes in one block: the unit in which a file is read, compared and shown.
constexpr std::size_t block_size = 16;

// Writes the line of one block to `out`: the offset, a cell of two hexadecimal digits for each
// of the first `l` bytes of `buf`, and those bytes again as characters. A short block keeps
// the full line's width.
void write_line(std::FILE *out, std::uint64_t offset, const unsigned char *buf, std::size_t l);

// How a byte is shown in the character column: itself when printable, "." otherwise.
char shown_char(unsigned char byte);
