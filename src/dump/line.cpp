#include "line.h"

#include "../console/stream_io.h"

#include <array>

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

// A ready cell for every byte value, so that a line costs table look-ups and stream puts,
// never a format parse.
struct Cells {
    std::array<std::array<char, 4>, 256> hex{}; // two digits and a space, padded to 4
    std::array<char, 256> text{};
};

constexpr Cells make_cells() {
    Cells cells;
    for (int byte = 0; byte < 256; ++byte) {
        cells.hex[byte] = {hex_digits[byte >> 4], hex_digits[byte & 15], ' ', ' '};
        // The printable bytes of the C locale: space to tilde.
        cells.text[byte] = byte >= 0x20 && byte <= 0x7e ? static_cast<char>(byte) : '.';
    }
    return cells;
}

constexpr Cells cells = make_cells();

void put_spaces(std::FILE *out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        put_char(' ', out);
}

// The offset in lower-case hexadecimal, at least four digits and never cut, then four spaces.
// Digits go out in pairs from the ready cells, after a lone leading digit when their count is odd.
void put_offset(std::FILE *out, std::uint64_t offset) {
    int digits = 4;
    while (digits < 16 && (offset >> (4 * digits)) != 0)
        ++digits;
    if (digits % 2 != 0) {
        --digits;
        put_char(hex_digits[(offset >> (4 * digits)) & 15], out);
    }
    for (int shift = 4 * digits - 8; shift >= 0; shift -= 8)
        put_cell(cells.hex[(offset >> shift) & 0xff].data(), 2, out);
    put_cell("    ", 4, out);
}

} // namespace

char shown_char(unsigned char byte) {
    return cells.text[byte];
}

void write_line(std::FILE *out, std::uint64_t offset, const unsigned char *buf, std::size_t l) {
    put_offset(out, offset);
    for (std::size_t i = 0; i < l; ++i)
        put_cell(cells.hex[buf[i]].data(), 3, out);
    // Two spaces for a missing byte in each column, not three and one: a short line keeps the
    // width of a full one.
    put_spaces(out, 2 * (block_size - l));
    put_char(' ', out);
    for (std::size_t i = 0; i < l; ++i)
        put_char(cells.text[buf[i]], out);
    put_spaces(out, 2 * (block_size - l));
    put_char('\n', out);
}
