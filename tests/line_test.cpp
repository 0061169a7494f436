// The line layout in each of its ways, held to the plain reference dumper.

#include "dump/line.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string line_of(std::uint64_t offset, const std::string &block, LineFormat format) {
    char room[line_room];
    unsigned char buf[block_size] = {};
    block.copy(reinterpret_cast<char *>(buf), block_size);
    return std::string(room, format(room, offset, buf, block.size()));
}

// Every way this build holds and this processor runs, with every byte value in every column,
// at every length, behind offsets of 4 to 16 digits: block b holds b + 37 * column in each
// column, so 256 blocks put every value in every place.
TEST(Line, EveryWayMatchesTheReference) {
    LineFormat ways[4];
    const std::size_t usable = usable_line_formats(ways, 4);
    ASSERT_EQ(ways[0], format_lines_by_table);
    ASSERT_NE(std::find(ways, ways + usable, fastest_line_format()), ways + usable);
    std::mt19937_64 random(16);
    for (std::size_t way = 0; way < usable; ++way) {
        for (std::size_t length = 1; length <= block_size; ++length) {
            for (int b = 0; b < 256; ++b) {
                std::string block;
                for (std::size_t column = 0; column < length; ++column)
                    block += static_cast<char>((b + 37 * column) & 0xff);
                const std::uint64_t offset =
                    0xfedcba9876543210 >> (64 - 4 * (4 + b % 13)) | (b & 15);
                ASSERT_EQ(line_of(offset, block, ways[way]), reference_line(offset, block))
                    << "way " << way;
            }
        }
        // Many lines in one call, across the offsets where the digits above the last two change
        // and where the offset takes one more digit.
        for (const std::uint64_t start : {0x80ULL, 0xf80ULL, 0xff80ULL, 0xffffffffff80ULL}) {
            const std::string bytes = shaped_data(random, 500); // past the count, to be read
            const std::size_t count = 16 * (start % 7 + 9) + 5;
            std::string room(lines_room(count), '\0'), expected;
            for (std::size_t at = 0; at < count; at += block_size)
                expected +=
                    reference_line(start + at, bytes.substr(at, std::min(count - at, block_size)));
            const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
            ASSERT_EQ(std::string(&room[0], ways[way](&room[0], start, data, count)), expected)
                << "way " << way << " from " << start;
        }
    }
}

} // namespace
