// The layout of one dump line, in both of its ways of writing.

#include "dump/line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <string>

namespace {

using Format = char *(*)(char *, std::uint64_t, const unsigned char *, std::size_t);

std::string line_of(std::uint64_t offset, const std::string &block, Format format = format_line) {
    char room[line_room];
    unsigned char buf[block_size] = {};
    block.copy(reinterpret_cast<char *>(buf), block_size);
    const char *end = format(room, offset, buf, block.size());
    return std::string(static_cast<const char *>(room), end);
}

// The line as the first version printed it, one formatted piece at a time.
std::string printf_line(std::uint64_t offset, const std::string &block) {
    char piece[32];
    std::snprintf(piece, sizeof piece, "%04llx    ", static_cast<unsigned long long>(offset));
    std::string line = piece;
    for (const char byte : block) {
        std::snprintf(piece, sizeof piece, "%02x ", static_cast<unsigned char>(byte));
        line += piece;
    }
    line += std::string(2 * (block_size - block.size()), ' ') + " ";
    for (const char byte : block)
        line += std::isprint(static_cast<unsigned char>(byte)) != 0 ? byte : '.';
    return line + std::string(2 * (block_size - block.size()), ' ') + "\n";
}

struct LineCase {
    std::uint64_t offset;
    std::string block;
    const char *expected;
};

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
        EXPECT_EQ(line_of(c.offset, c.block, format_line_by_table), c.expected);
        EXPECT_EQ(line_of(c.offset, c.block, format_line_by_vector), c.expected);
    }
}

// Every byte value in every column, every length, offsets of 4 to 16 digits: the table and
// the vector ways both give the line the first version printed.
TEST(Line, BothWaysMatchTheFormattedPrint) {
    std::setlocale(LC_ALL, "C");
    if (!have_vector_lines())
        std::printf("no vector instructions here: the vector way is the table way\n");
    int checked = 0;
    for (int digits = 4; digits <= 16; ++digits) {
        const std::uint64_t offset =
            (digits == 16 ? 0xfedcba9876543210 : 0xa5ULL << (4 * digits - 8));
        for (int length = 1; length <= 16; ++length) {
            for (int byte = 0; byte < 256; byte += digits == 4 ? 1 : 7) {
                for (int column = 0; column < length; ++column) {
                    std::string block;
                    for (int i = 0; i < length; ++i)
                        block += static_cast<char>(i == column ? byte : (byte + 37 * i) & 0xff);
                    const std::string expected = printf_line(offset, block);
                    ASSERT_EQ(line_of(offset, block, format_line_by_table), expected);
                    ASSERT_EQ(line_of(offset, block, format_line_by_vector), expected);
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 16 * 256);
}

// Exactly what the C library counts printable in its default locale is shown as itself.
TEST(Line, PrintableBytesMatchTheDefaultLocale) {
    std::setlocale(LC_ALL, "C");
    for (int byte = 0; byte < 256; ++byte) {
        const char expected = std::isprint(byte) ? static_cast<char>(byte) : '.';
        EXPECT_EQ(shown_char(static_cast<unsigned char>(byte)), expected) << "byte " << byte;
    }
}

} // namespace
