#include "line.h"

#include <array>
#include <cstring>

// The vector lines are for x86-64, where the stack keeps the 16-byte alignment they rely on;
// 32-bit x86 and other processors use the tables, as does a build for testing them there.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(MORVALEN_TABLE_LINES)
#define MORVALEN_SSSE3_LINES 1
#include <tmmintrin.h>
#endif

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

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

// Hexadecimal digits the offset takes: one for every four bits up to its highest set bit, and
// at least four.
int offset_digits(std::uint64_t offset) {
    const int bits = 64 - __builtin_clzll(offset | 0xffff);
    return (bits + 3) / 4;
}

// The offset in lower-case hexadecimal, at least four digits and never cut, then four spaces.
// Digits go in pairs from the ready cells, from the right.
char *put_offset(char *out, std::uint64_t offset) {
    const int digits = offset_digits(offset);
    char *const end = out + digits;
    char *at = end;
    for (int left = digits; left >= 2; left -= 2) {
        at -= 2;
        std::memcpy(at, cells.hex[offset & 0xff].data(), 2);
        offset >>= 8;
    }
    if (at != out)
        *out = hex_digits[offset & 15];
    std::memset(end, ' ', 4);
    return end + 4;
}

// Two spaces for a missing byte in each column, not three and one: a short line keeps the
// width of a full one.
constexpr std::size_t pad_length(std::size_t count) {
    return 2 * (block_size - count);
}

// The furthest any line's stores reach: the longest line, or a short line's two 16-byte blank
// stores, begun just after its characters behind a 16-digit offset.
constexpr std::size_t furthest_store() {
    std::size_t furthest = longest_line;
    for (std::size_t count = 1; count < block_size; ++count) {
        const std::size_t characters_end = 16 + 4 + 3 * count + pad_length(count) + 1 + count;
        if (characters_end + 2 * block_size > furthest)
            furthest = characters_end + 2 * block_size;
    }
    return furthest;
}
static_assert(line_room >= furthest_store(), "line_room must hold every store of a line");

char *put_line_end(char *out) {
    *out = '\n';
    return out + 1;
}

#ifdef MORVALEN_SSSE3_LINES
// Byte k of the 48-byte hexadecimal column is digit k % 3 of cell k / 3, or its space. The
// digits of cells 0-7 sit in one register and those of cells 8-15 in another. Each 16-byte
// part of the column is a shuffle of those (-128 picks a zero) with its spaces ORed in; only
// the middle part draws on both registers.
struct alignas(16) Mask {
    signed char at[16];
};

struct HexLayout {
    Mask from_first[3];
    Mask from_second[3];
    Mask spaces[3];
    Mask offset_shift[17]; // for n digits: the last n of 16 digits moved to the front
};

// A shuffle index: the byte at `index`, or a zero.
constexpr signed char pick(bool wanted, int index) {
    return static_cast<signed char>(wanted ? index : -128);
}

constexpr HexLayout make_hex_layout() {
    HexLayout layout{};
    for (int k = 0; k < 48; ++k) {
        const int part = k / 16, at = k % 16, cell = k / 3, digit = k % 3;
        const int source = 2 * cell + digit; // in the 32 digits of both registers
        const bool space = digit == 2;
        layout.from_first[part].at[at] = pick(!space && source < 16, source);
        layout.from_second[part].at[at] = pick(!space && source >= 16, source - 16);
        layout.spaces[part].at[at] = space ? ' ' : '\0';
    }
    for (int digits = 0; digits <= 16; ++digits)
        for (int at = 0; at < 16; ++at)
            layout.offset_shift[digits].at[at] = pick(at < digits, at + 16 - digits);
    return layout;
}

constexpr HexLayout hex_layout = make_hex_layout();

__attribute__((target("ssse3"))) __m128i mask(const Mask &m) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(m.at));
}

__attribute__((target("ssse3"))) void store(char *to, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to), value);
}

