#include "line.h"

#include <arm_neon.h>
#include <cstring>

// Lines 16 bytes at a time with NEON: on every 64-bit ARM processor, and on 32-bit ARM where the
// processor has it. There the program is built for processors without NEON and this file alone
// with it, so nothing in it may run before the choice is made.

namespace {

std::uint8_t *as_bytes(char *at) {
    return reinterpret_cast<std::uint8_t *>(at);
}

// The hexadecimal digit of each nibble, looked up in one table of 16 bytes, loaded once a call.
#if defined(__aarch64__)
using DigitTable = uint8x16_t;
DigitTable digit_table() {
    return vld1q_u8(reinterpret_cast<const std::uint8_t *>(hex_digits));
}
uint8x8_t hex_of(DigitTable table, uint8x8_t nibbles) {
    return vqtbl1_u8(table, nibbles);
}
uint8x16_t hex_of(DigitTable table, uint8x16_t nibbles) {
    return vqtbl1q_u8(table, nibbles);
}
#else
// 32-bit ARM looks up 8 bytes at a time, in a table of two d registers.
using DigitTable = uint8x8x2_t;
DigitTable digit_table() {
    const auto *digits = reinterpret_cast<const std::uint8_t *>(hex_digits);
    return {{vld1_u8(digits), vld1_u8(digits + 8)}};
}
uint8x8_t hex_of(const DigitTable &table, uint8x8_t nibbles) {
    return vtbl2_u8(table, nibbles);
}
#endif

// The offsets of the lines in one call: the digits above the last two, worked out when the bits
// above those change.
struct OffsetText {
    std::uint64_t above = 0;
    uint8x8x2_t hex{}; // each byte's high digit, then its low one
    int digits = 0;
};

// The offset's digits, shifted to the top of its 16 so that they come first, and the gap; the
// rest of the 16 bytes stored is written over by the line that follows.
char *put_offset(char *out, std::uint64_t offset, const DigitTable &table, OffsetText *known) {
    if (offset >> 8 != known->above || known->digits == 0) {
        known->above = offset >> 8;
        known->digits = offset_digits(offset);
        // Shifted in a vector register, as a 64-bit shift takes several instructions on 32-bit
        // ARM.
        const uint64x1_t top =
            vshl_u64(vcreate_u64(offset),
                     vdup_n_s64(std::int64_t{4} * (offset_most_digits - known->digits)));
        const uint8x8_t bytes = vrev64_u8(vreinterpret_u8_u64(top)); // most significant first
        known->hex = {
            {hex_of(table, vshr_n_u8(bytes, 4)), hex_of(table, vand_u8(bytes, vdup_n_u8(15)))}};
    }
    vst2_u8(as_bytes(out), known->hex);
    std::memcpy(out + known->digits - 2, digit_pairs.pair[offset & 0xff], 2);
    std::memset(out + known->digits, ' ', offset_gap);
    return out + known->digits + offset_gap;
}

// The hexadecimal column in interleaving stores: each byte's high digit, its low one and a space.
void put_column(char *out, uint8x16_t bytes, uint8x16_t blank, const DigitTable &table) {
    const uint8x16_t high = vshrq_n_u8(bytes, 4);
    const uint8x16_t low = vandq_u8(bytes, vdupq_n_u8(15));
#if defined(__aarch64__)
    const uint8x16x3_t column = {{hex_of(table, high), hex_of(table, low), blank}};
    vst3q_u8(as_bytes(out), column);
#else
    // In halves, so that each look-up lands in the registers its store takes.
    const uint8x8x3_t first = {
        {hex_of(table, vget_low_u8(high)), hex_of(table, vget_low_u8(low)), vget_low_u8(blank)}};
    const uint8x8x3_t second = {
        {hex_of(table, vget_high_u8(high)), hex_of(table, vget_high_u8(low)), vget_low_u8(blank)}};
    vst3_u8(as_bytes(out), first);
    vst3_u8(as_bytes(out + 3 * 8), second);
#endif
}

// The blanks of a short line's pad: two stores reach past any pad.
void put_blanks(char *out, uint8x16_t blank) {
    vst1q_u8(as_bytes(out), blank);
    vst1q_u8(as_bytes(out + 16), blank);
}

// The 48-byte store of the hexadecimal column ends within the longest line.
static_assert(offset_most_digits + offset_gap + hex_column <= longest_line);
// A short line's two 16-byte blank stores are the furthest any line's stores reach.
static_assert(line_room >= furthest_blank_stores(),
              "line_room must hold every store of a NEON line");

char *put_line(char *out, std::uint64_t offset, const unsigned char *buf, std::size_t count,
               const DigitTable &table, OffsetText *known) {
    out = put_offset(out, offset, table, known);
    const uint8x16_t bytes = vld1q_u8(buf);
    const uint8x16_t blank = vdupq_n_u8(' ');
    put_column(out, bytes, blank, table);
    // Printable is 0x20 to 0x7e: below 0x5f once 0x20 is taken away, the rest wrapping round.
    const uint8x16_t printable = vcltq_u8(vsubq_u8(bytes, blank), vdupq_n_u8(0x7f - ' '));
    const uint8x16_t text = vbslq_u8(printable, bytes, vdupq_n_u8('.'));
    if (count == block_size) { // all but the last line of a file: every place is fixed
        out[hex_column] = ' ';
        vst1q_u8(as_bytes(out + hex_column + separator), text);
        out += hex_column + separator + block_size;
        *out = '\n';
        return out + 1;
    }
    out += cell_width * count;
    put_blanks(out, blank);
    out += pad_length(count) + separator;
    vst1q_u8(as_bytes(out), text);
    out += count;
    put_blanks(out, blank);
    out += pad_length(count);
    *out = '\n';
    return out + 1;
}

} // namespace

char *format_lines_by_neon(char *out, std::uint64_t offset, const unsigned char *buf,
                           std::size_t count) {
    const DigitTable table = digit_table();
    OffsetText known;
    for (; count > block_size; count -= block_size, buf += block_size, offset += block_size)
        out = put_line(out, offset, buf, block_size, table, &known);
    return put_line(out, offset, buf, count, table, &known);
}
