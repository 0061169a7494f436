#pragma once

#include <cstddef>
#include <windows.h>

// Text goes to the system in parts of this many bytes: each given its CR LF line ends, and on
// the console turned into wide characters. The tests build with a smaller part, so that their
// texts and characters meet its end.
#ifndef MORVALEN_TEXT_PART
#define MORVALEN_TEXT_PART 65536
#endif
constexpr std::size_t text_part = MORVALEN_TEXT_PART;

// Writes UTF-8 text to the console through its wide-character call, so that names in any script
// show right whatever the console's code page. A character cut at the end of one write is kept
// for the next. Returns 0 or the system's error.
DWORD write_console(HANDLE console, const char *data, std::size_t length);
