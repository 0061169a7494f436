#include "line.h"

#include <cstring>
#include <tmmintrin.h>

// Lines 16 bytes at a time with SSSE3 shuffles, for the processors that have them. Built for
// x86, 64-bit and 32-bit.
//
// The compiler may keep vectors on the stack with aligned moves, taking the stack to be aligned
// to 16 bytes. A 32-bit Windows caller may align it to 4 only, so the one entry here from
// other code, format_lines_by_ssse3, realigns it: everything it calls then has the alignment
// the compiler takes for granted, whatever it keeps on the stack. The masks are static data,
// which is aligned as declared.

namespace {

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
    // For n digits: the last n of the offset's 16, most significant first, moved to the front.
    // Its bytes sit lowest first, so digit d of the 16 is of byte 7 - d / 2, the high one of
    // the two where d is even.
    Mask offset_shift[offset_most_digits + 1];
};

// A shuffle index: the byte at `index`, or a zero.
constexpr signed char pick(bool wanted, int index) {
    return static_cast<signed char>(wanted ? index : -128);
}

constexpr HexLayout make_hex_layout() {
    HexLayout layout{};
    for (int k = 0; k < static_cast<int>(hex_column); ++k) {
        const int part = k / 16, at = k % 16, cell = k / 3, digit = k % 3;
        const int source = 2 * cell + digit; // in the 32 digits of both registers
        const bool space = digit == 2;
        layout.from_first[part].at[at] = pick(!space && source < 16, source);
        layout.from_second[part].at[at] = pick(!space && source >= 16, source - 16);
        layout.spaces[part].at[at] = space ? ' ' : '\0';
    }
    for (int digits = 0; digits <= offset_most_digits; ++digits)
        for (int at = 0; at < 16; ++at) {
            const int d = at + 16 - digits;
            layout.offset_shift[digits].at[at] = pick(at < digits, 2 * (7 - d / 2) + d % 2);
        }
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

// The offset's eight bytes, lowest first: on 64-bit x86 one move from its register. A 32-bit
// caller hands it over as two 4-byte stores, and one 8-byte load of both would wait for them
// to finish, as they cannot be forwarded to it; so each half is loaded alone.
__attribute__((target("ssse3"))) __m128i bytes_of(std::uint64_t offset) {
    if constexpr (sizeof(void *) == sizeof offset)
        return _mm_set_epi64x(0, static_cast<long long>(offset));
    else
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(offset)),
                                  _mm_cvtsi32_si128(static_cast<int>(offset >> 32)));
}

// The offsets of the lines in one call, which differ from line to line in their last two digits
// (digit_pairs) only until the bits above those change: the digits above are worked out only
// then.
struct OffsetText {
    std::uint64_t above = 0; // the offset's bits above its last two digits, when worked out
    __m128i text{};          // its digits, moved to the front
    int digits = 0;          // how many
};

__attribute__((target("ssse3"))) char *put_offset(char *out, std::uint64_t offset,
                                                  OffsetText *known) {
    if (offset >> 8 != known->above || known->digits == 0) {
        known->above = offset >> 8;
        known->digits = offset_digits(offset);
        known->text = _mm_shuffle_epi8(hex_of(bytes_of(offset)).first,
                                       mask(hex_layout.offset_shift[known->digits]));
    }
    // All 16 bytes go out: what follows the offset is written over.
    store(out, known->text);
    std::memcpy(out + known->digits - 2, digit_pairs.pair[offset & 0xff], 2);
    std::memset(out + known->digits, ' ', offset_gap);
    return out + known->digits + offset_gap;
}

// The blanks of a short line's pad: two stores reach past any pad.
__attribute__((target("ssse3"))) void put_blanks(char *out) {
    const __m128i blank = _mm_set1_epi8(' ');
    store(out, blank);
    store(out + 16, blank);
}

// A short line's two 16-byte blank stores are the furthest any line's stores reach.
static_assert(line_room >= furthest_blank_stores(),
              "line_room must hold every store of an SSSE3 line");

} // namespace

namespace {

__attribute__((target("ssse3"))) char *put_line(char *out, std::uint64_t offset,
                                                const unsigned char *buf, std::size_t count,
                                                OffsetText *known) {
    out = put_offset(out, offset, known);
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
    // Printable is 0x20 to 0x7e: as signed bytes, above 0x1f (0x80 to 0xff fall below), but for
    // 0x7f. The text is the byte where printable and the dot elsewhere.
    const __m128i dot = _mm_set1_epi8('.');
    const __m128i printable = _mm_andnot_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7f)),
                                               _mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1f)));
    const __m128i text = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(bytes, dot), printable), dot);
    if (count == block_size) { // all but the last line of a file: every place is fixed
        out[hex_column] = ' ';
        store(out + hex_column + separator, text);
        out += hex_column + separator + block_size;
        *out = '\n';
        return out + 1;
    }
    out += cell_width * count;
    put_blanks(out);
    out += pad_length(count) + separator;
    store(out, text);
    out += count;
    put_blanks(out);
    out += pad_length(count);
    *out = '\n';
    return out + 1;
}

} // namespace

__attribute__((target("ssse3"), force_align_arg_pointer)) char *
format_lines_by_ssse3(char *out, std::uint64_t offset, const unsigned char *buf,
                      std::size_t count) {
    OffsetText known;
    for (; count > block_size; count -= block_size, buf += block_size, offset += block_size)
        out = put_line(out, offset, buf, block_size, &known);
    return put_line(out, offset, buf, count, &known);
}
