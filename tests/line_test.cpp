// The layout of one dump line, written to a memory stream.

#include "dump/line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <string>

namespace {

std::string line_of(std::uint64_t offset, const std::string &block) {
    char *text = nullptr;
    std::size_t size = 0;
    std::FILE *out = open_memstream(&text, &size);
    write_line(out, offset, reinterpret_cast<const unsigned char *>(block.data()), block.size());
    std::fclose(out);
    std::string line(text, size);
    std::free(text);
    return line;
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
    for (const auto &c : cases)
        EXPECT_EQ(line_of(c.offset, c.block), c.expected);
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
