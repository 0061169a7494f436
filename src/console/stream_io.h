#pragma once

// The cheap stream calls of the dump loop: the stream's own lock is skipped, as the program
// has one thread. Windows spells them differently; everything else uses the POSIX names.

#include <cstddef>
#include <cstdio>

#ifdef _WIN32
#define MORVALEN_PUTC _putc_nolock
#define MORVALEN_FREAD _fread_nolock
#define MORVALEN_FWRITE _fwrite_nolock
#define MORVALEN_FERROR ferror
#else
#define MORVALEN_PUTC putc_unlocked
#define MORVALEN_FREAD fread_unlocked
#define MORVALEN_FWRITE fwrite_unlocked
#define MORVALEN_FERROR ferror_unlocked
#endif

inline void put_char(char c, std::FILE *out) {
    MORVALEN_PUTC(c, out);
}

inline void put_text(const char *text, std::size_t length, std::FILE *out) {
    MORVALEN_FWRITE(text, 1, length, out);
}

inline std::size_t read_bytes(unsigned char *into, std::size_t count, std::FILE *in) {
    return MORVALEN_FREAD(into, 1, count, in);
}

inline bool stream_failed(std::FILE *stream) {
    return MORVALEN_FERROR(stream) != 0;
}
