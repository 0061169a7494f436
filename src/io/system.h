#pragma once

// The few system calls the reader and the writer need, one small file for each platform.

#include <cstddef>
#include <cstdint>

// An open file: a descriptor on POSIX systems, a handle on Windows.
using SystemHandle = std::intptr_t;

// The largest file position the systems allow: no read may reach past it.
constexpr std::uint64_t largest_file_position = INT64_MAX;

enum class OpenOutcome {
    opened,
    cannot_open,    // missing, unreadable, or a directory
    is_output_file, // the very file, pipe or FIFO that standard output writes to
};

// What the reader needs to know of an open file.
struct SourceKind {
    bool can_wait = true;        // not a regular file: a pipe, a terminal, a device, a socket
    bool may_have_holes = false; // a regular file with fewer blocks allocated than its size needs
    std::uint64_t size = 0;      // at the open, where holes may be skipped
};

OpenOutcome system_open(const char *path, SystemHandle *handle, SourceKind *kind);

// True when opening `path` may wait, as a FIFO's open waits for a writer.
bool system_open_may_wait(const char *path);
void system_close(SystemHandle handle);

// Reads at most `count` bytes; returns the count read, 0 at the end, or -1 with the error in
// `*error`. Interrupted reads are retried.
std::ptrdiff_t system_read(SystemHandle handle, unsigned char *into, std::size_t count, int *error);

// Where a hole that starts at `position` ends: the next data, or the end of the file. Returns
// false when the system cannot tell, or when the file's size is no longer `expected_size`.
// Either way the handle's position is left undefined: the caller seeks where it wants.
bool system_hole_end(SystemHandle handle, std::uint64_t position, std::uint64_t expected_size,
                     std::uint64_t *hole_end);
bool system_seek(SystemHandle handle, std::uint64_t position, int *error);

// Writes all of `length` bytes to standard output; false with the error in `*error`.
bool system_write_output(const char *data, std::size_t length, int *error);

// Writes to standard error as much as it takes.
void system_write_error(const char *data, std::size_t length);

// True when standard output is a pipe or a socket, whose reader takes small writes best.
bool system_output_is_pipe();

// When the reader of the output pipe has gone, does what a write would meet (SIGPIPE on POSIX
// systems) and returns the error of that write; returns 0 while the reader is there.
int system_output_reader_gone();

// True for the errors of a reader that went away (a closed pipe): those need no message.
bool reader_went_away(int error);

const char *error_text(int error);

// A clock in milliseconds for telling how long output has waited.
std::uint64_t system_milliseconds();
