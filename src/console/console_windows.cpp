#include "console.h"

#include <windows.h>

// The console's own screen buffer, opened by name rather than through standard output, so
// that it is cleared even when the output is redirected to a file. A process without a
// console (detached, a service) has nothing to clear.
void clear_console() {
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (GetConsoleScreenBufferInfo(console, &screen) != 0) {
        const DWORD cells =
            static_cast<DWORD>(screen.dwSize.X) * static_cast<DWORD>(screen.dwSize.Y);
        const COORD top_left = {0, 0};
        DWORD done = 0;
        FillConsoleOutputCharacterW(console, L' ', cells, top_left, &done);
        FillConsoleOutputAttribute(console, screen.wAttributes, cells, top_left, &done);
        SetConsoleCursorPosition(console, top_left);
    }
    CloseHandle(console);
}