// The hexadecimal digits of 16 bytes: those of bytes 0-7 in `first`, of 8-15 in `second`.
struct Digits {
    __m128i first, second;
};

__attribute__((target("ssse3"))) Digits hex_of(__m128i bytes) {
    const __m128i nibble = _mm_set1_epi8(0x0f);
    const __m128i digits = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hex_digits));
    const __m128i high = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
    const __m128i low = _mm_shuffle_epi8(digits, _mm_and_si128(bytes, nibble));
    return {_mm_unpacklo_epi8(high, low), _mm_unpackhi_epi8(high, low)};
}

// The offset's 16 digits, of which the last `digits` are moved to the front; the rest of the
// 16 bytes stored is written over by the line that follows.
__attribute__((target("ssse3"))) char *put_offset_ssse3(char *out, std::uint64_t offset) {
    const int digits = offset_digits(offset);
    const std::uint64_t big_endian = __builtin_bswap64(offset);
    const Digits all = hex_of(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(&big_endian)));
    store(out, _mm_shuffle_epi8(all.first, mask(hex_layout.offset_shift[digits])));
    std::memset(out + digits, ' ', 4);
    return out + digits + 4;
}

__attribute__((target("ssse3"))) char *put_line_ssse3(char *out, std::uint64_t offset,
                                                      const unsigned char *buf, std::size_t count) {
    out = put_offset_ssse3(out, offset);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(buf));
    const Digits hex = hex_of(bytes);
    store(out, _mm_or_si128(_mm_shuffle_epi8(hex.first, mask(hex_layout.from_first[0])),
                            mask(hex_layout.spaces[0])));
    store(out + 16,
          _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(hex.first, mask(hex_layout.from_first[1])),
                                    _mm_shuffle_epi8(hex.second, mask(hex_layout.from_second[1]))),
                       mask(hex_layout.spaces[1])));
    store(out + 32, _mm_or_si128(_mm_shuffle_epi8(hex.second, mask(hex_layout.from_second[2])),
                                 mask(hex_layout.spaces[2])));
    // Printable is 0x20 to 0x7e; as signed bytes, 0x80 to 0xff fall below 0x20.
    const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1f)),
                                            _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7f)));
    const __m128i text = _mm_or_si128(_mm_and_si128(printable, bytes),
                                      _mm_andnot_si128(printable, _mm_set1_epi8('.')));
    if (count == block_size) { // all but the last line of a file: every place is fixed
        out[48] = ' ';
        store(out + 49, text);
        return put_line_end(out + 65);
    }
    const __m128i blank = _mm_set1_epi8(' ');
    out += 3 * count;
    store(out, blank);
    store(out + 16, blank);
    out += pad_length(count) + 1;
    store(out, text);
    out += count;
    store(out, blank);
    store(out + 16, blank);
    return put_line_end(out + pad_length(count));
}

bool detect_ssse3() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
}

const bool ssse3 = detect_ssse3();
#endif

} // namespace

char shown_char(unsigned char byte) {
    return cells.text[byte];
}

char *format_line_by_table(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count) {
    out = put_offset(out, offset);
    for (std::size_t i = 0; i < count; ++i, out += 3)
        std::memcpy(out, cells.hex[buf[i]].data(), 4);
    std::memset(out, ' ', pad_length(count) + 1);
    out += pad_length(count) + 1;
    for (std::size_t i = 0; i < count; ++i)
        *out++ = cells.text[buf[i]];
    std::memset(out, ' ', pad_length(count));
    return put_line_end(out + pad_length(count));
}

char *format_line_by_vector(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t count) {
#ifdef MORVALEN_SSSE3_LINES
    if (ssse3)
        return put_line_ssse3(out, offset, buf, count);
#endif
    return format_line_by_table(out, offset, buf, count);
}

bool have_vector_lines() {
#ifdef MORVALEN_SSSE3_LINES
    return ssse3;
#else
    return false;
#endif
}
