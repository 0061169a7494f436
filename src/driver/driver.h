#pragma once

// Clears the console once, then for each path from arguments[1] on prints the title block and
// the header line and dumps the file. Returns the exit status: 0, or 1 when any path could not
// be dumped whole.
int view_files(int argument_count, char **arguments);

// The same without clearing the console.
int dump_paths(int argument_count, char **arguments);

// Dumps the file at `path`, with no title, and says what became of it: the open error line in
// the output, or a message on standard error. Returns true when the whole file was dumped.
bool show_file(const char *path);
