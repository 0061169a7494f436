#pragma once

// Clears the console window and puts the cursor at its top-left corner. It acts on the
// console itself, never on standard output, so a redirected dump stays free of control
// codes. Where there is no console to clear, or the program runs in the background, it does
// nothing.
void clear_console();
