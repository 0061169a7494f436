#include "output.h"

#include "system.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Into a file, large writes cost least. Into a pipe, writes of the pipe's own size let the
// reader take one while the next is formatted, where larger ones would stall both.
char output_buffer[1024 * 1024];
constexpr std::size_t pipe_write_size = std::size_t{64} * 1024;
std::uint64_t last_flush_ms = 0;

[[noreturn]] void fail_output(int error) {
    output.cursor = output_buffer; // nothing more can be written; drop it
    if (!reader_went_away(error))
        std::fprintf(stderr, "morvalen: cannot write the output: %s\n", error_text(error));
    std::exit(1);
}

} // namespace

OutputBuffer output = {output_buffer, output_buffer + pipe_write_size};

void prepare_output() {
    if (!system_output_is_pipe())
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
    if (output.cursor != output_buffer && now - last_flush_ms >= 100)
        output_flush();
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
