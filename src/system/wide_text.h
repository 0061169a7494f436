#pragma once

// Names as Windows keeps them, in 16-bit units, and as the program carries them, in 8 bits: UTF-8,
// but where a name holds a lone surrogate (Windows allows it), that unit is written as the three
// bytes UTF-8 would give it, so that every name comes back to the unit it was.

#include <cstddef>
#include <string>

std::string text_from_utf16(const char16_t *wide);

// The length of the UTF-8 sequence that `lead` begins, or 0 where no sequence begins so.
std::size_t utf8_sequence_length(unsigned char lead);

// Writes `text` back into at most `room` units, the last a NUL; false for bytes that no name
// gave, or a name too long.
bool utf16_from_text(const char *text, char16_t *wide, std::size_t room);
