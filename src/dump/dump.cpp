#include "dump.h"

#include "../console/stream_io.h"
#include "line.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

// The file being dumped; one is open at a time.
std::FILE *fp = nullptr;

namespace {

// Reused for every file, so nothing is allocated per file.
char input_buffer[128 * 1024];

// Binary mode: the dump shows the file's own bytes, on every platform. A directory cannot be
// dumped, although some systems let it be opened.
std::FILE *open_for_dump(const char *name) {
    std::FILE *stream = std::fopen(name, "rb");
    if (stream == nullptr)
        return nullptr;
    if (is_directory(stream)) {
        std::fclose(stream);
        return nullptr;
    }
    std::setvbuf(stream, input_buffer, _IOFBF, sizeof input_buffer);
    return stream;
}

std::size_t read_block(unsigned char *buf) {
    return read_bytes(buf, block_size, fp);
}

void report_read_error(const char *name, int error) {
    std::fflush(stdout); // keep the message after the lines that came before it
    std::fprintf(stderr, "morvalen: %s: %s\n", name, std::strerror(error));
}

} // namespace

bool process(const char *name) {
    int ok = 0; // 1 once the "*" of the current run of repeats is out
    fp = open_for_dump(name);
    if (fp == nullptr) {
        std::printf("Error:fopen  %s\n ", name);
        return false;
    }

    unsigned char buf[block_size];
    unsigned char buf1[block_size]; // the last block shown
    std::uint64_t offset = 0;
    int ftime = 0; // 1 once a line of this file is out
    std::size_t l = read_block(buf);
    while (l > 0) {
        // Only a full block can repeat: a short last block is always shown, so no byte of the
        // file goes missing from the dump.
        if (ftime != 0 && l == block_size && std::memcmp(buf, buf1, block_size) == 0) {
            if (ok == 0) {
                put_text("*\n", 2, stdout);
                ok = 1;
            }
        } else {
            write_line(stdout, offset, buf, l);
            ftime = 1;
            std::memcpy(buf1, buf, block_size);
            ok = 0;
            if (stream_failed(stdout))
                break;
        }
        offset += block_size;
        l = read_block(buf);
    }

    const int error = errno;
    const bool read_failed = stream_failed(fp);
    std::fclose(fp);
    fp = nullptr;
    if (read_failed)
        report_read_error(name, error);
    return !read_failed && !stream_failed(stdout);
}
