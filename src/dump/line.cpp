#include "line.h"

#include "../io/output.h"

#include <array>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
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

// The offset in lower-case hexadecimal, at least four digits and never cut, then four spaces.
// Digits go in pairs from the ready cells, from the right.
char *put_offset(char *out, std::uint64_t offset) {
    int digits = 4;
    while (digits < 16 && (offset >> (4 * digits)) != 0)
        ++digits;
    char *const end = out + digits;
    char *at = end;
    for (int left = digits; left >= 2; left -= 2) {
        at -= 2;
        std::memcpy(at, cells.hex[offset & 0xff].data(), 2);
        offset >>= 8;
    }
    if (at != out)
        *out = hex_digits[offset & 15];
    std::memcpy(end, "    ", 4);
    return end + 4;
}

// Two spaces for a missing byte in each column, not three and one: a short line keeps the
// width of a full one.
std::size_t pad_length(std::size_t l) {
    return 2 * (block_size - l);
}

char *put_line_end(char *out) {
    std::memcpy(out, line_end, line_end_length);
    return out + line_end_length;
}

#ifdef MORVALEN_SSSE3_LINES
// Byte k of the 48-byte hexadecimal column is digit k % 3 of cell k / 3, or its space. The
// digits of cells 0-7 sit in one register and those of cells 8-15 in another; for each
// 16-byte part of the column, a shuffle from each register (-128 picks a zero) and a space
// pattern ORed in.
struct HexLayout {
    std::array<std::array<signed char, 16>, 3> from_first{};
    std::array<std::array<signed char, 16>, 3> from_second{};
    std::array<char, 16> spaces[3]{};
};

constexpr HexLayout make_hex_layout() {
    HexLayout layout;
    for (int k = 0; k < 48; ++k) {
        const int part = k / 16, at = k % 16, cell = k / 3, digit = k % 3;
        const int source = 2 * cell + digit; // in the 32 digits of both registers
        const bool space = digit == 2;
        layout.from_first[part][at] =
            !space && source < 16 ? static_cast<signed char>(source) : -128;
        layout.from_second[part][at] =
            !space && source >= 16 ? static_cast<signed char>(source - 16) : -128;
        layout.spaces[part][at] = space ? ' ' : '\0';
    }
    return layout;
}

constexpr HexLayout hex_layout = make_hex_layout();

__attribute__((target("ssse3"))) __m128i load(const void *from) {
    return _mm_loadu_si128(static_cast<const __m128i *>(from));
}

__attribute__((target("ssse3"))) void store(char *to, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to), value);
}

__attribute__((target("ssse3"))) char *put_line_ssse3(char *out, const unsigned char *buf,
                                                      std::size_t l) {
    const __m128i bytes = load(buf);
    const __m128i nibble = _mm_set1_epi8(0x0f);
    const __m128i digits = load(hex_digits);
    const __m128i high = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
    const __m128i low = _mm_shuffle_epi8(digits, _mm_and_si128(bytes, nibble));
    const __m128i first = _mm_unpacklo_epi8(high, low);
    const __m128i second = _mm_unpackhi_epi8(high, low);
    for (int part = 0; part < 3; ++part) {
        const __m128i column = _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(first, load(hex_layout.from_first[part].data())),
                         _mm_shuffle_epi8(second, load(hex_layout.from_second[part].data()))),
            load(hex_layout.spaces[part].data()));
        store(out + 16 * part, column);
    }
    const __m128i blank = _mm_set1_epi8(' ');
    out += 3 * l;
    store(out, blank);
    store(out + 16, blank);
    out += pad_length(l) + 1;

    // Printable is 0x20 to 0x7e; as signed bytes, 0x80 to 0xff fall below 0x20.
    const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1f)),
                                            _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7f)));
    store(out, _mm_or_si128(_mm_and_si128(printable, bytes),
                            _mm_andnot_si128(printable, _mm_set1_epi8('.'))));
    out += l;
    store(out, blank);
    store(out + 16, blank);
    return out + pad_length(l);
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
                           std::size_t l) {
    out = put_offset(out, offset);
    for (std::size_t i = 0; i < l; ++i, out += 3)
        std::memcpy(out, cells.hex[buf[i]].data(), 4);
    std::memset(out, ' ', pad_length(l) + 1);
    out += pad_length(l) + 1;
    for (std::size_t i = 0; i < l; ++i)
        *out++ = cells.text[buf[i]];
    std::memset(out, ' ', pad_length(l));
    return put_line_end(out + pad_length(l));
}

char *format_line_by_vector(char *out, std::uint64_t offset, const unsigned char *buf,
                            std::size_t l) {
#ifdef MORVALEN_SSSE3_LINES
    if (ssse3)
        return put_line_end(put_line_ssse3(put_offset(out, offset), buf, l));
#endif
    return format_line_by_table(out, offset, buf, l);
}

bool have_vector_lines() {
#ifdef MORVALEN_SSSE3_LINES
    return ssse3;
#else
    return false;
#endif
}

char *format_line(char *out, std::uint64_t offset, const unsigned char *buf, std::size_t l) {
    return format_line_by_vector(out, offset, buf, l);
}
