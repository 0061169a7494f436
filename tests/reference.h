#pragma once

// A plain dumper to hold the viewer to, byte by byte with no strides, vectors or tables, and a
// maker of data shaped to trip the viewer's fast paths.

#include "driver/title.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

inline std::string reference_line(std::uint64_t offset, const std::string &block) {
    char field[32];
    std::snprintf(field, sizeof field, "%04llx    ", static_cast<unsigned long long>(offset));
    std::string line = field;
    for (const char byte : block) {
        std::snprintf(field, sizeof field, "%02x ", static_cast<unsigned char>(byte));
        line += field;
    }
    line += std::string(2 * (16 - block.size()), ' ') + " ";
    for (const char byte : block)
        line += std::isprint(static_cast<unsigned char>(byte)) != 0 ? byte : '.';
    return line + std::string(2 * (16 - block.size()), ' ') + "\n";
}

// What a run prints above the dump of `path`, and in its place when the path does not open.
inline std::string reference_header(const std::string &path) {
    return std::string(title_block) + header_label + path + "\n\n";
}
inline std::string reference_open_error(const std::string &path) {
    return "Error:fopen  " + path + "\n ";
}

// With `after_block`, also the length the dump has after each block.
inline std::string reference_dump(const std::string &bytes,
                                  std::vector<std::size_t> *after_block = nullptr) {
    std::string dump, last_shown;
    bool marked = false;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::string block = bytes.substr(at, 16);
        if (block.size() == 16 && block == last_shown) {
            dump += marked ? "" : "*\n";
            marked = true;
        } else {
            dump += reference_line(at, block);
            last_shown = block;
            marked = false;
        }
        if (after_block != nullptr)
            after_block->push_back(dump.size());
    }
    return dump;
}

// Up to about `limit` bytes of pieces in random order: noise; runs of one block long enough to
// cross the 4 KiB strides and the 256 KiB reads, some with one byte changed deep inside; zeros;
// blocks equal to the one before in one half only; and a tail of any length.
inline std::string shaped_data(std::mt19937_64 &random, std::size_t limit) {
    auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const std::size_t edges[] = {255, 256, 257, 16383, 16384, 16385, 1 + below(20000)};
    std::string data;
    while (data.size() < limit) {
        std::string block(16, '\0'), run;
        for (char &byte : block)
            byte = static_cast<char>(random());
        const std::size_t kind = below(4);
        for (std::size_t i = kind == 1 ? edges[below(7)] : 0; i > 0; --i)
            run += block;
        if (kind == 1 && below(2))
            run[below(run.size())] ^= static_cast<char>(1 + below(255));
        // From a block boundary: the last block changed in one half, then as it was.
        if (kind == 3) {
            data.resize(data.size() / 16 * 16);
            const std::string last = data.size() >= 16 ? data.substr(data.size() - 16) : block;
            run = last;
            run[8 * below(2) + below(8)] ^= 0x40;
            run += run + last;
        }
        data += kind == 0   ? block.substr(below(16))
                : kind == 2 ? std::string(below(300000), '\0')
                            : run;
    }
    return data.substr(0, data.size() - below(16));
}
