#pragma once

#include "../system/system.h"

#include <cstdint>

// What became of one file's dump, for whoever tells the user.
struct DumpOutcome {
    SystemError open_error = no_error; // it did not open: missing, unreadable, a directory, or
                                       // refused_as_output or cannot_tell_if_output
    SystemError read_error = no_error; // reading stopped early with this error,
    std::uint64_t stopped_at = 0;      // at this offset in the file
};

// Dumps the file at `name` to the output in lines of 16 bytes, with each run of blocks that
// repeat the last shown block standing as one "*" line, and says what became of it.
DumpOutcome dump_file(const char *name);
