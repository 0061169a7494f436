#include "line.h"

#include "../console/stream_io.h"

#include <array>

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

// A ready cell for every byte value, so that a line costs table look-ups and stream puts,
// never a format parse.
struct Cells {
    std::array<std::array<char, 3>, 256> hex{};
    std::array<char, 256> text{};
};

constexpr Cells make_cells() {
    Cells cells;
    for (int byte = 0; byte < 256; ++byte) {
        cells.hex[byte] = {hex_digits[byte >> 4], hex_digits[byte & 15], ' '};
        // The printable bytes of the C locale: space to tilde.
        cells.text[byte] = byte >= 0x20 && byte <= 0x7e ? static_cast<char>(byte) : '.';
    }
    return cells;
}

constexpr Cells cells = make_cells();

// The offset in lower-case hexadecimal, at least four digits and never cut, then four spaces.
void put_offset(std::FILE *out, std::uint64_t offset) {
    char digits[16];
    int count = 0;
    do {
        digits[count++] = hex_digits[offset & 15];
        offset >>= 4;
    } while (offset != 0);
    while (count < 4)
        digits[count++] = '0';
    while (count > 0)
        put_char(digits[--count], out);
    put_text("    ", 4, out);
}

void put_pad(std::FILE *out, std::size_t missing) {
    for (std::size_t i = 0; i < missing; ++i) {
        put_char(' ', out);
        put_char(' ', out);
    }
}

} // namespace

char shown_char(unsigned char byte) {
    return cells.text[byte];
}

void write_line(std::FILE *out, std::uint64_t offset, const unsigned char *buf, std::size_t l) {
    put_offset(out, offset);
    for (std::size_t i = 0; i < l; ++i) {
        const auto &cell = cells.hex[buf[i]];
        put_char(cell[0], out);
        put_char(cell[1], out);
        put_char(cell[2], out);
    }
    // Two spaces for a missing byte in each column, not three and one: a short line keeps the
    // width of a full one.
    put_pad(out, block_size - l);
    put_char(' ', out);
    for (std::size_t i = 0; i < l; ++i)
        put_char(cells.text[buf[i]], out);
    put_pad(out, block_size - l);
    put_char('\n', out);
}
