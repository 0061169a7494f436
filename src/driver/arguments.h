#pragma once

// The command line's paths as UTF-8, from the wide-character command line that Windows hands
// over, so that every name, in any script, can be shown and opened.
char **utf8_arguments(int count, wchar_t **wide);
