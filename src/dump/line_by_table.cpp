#include "line.h"

#include <array>
#include <cstring>

namespace {

// A ready cell for every byte value, so that a line costs table look-ups, never a format parse.
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

// The offset and its gap. Digits go in pairs from the ready cells, from the right.
char *put_offset(char *out, std::uint64_t offset) {
    const int digits = offset_digits(offset);
    char *const end = out + digits;
    char *at = end;
    for (int left = digits; left >= 2; left -= 2) {
        at -= 2;
        std::memcpy(at, digit_pairs.pair[offset & 0xff], 2);
        offset >>= 8;
    }
    if (at != out)
        *out = hex_digits[offset & 15];
    std::memset(end, ' ', offset_gap);
    return end + offset_gap;
}

// The furthest store: a 4-byte cell copy for the last byte, behind a 16-digit offset.
static_assert(offset_most_digits + offset_gap + cell_width * (block_size - 1) + 4 <= line_room,
              "line_room must hold every store of a table line");

char *put_line(char *out, std::uint64_t offset, const unsigned char *buf, std::size_t count) {
    out = put_offset(out, offset);
    for (std::size_t i = 0; i < count; ++i, out += cell_width)
        std::memcpy(out, cells.hex[buf[i]].data(), 4);
    std::memset(out, ' ', pad_length(count) + separator);
    out += pad_length(count) + separator;
    for (std::size_t i = 0; i < count; ++i)
        *out++ = cells.text[buf[i]];
    std::memset(out, ' ', pad_length(count));
    out += pad_length(count);
    *out = '\n';
    return out + 1;
}

} // namespace

char *format_lines_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t count) {
    for (; count > block_size; count -= block_size, buf += block_size, offset += block_size)
        out = put_line(out, offset, buf, block_size);
    return put_line(out, offset, buf, count);
}
