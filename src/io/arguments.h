#pragma once

// The command line's paths as UTF-8. On POSIX systems they are the bytes given, unchanged; on
// Windows they are read from the wide-character command line, so that every name, in any
// script, can be shown and opened.
char **utf8_arguments(int n, char **arr);
