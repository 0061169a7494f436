#pragma once

// Dumps the file at `name` to the output in lines of 16 bytes, with each run of blocks that
// repeat the last shown block standing as one "*" line. A path that cannot be opened, or names
// a directory, gets the open error line instead.
//
// Returns true when the whole file was dumped; false when it could not be opened or read, or
// is the file the output goes to (both of those are also reported on standard error).
bool process(const char *name);
