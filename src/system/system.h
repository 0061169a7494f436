#pragma once

// The few system calls the reader and the writer need, in files of each platform's own. Every
// call that can fail says how it went in one way: it returns a SystemError, and what it found
// goes through its pointers. Questions answer and do nothing else.

#include <cstddef>
#include <cstdint>

// An open file: a descriptor on POSIX systems, a handle on Windows.
using SystemHandle = std::intptr_t;

// No error, or the system's own error number (errno on POSIX systems, GetLastError on Windows).
using SystemError = int;
constexpr SystemError no_error = 0;
// The system gives no answer to the question asked: it keeps no holes, say.
constexpr SystemError no_answer = -1;
// The file to be read is standard output's own: reading it would read the dump back.
constexpr SystemError refused_as_output = -2;
// The system cannot tell whether the file to be read is standard output's own: it is refused
// all the same, as it might be.
constexpr SystemError cannot_tell_if_output = -3;

// The largest file position the systems allow: no read may reach past it.
constexpr std::uint64_t largest_file_position = INT64_MAX;

// What the reader needs to know of an open file.
struct SourceKind {
    bool can_wait = true;        // not a regular file: a pipe, a terminal, a device, a socket
    bool may_have_holes = false; // a regular file with fewer blocks allocated than its size needs
    std::uint64_t size = 0;      // at the open, where holes may be skipped
};

// Opens `path` for reading. A directory does not open, and nor does the very file, pipe, FIFO
// or block device that standard output writes to, since reading it might grow it: that fails
// with refused_as_output, or with cannot_tell_if_output where the system cannot tell.
SystemError system_open(const char *path, SystemHandle *handle, SourceKind *kind);

// True when opening `path` may wait, as a FIFO's open waits for a writer.
bool system_open_may_wait(const char *path);
SystemError system_close(SystemHandle handle);

// Reads at most `count` bytes: `*got` is 0 at the end. Interrupted reads are retried.
SystemError system_read(SystemHandle handle, unsigned char *into, std::size_t count,
                        std::size_t *got);

// What the system says of the bytes from a position on: where its next data lies, and the
// file's size once it was asked. Whether to believe it is the reader's to judge.
struct DataAnswer {
    std::uint64_t data_at = 0;
    std::uint64_t size = 0;
};

// Asks where the data after `position` lies, in a file of `size` bytes as the caller knows it,
// leaving the handle's position as it was. Fails with no_answer where the system gives none:
// the file may still be read on. Any other error leaves the handle unfit to read on.
SystemError system_next_data(SystemHandle handle, std::uint64_t position, std::uint64_t size,
                             DataAnswer *answer);
// Moves the handle to `position`; one that fails moves nothing.
SystemError system_seek(SystemHandle handle, std::uint64_t position);

// Writes all of `length` bytes to standard output, or to standard error.
SystemError system_write_output(const char *data, std::size_t length);
SystemError system_write_error(const char *data, std::size_t length);

// Sets up what the program needs of the system, once, before anything is written.
void system_start();

// True where the processor runs NEON vector instructions, as the system tells: asked only on
// 32-bit ARM, where some processors lack them.
bool system_has_neon();

// True when standard output is a pipe or a socket, whose reader takes small writes best.
bool system_output_is_pipe();

// True when standard output may be a terminal (on Windows, a console), which acts on what it is
// sent: a name written there must not carry its controls.
bool system_output_is_terminal();

// True when standard output is a pipe whose reader has gone, or a socket or terminal whose other
// end has hung up.
bool system_output_reader_gone();

// Does to the program what a write to a pipe without a reader does (SIGPIPE on POSIX systems).
void system_signal_reader_gone();

// Ends the program with `status`.
[[noreturn]] void system_exit(int status);

// True for the errors of a reader that went away (a closed pipe): those need no message.
bool system_reader_went_away(SystemError error);

const char *system_error_text(SystemError error);

// A clock in milliseconds for telling how long output has waited.
std::uint64_t system_milliseconds();
