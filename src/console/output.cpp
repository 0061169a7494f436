#include "console.h"

#include <cstdio>

// One large buffer: the dump writes a line in many small pieces, and the system sees them in
// few large writes. On Windows standard output keeps its text mode, so lines end in CR LF.
void prepare_output() {
    static char output_buffer[64 * 1024];
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
}
