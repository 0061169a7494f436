#pragma once

// The shape of the dump: the block, and the line that shows one.

#include <cstddef>
#include <cstdint>

// Bytes in one block: the unit in which a file is read, compared and shown.
constexpr std::size_t block_size = 16;

// A line: the offset in lower-case hexadecimal, at least four digits and never cut, and a gap;
// a cell of two digits and a space for each byte; the separator; the bytes as characters; the
// line end. A short block keeps the full line's width: two spaces for a missing byte in each
// column, not three and one.
constexpr int offset_least_digits = 4;
constexpr int offset_most_digits = 16; // 64 bits
constexpr std::size_t offset_gap = 4;
constexpr std::size_t cell_width = 3;
constexpr std::size_t hex_column = cell_width * block_size;
constexpr std::size_t separator = 1;
constexpr std::size_t pad_per_missing_byte = 2;

constexpr char hex_digits[] = "0123456789abcdef";

// The largest offset that four digits show.
constexpr std::uint64_t four_digit_offsets = (std::uint64_t{1} << (4 * offset_least_digits)) - 1;

// The two functions below are each file's own (static): one file is compiled for NEON on armhf,
// and its copy must never serve the others on a processor without it.

// Hexadecimal digits the offset takes: one for every four bits up to its highest set bit, and
// at least four.
static inline int offset_digits(std::uint64_t offset) {
    const int bits = 64 - __builtin_clzll(offset | four_digit_offsets);
    return (bits + 3) / 4;
}

static constexpr std::size_t pad_length(std::size_t count) {
    return pad_per_missing_byte * (block_size - count);
}

// Two digits of an offset for every value of a byte: the table way writes the whole offset from
// them, and the vector ways its last two digits, as the lines of one call share the digits
// above those until the bits above change.
struct DigitPairs {
    char pair[256][2];
};
constexpr DigitPairs make_digit_pairs() {
    DigitPairs pairs{};
    for (int byte = 0; byte < 256; ++byte)
        pairs.pair[byte][0] = hex_digits[byte >> 4], pairs.pair[byte][1] = hex_digits[byte & 15];
    return pairs;
}
constexpr DigitPairs digit_pairs = make_digit_pairs();

// The longest line: a 16-digit offset and its gap, 16 cells, the separator, 16 characters and
// the line end.
constexpr std::size_t longest_line =
    offset_most_digits + offset_gap + hex_column + separator + block_size + 1;

// The room a line needs at `out`: the longest line and the spill of the fixed-width stores that
// write it (up to two 16-byte stores of blanks begun just after a short line's characters). Each
// way of making a line checks its own furthest store against it.
constexpr std::size_t line_room = longest_line + 2 * block_size;

// The furthest that two 16-byte stores of blanks reach, begun at the end of a short line's
// characters behind the longest offset, as the vector ways pad a short line.
constexpr std::size_t furthest_blank_stores() {
    std::size_t furthest = 0;
    for (std::size_t count = 1; count < block_size; ++count) {
        const std::size_t characters_end = offset_most_digits + offset_gap + cell_width * count +
                                           pad_length(count) + separator + count;
        if (characters_end + 2 * block_size > furthest)
            furthest = characters_end + 2 * block_size;
    }
    return furthest;
}

// The room that the lines of `count` bytes (at least one) need: the longest line for each but
// the last, which alone may be short and spill, and line_room for that.
constexpr std::size_t lines_room(std::size_t count) {
    return (count - 1) / block_size * longest_line + line_room;
}
