#include "output.h"

#include "../system/system.h"
#include "shown_name.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace {

// Into a file, large writes cost least. Into a pipe, writes of the pipe's own size let the
// reader take one while the next is formatted, where larger ones would stall both.
char output_buffer[output_file_write_size];

// Output that waits longer than this is written out even while the input keeps coming.
constexpr std::uint64_t stale_after_ms = 100;
std::uint64_t last_flush_ms = 0; // or when the output was prepared

// Nothing more can be written: what is left is dropped, and the program ends as a filter does
// when its reader has gone, with no message.
[[noreturn]] void stop_for_reader_gone() {
    output.cursor = output_buffer;
    system_signal_reader_gone();
    system_exit(1);
}

[[noreturn]] void fail_output(SystemError error) {
    if (system_reader_went_away(error))
        stop_for_reader_gone();
    // What is left is dropped: the flush in report then writes nothing, or it would fail again.
    output.cursor = output_buffer;
    report("cannot write the output", system_error_text(error));
    system_exit(1);
}

} // namespace

OutputBuffer output = {output_buffer, output_buffer + output_pipe_write_size};

void prepare_output() {
    system_start();
    const bool pipe = system_output_is_pipe();
    output = {output_buffer,
              output_buffer + (pipe ? output_pipe_write_size : sizeof output_buffer)};
    last_flush_ms = system_milliseconds();
}

namespace {

SystemError write_buffered() {
    const std::size_t length = static_cast<std::size_t>(output.cursor - output_buffer);
    output.cursor = output_buffer;
    last_flush_ms = system_milliseconds();
    return length > 0 ? system_write_output(output_buffer, length) : no_error;
}

} // namespace

void output_flush() {
    const SystemError error = write_buffered();
    if (error != no_error)
        fail_output(error);
}

void output_flush_if_stale() {
    const std::uint64_t now = system_milliseconds();
    if (output.cursor != output_buffer && now - last_flush_ms >= stale_after_ms)
        output_flush();
}

void output_stop_if_reader_gone() {
    if (system_output_reader_gone())
        stop_for_reader_gone();
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

void output_name(const char *name) {
    if (system_output_is_terminal())
        write_shown_name(
            name, [](void *, const char *text, std::size_t length) { output_text(text, length); },
            nullptr);
    else
        output_text(name);
}

namespace {

// A message goes out in one write where it fits, so that it is not torn by other writers.
struct Message {
    char text[4096];
    std::size_t length = 0;
};

void add_to_message(void *to, const char *piece, std::size_t left) {
    auto &message = *static_cast<Message *>(to);
    while (left > 0) {
        if (message.length == sizeof message.text) { // nowhere is left to report a failure
            system_write_error(message.text, message.length);
            message.length = 0;
        }
        const std::size_t part = std::min(left, sizeof message.text - message.length);
        std::memcpy(message.text + message.length, piece, part);
        message.length += part;
        piece += part;
        left -= part;
    }
}

} // namespace

// The message goes out even where the output before it could not: a pipe whose only reader was
// the input just refused has none left.
void report(const char *subject, const char *reason) {
    const SystemError error = write_buffered();
    Message message;
    add_to_message(&message, "morvalen: ", 10);
    write_shown_name(subject, add_to_message, &message);
    for (const char *piece : {": ", reason, "\n"})
        add_to_message(&message, piece, std::strlen(piece));
    system_write_error(message.text, message.length);
    if (error != no_error)
        fail_output(error);
}
