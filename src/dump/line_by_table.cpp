#include "line.h"

// Where no vector line is built, every line comes from the tables.
char *format_line(char *out, std::uint64_t offset, const unsigned char *buf, std::size_t count) {
    return format_line_by_table(out, offset, buf, count);
}
