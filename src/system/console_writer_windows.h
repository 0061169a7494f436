#pragma once

#include <cstddef>
#include <windows.h>

// Text goes to the system in parts of at most this many bytes, each with its CR LF line ends and,
// on the console, turned into wide characters at once. The tests build with a smaller part, so
// that their texts and characters meet its end.
#ifndef MORVALEN_TEXT_PART
#define MORVALEN_TEXT_PART 65536
#endif
constexpr std::size_t text_part = MORVALEN_TEXT_PART;

// Writes one part of UTF-8 text, at most text_part bytes, to the console through its
// wide-character call, so that names in any script show right whatever the console's code page.
// A character cut at the end of one part is kept for the next. Returns 0 or the system's error.
DWORD write_console(HANDLE console, const char *data, std::size_t length);
