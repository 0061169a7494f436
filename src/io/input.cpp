#include "input.h"

#include <cstring>

namespace {

// One file is open at a time, so one buffer serves them all and nothing is allocated.
alignas(64) unsigned char input_buffer[256 * 1024];

void end_with_error(InputFile *file, SystemError error) {
    file->ended = true;
    file->error = error;
}

} // namespace

bool input_open_may_wait(const char *path) {
    return system_open_may_wait(path);
}

SystemError open_input(const char *path, std::size_t unit, InputFile *file) {
    *file = InputFile{};
    file->unit = unit;
    const SystemError error = system_open(path, &file->handle, &file->kind);
    file->skip_holes = error == no_error && file->kind.may_have_holes;
    return error;
}

void close_input(InputFile *file) {
    system_close(file->handle); // the file was only read: nothing is lost if this fails
}

// Keeps the bytes of a unit begun at the front of the buffer and reads after them, never past
// the largest position a file can have: a short read from a pipe is not the end.
void input_read_more(InputFile *file) {
    if (file->start > 0) {
        const std::size_t kept = file->end - file->start;
        std::memmove(input_buffer, input_buffer + file->start, kept);
        file->start = 0;
        file->end = kept;
    }
    std::size_t count = sizeof input_buffer - file->end;
    if (count > largest_file_position - file->position)
        count = static_cast<std::size_t>(largest_file_position - file->position);
    std::size_t got = 0;
    const SystemError error =
        count == 0 ? no_error : system_read(file->handle, input_buffer + file->end, count, &got);
    if (error != no_error || got == 0) {
        end_with_error(file, error);
        return;
    }
    file->end += got;
    file->position += got;
}

std::size_t input_ready(const InputFile &file, const unsigned char **data) {
    *data = input_buffer + file.start;
    const std::size_t ready = file.end - file.start;
    // A unit begun is handed over only when it is whole, or when nothing more can come.
    return file.ended ? ready : ready - ready % file.unit;
}

// The system's answer is believed only of the file as it was opened, and only where the data
// lies between here and the end. Where it gives none, or none to believe, or the handle cannot
// move past the hole, the rest of the file is read plainly.
std::uint64_t input_skip_hole(InputFile *file) {
    if (!file->skip_holes || file->start != file->end || file->ended ||
        file->position % file->unit != 0 || file->position >= file->kind.size)
        return 0;
    DataAnswer answer;
    const SystemError error =
        system_next_data(file->handle, file->position, file->kind.size, &answer);
    const bool believed = error == no_error && answer.size == file->kind.size &&
                          answer.data_at >= file->position && answer.data_at <= answer.size;
    const std::uint64_t target = answer.data_at / file->unit * file->unit; // its data unit is read
    if (believed && target > file->position && system_seek(file->handle, target) == no_error) {
        const std::uint64_t skipped = target - file->position;
        file->position = target;
        return skipped;
    }
    if (!believed || target > file->position)
        file->skip_holes = false;
    if (error != no_error && error != no_answer)
        end_with_error(file, error);
    return 0;
}
