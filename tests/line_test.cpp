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
    ASSERT_EQ(ways[0], format_line_by_table);
    ASSERT_NE(std::find(ways, ways + usable, fastest_line_format()), ways + usable);
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
    }
}

} // namespace
