#pragma once

// Clears the console once, then for each path from arguments[1] on prints the title block and
// the header line and dumps the file. Returns the exit status: 0, or 1 when any path could not
// be dumped whole.
int view_files(int argument_count, char **arguments);

// The same without clearing the console.
int dump_paths(int argument_count, char **arguments);
