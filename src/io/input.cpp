#include "input.h"

#include "output.h"

#include <cstring>

namespace {

// One file is open at a time, so one buffer serves them all and nothing is allocated.
alignas(64) unsigned char input_buffer[256 * 1024];

// Lines already formatted go out first when the source may keep us waiting, and otherwise
// once they have waited long enough.
void flush_before_reading(const InputFile &file) {
    if (file.kind.can_wait)
        output_flush();
    else
        output_flush_if_stale();
    output_stop_if_reader_gone(); // a run of repeats writes nothing that would tell us
}

void end_with_error(InputFile *file, int error) {
    file->ended = true;
    file->error = error;
}

// One read into the free end of the buffer, never past the largest position a file can have.
void read_more(InputFile *file) {
    flush_before_reading(*file);
    std::size_t count = sizeof input_buffer - file->end;
    if (count > largest_file_position - file->position)
        count = static_cast<std::size_t>(largest_file_position - file->position);
    int error = 0;
    const std::ptrdiff_t got =
        count == 0 ? 0 : system_read(file->handle, input_buffer + file->end, count, &error);
    if (got <= 0) {
        end_with_error(file, got < 0 ? error : 0);
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
    if (file->end - file->start < block_size && !file->ended) {
        // Keep the few bytes of a block begun, and read until it is whole or the source ends:
        // a short read from a pipe is not the end.
        const std::size_t kept = file->end - file->start;
        std::memmove(input_buffer, input_buffer + file->start, kept);
        file->start = 0;
        file->end = kept;
        while (file->end < block_size && !file->ended)
            read_more(file);
    }
    *data = input_buffer + file->start;
    const std::size_t ready = file->end - file->start;
    // A block begun is handed over only when it is whole, or when nothing more can come.
    return file->ended ? ready : ready - ready % block_size;
}

std::uint64_t input_skip_hole(InputFile *file) {
    if (!file->kind.may_have_holes || file->start != file->end || file->ended ||
        file->position % block_size != 0 || file->position >= file->kind.size)
        return 0;
    std::uint64_t hole_end = 0;
    std::uint64_t target = file->position;
    if (system_hole_end(file->handle, file->position, file->kind.size, &hole_end))
        target = hole_end / block_size * block_size; // the block with the data is read as usual
    else
        file->kind.may_have_holes = false; // read the rest plainly
    // The query may have moved the handle: it goes where reading resumes, or back.
    int error = 0;
    if (target > file->position) {
        if (system_seek(file->handle, target, &error)) {
            const std::uint64_t skipped = target - file->position;
            file->position = target;
            return skipped;
        }
        file->kind.may_have_holes = false;
    }
    if (!system_seek(file->handle, file->position, &error))
        end_with_error(file, error);
    return 0;
}
