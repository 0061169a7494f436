#pragma once

// The cheap stream calls of the dump loop. The program has one thread, so the stream's own
// lock is skipped wherever the C library offers that; Windows spells the calls differently.

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#define MORVALEN_PUTC _putc_nolock
#if defined(_UCRT) || __MSVCRT_VERSION__ >= 0x800
#define MORVALEN_FREAD _fread_nolock
#define MORVALEN_FWRITE _fwrite_nolock
#else // the system's msvcrt.dll has only the locking calls
#define MORVALEN_FREAD fread
#define MORVALEN_FWRITE fwrite
#endif
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

// Puts the first `count` of the 4 bytes at `cell`. With the GNU C library a cell that fits the
// stream's buffer goes in with one check and one fixed-size copy, as putc_unlocked does for
// a single byte; anywhere else, or at the buffer's end, it goes byte by byte.
inline void put_cell(const char *cell, std::size_t count, std::FILE *out) {
#ifdef __GLIBC__
    if (out->_IO_write_end - out->_IO_write_ptr >= 4) {
        std::memcpy(out->_IO_write_ptr, cell, 4);
        out->_IO_write_ptr += count;
        return;
    }
#endif
    for (std::size_t i = 0; i < count; ++i)
        put_char(cell[i], out);
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

// True when the open stream is a directory, which some systems let fopen open.
inline bool is_directory(std::FILE *stream) {
#ifdef _WIN32
    struct _stat64 info {};
    return _fstat64(_fileno(stream), &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
#else
    struct stat info {};
    return fstat(fileno(stream), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}
