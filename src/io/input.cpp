#include "input.h"

#include "output.h"

#include <cstring>

namespace {

constexpr std::size_t block = 16;

// One file is open at a time, so one buffer serves them all and nothing is allocated.
alignas(64) unsigned char input_buffer[256 * 1024];

// One read into the free end of the buffer. Lines already formatted go out first when the
// source may keep us waiting, and otherwise once they have waited long enough.
void read_more(InputFile *file) {
    if (file->kind.can_wait)
        output_flush();
    else
        output_flush_if_stale();
    int error = 0;
    const std::ptrdiff_t got = system_read(file->handle, input_buffer + file->end,
                                           sizeof input_buffer - file->end, &error);
    if (got <= 0) {
        file->ended = true;
        file->error = got < 0 ? error : 0;
        return;
    }
    file->end += static_cast<std::size_t>(got);
    file->position += static_cast<std::uint64_t>(got);
}

} // namespace

OpenOutcome open_input(const char *path, InputFile *file) {
    *file = InputFile{};
    if (system_open_may_wait(path)) // a FIFO's open waits for a writer: show the header first
        output_flush();
    return system_open(path, &file->handle, &file->kind);
}

void close_input(InputFile *file) {
    system_close(file->handle);
}

std::size_t input_ready(InputFile *file, const unsigned char **data) {
    if (file->end - file->start < block && !file->ended) {
        // Keep the few bytes of a block begun, and read until it is whole or the source ends:
        // a short read from a pipe is not the end.
        const std::size_t kept = file->end - file->start;
        std::memmove(input_buffer, input_buffer + file->start, kept);
        file->start = 0;
        file->end = kept;
        while (file->end < block && !file->ended)
            read_more(file);
    }
    *data = input_buffer + file->start;
    const std::size_t ready = file->end - file->start;
    // A block begun is handed over only when it is whole, or when nothing more can come.
    return file->ended ? ready : ready - ready % block;
}

std::uint64_t input_skip_hole(InputFile *file) {
    if (!file->kind.may_have_holes || file->start != file->end || file->ended ||
        file->position % block != 0 || file->position >= file->kind.size)
        return 0;
    std::uint64_t hole_end = 0;
    if (!system_hole_end(file->handle, file->position, file->kind.size, &hole_end)) {
        file->kind.may_have_holes = false; // read the rest plainly
        return 0;
    }
    // The block that holds the first data byte, or the file's last block, is read as usual.
    const std::uint64_t last_block = (file->kind.size - 1) / block * block;
    const std::uint64_t data_block = hole_end / block * block;
    const std::uint64_t target = data_block < last_block ? data_block : last_block;
    if (target <= file->position)
        return 0;
    if (!system_seek(file->handle, target)) {
        file->kind.may_have_holes = false;
        if (!system_seek(file->handle, file->position))
            file->ended = true;
        return 0;
    }
    const std::uint64_t skipped = target - file->position;
    file->position = target;
    return skipped;
}
