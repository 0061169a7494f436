#include "console.h"

#include "../system/win32_calls_windows.h"

// The console's own screen buffer, opened by name rather than through standard output, so
// that it is cleared even when the output is redirected to a file. A process without a
// console (detached, a service) has nothing to clear.
void clear_console() {
    HANDLE console =
        win32.create_file(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (win32.get_screen_buffer_info(console, &screen) != 0) {
        const DWORD cells =
            static_cast<DWORD>(screen.dwSize.X) * static_cast<DWORD>(screen.dwSize.Y);
        const COORD top_left = {0, 0};
        DWORD done = 0;
        win32.fill_characters(console, L' ', cells, top_left, &done);
        win32.fill_attributes(console, screen.wAttributes, cells, top_left, &done);
        win32.set_cursor_position(console, top_left);
    }
    win32.close_handle(console);
}
