#include "output.h"

#include "system.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

namespace {

// Into a file, large writes cost least. Into a pipe, writes of the pipe's own size let the
// reader take one while the next is formatted, where larger ones would stall both.
char output_buffer[1024 * 1024];
constexpr std::size_t pipe_write_size = std::size_t{64} * 1024;
bool output_is_pipe = true;

// Output that waits longer than this is written out even while the input keeps coming.
constexpr std::uint64_t stale_after_ms = 100;
std::uint64_t last_flush_ms = 0;

[[noreturn]] void fail_output(int error) {
    output.cursor = output_buffer; // nothing more can be written; drop it
    if (!reader_went_away(error))
        report("cannot write the output", error_text(error));
    std::exit(1);
}

} // namespace

OutputBuffer output = {output_buffer, output_buffer + pipe_write_size};

void prepare_output() {
    output_is_pipe = system_output_is_pipe();
    if (!output_is_pipe)
        output.limit = output_buffer + sizeof output_buffer;
}

void output_flush() {
    const std::size_t length = static_cast<std::size_t>(output.cursor - output_buffer);
    output.cursor = output_buffer;
    last_flush_ms = system_milliseconds();
    int error = 0;
    if (length > 0 && !system_write_output(output_buffer, length, &error))
        fail_output(error);
}

void output_flush_if_stale() {
    const std::uint64_t now = system_milliseconds();
    if (last_flush_ms == 0) // the first look starts the clock
        last_flush_ms = now;
    if (output.cursor != output_buffer && now - last_flush_ms >= stale_after_ms)
        output_flush();
}

void output_stop_if_reader_gone() {
    if (!output_is_pipe)
        return;
    const int error = system_output_reader_gone();
    if (error != 0)
        fail_output(error);
}

void output_text(const char *text, std::size_t length) {
    while (length > 0) {
        std::size_t room = static_cast<std::size_t>(output.limit - output.cursor);
        if (room == 0) {
            output_flush();
            room = static_cast<std::size_t>(output.limit - output.cursor);
        }
        const std::size_t part = length < room ? length : room;
        std::memcpy(output.cursor, text, part);
        output.cursor += part;
        text += part;
        length -= part;
    }
}

void report(const char *subject, const char *reason) {
    output_flush();
    // The message goes out in one write where it fits, so that it is not torn by other writers.
    char message[4096];
    std::size_t length = 0;
    for (const char *piece : {"morvalen: ", subject, ": ", reason, "\n"}) {
        for (std::size_t left = std::strlen(piece); left > 0;) {
            if (length == sizeof message) {
                system_write_error(message, length);
                length = 0;
            }
            const std::size_t part = std::min(left, sizeof message - length);
            std::memcpy(message + length, piece, part);
            length += part;
            piece += part;
            left -= part;
        }
    }
    system_write_error(message, length);
}
