#include "console.h"

#include "../system/posix_calls.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>

#ifdef MORVALEN_HAVE_TERMINFO
#include <curses.h>
#include <term.h>
#endif

namespace {

#ifdef MORVALEN_HAVE_TERMINFO
// tputs hands over the sequence one byte at a time, with no context; gather it here and send
// it to the terminal in few writes: one, unless it is longer than the buffer.
int terminal = -1;
char sequence[256];
std::size_t sequence_length = 0;

void send_gathered() {
    if (sequence_length > 0 && posix.write(terminal, sequence, sequence_length) < 0) {
        // A terminal that refuses the sequence is simply not cleared.
    }
    sequence_length = 0;
}

int gather(int c) {
    if (sequence_length == sizeof sequence)
        send_gathered();
    sequence[sequence_length++] = static_cast<char>(c);
    return c;
}

// The terminal's own clear-screen sequence from terminfo, as the clear command sends it.
// TERM unset, unknown or without a clear capability leaves the screen alone.
void send_clear_sequence(int tty) {
    int status = 0;
    if (setupterm(nullptr, tty, &status) != OK)
        return;
    const char *clear = tigetstr("clear");
    // terminfo answers -1 for a name that is not a string capability.
    if (clear != nullptr && reinterpret_cast<std::intptr_t>(clear) != -1) {
        terminal = tty;
        sequence_length = 0;
        // Padding proportional to the lines affected is for every line of the screen.
        const int screen_lines = tigetnum("lines");
        tputs(clear, screen_lines > 0 ? screen_lines : 1, gather);
        send_gathered();
    }
    del_curterm(cur_term);
}
#endif

} // namespace

void clear_console() {
#ifdef MORVALEN_HAVE_TERMINFO
    // The controlling terminal, not standard output: with the output redirected to a file,
    // the screen is still cleared and the file holds no control codes.
    const int tty = posix.open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return;
    // Only the job in the terminal's foreground may clear it: a background job would wipe
    // another program's screen, or be stopped for writing to the terminal.
    if (posix.tcgetpgrp(tty) == posix.getpgrp())
        send_clear_sequence(tty);
    posix.close(tty);
#endif
}
