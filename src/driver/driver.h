#pragma once

// The whole run, as main makes it: clears the console once, then views every path from
// arguments[1] on. Returns the exit status: 0, or 1 when any path could not be dumped whole.
int run_viewer(int argument_count, char **arguments);

// The same without clearing the console: for each path, the title block and the header line,
// then the dump and what became of it.
int view_paths(int argument_count, char **arguments);

// Dumps the file at `path`, with no title, and reports what became of it: the open error line
// in the output, or a message on standard error. Returns true when the whole file was dumped.
bool dump_and_report(const char *path);
