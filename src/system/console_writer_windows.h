#pragma once

#include <cstddef>
#include <windows.h>

// Writes UTF-8 text to the console through its wide-character call, so that names in any script
// show right whatever the console's code page. A character cut at the end of one write is kept
// for the next. Returns 0 or the system's error.
DWORD write_console(HANDLE console, const char *data, std::size_t length);
