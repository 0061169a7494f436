#pragma once

// The command line's paths in the program's 8-bit form of the wide-character command line that
// Windows hands over (UTF-8, lone surrogates kept), so that every name can be shown and opened.
char **utf8_arguments(int count, wchar_t **wide);
