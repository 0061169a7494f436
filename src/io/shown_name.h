#pragma once

// How a name from outside the program (a path) is shown to a person. Written as it is, a name
// could act on the terminal that shows it: clear it, retitle it, recolour it, or make it answer
// into its own input. So a name that holds a byte a terminal acts on or cannot show (a C0 or C1
// control, DEL, or a byte that is no part of a whole UTF-8 character), or that begins with "$'"
// as such a name then does, is shown whole in the shell's $'...' quoting: each such byte as
// \xHH, each backslash as \\ and each quote as \'. Any other name is shown as it is.

#include <cstddef>

// Where the shown name goes, in one or more pieces.
using TextWriter = void (*)(void *to, const char *text, std::size_t length);

void write_shown_name(const char *name, TextWriter write, void *to);
