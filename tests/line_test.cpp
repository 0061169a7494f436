// The layout of one dump line, in both of its ways of writing.

#include "dump/line.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Format = char *(*)(char *, std::uint64_t, const unsigned char *, std::size_t);

std::string line_of(std::uint64_t offset, const std::string &block, Format format) {
    char room[line_room];
    unsigned char buf[block_size] = {};
    block.copy(reinterpret_cast<char *>(buf), block_size);
    const char *end = format(room, offset, buf, block.size());
    return std::string(static_cast<const char *>(room), end);
}

struct LineCase {
    std::uint64_t offset;
    std::string block;
    const char *expected;
};

// Written out by hand: they hold the reference to the layout as well.
TEST(Line, Layout) {
    const LineCase cases[] = {
        {0x30, "0123456789:;<=>?",
         "0030    30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d 3e 3f  0123456789:;<=>?\n"},
        {0, std::string("\0\1\2\3\4\5\6\7\10\11\12\13\14\15\16\17", 16),
         "0000    00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f  ................\n"},
        {0x10, "Hello",
         "0010    48 65 6c 6c 6f                        Hello                      \n"},
        {0x20, " ~\t\n\r\x7f\x80\xff\xab",
         "0020    20 7e 09 0a 0d 7f 80 ff ab                 ~.......              \n"},
        {0xa0, "z", "00a0    7a                                z                              \n"},
        {0xfff0, "0123456789abcdef",
         "fff0    30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  0123456789abcdef\n"},
        {0x10000, "A",
         "10000    41                                A                              \n"},
        {0x100000000, "AB",
         "100000000    41 42                              AB                            \n"},
        {0xfffffffffffffff0, "\xff",
         "fffffffffffffff0    ff                                .                              \n"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(reference_line(c.offset, c.block), c.expected);
        EXPECT_EQ(line_of(c.offset, c.block, format_line_by_table), c.expected);
        EXPECT_EQ(line_of(c.offset, c.block, format_line_by_vector), c.expected);
    }
}

// Every byte value in every column, at every length, behind offsets of 4 to 16 digits: block
// b holds b + 37 * column in each column, so 256 blocks put every value in every place.
TEST(Line, BothWaysMatchTheReference) {
    if (!have_vector_lines())
        std::printf("no vector instructions here: the vector way is the table way\n");
    for (std::size_t length = 1; length <= block_size; ++length) {
        for (int b = 0; b < 256; ++b) {
            std::string block;
            for (std::size_t column = 0; column < length; ++column)
                block += static_cast<char>((b + 37 * column) & 0xff);
            const int digits = 4 + b % 13;
            const std::uint64_t offset = 0xfedcba9876543210 >> (64 - 4 * digits) | (b & 0xf);
            const std::string expected = reference_line(offset, block);
            ASSERT_EQ(line_of(offset, block, format_line_by_table), expected);
            ASSERT_EQ(line_of(offset, block, format_line_by_vector), expected);
        }
    }
}

} // namespace
