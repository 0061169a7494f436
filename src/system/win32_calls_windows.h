#pragma once

// Every Win32 call that the program's input, output and console make on files, pipes, the
// console and the process goes through this table, so that the tests can put a scripted system
// underneath; it holds the system's own calls. What only asks the thread's last error, turns
// text from one form into another, words an error or finds a function is called directly.

#include <windows.h>

// What one end of a pipe knows of the other (FILE_PIPE_CLOSING_STATE: it has gone), and which
// end it is itself: its server's, or a client's (FILE_PIPE_SERVER_END, FILE_PIPE_CLIENT_END).
constexpr ULONG pipe_closing_state = 4;
constexpr ULONG pipe_server_end = 1;

struct Win32Calls {
    decltype(&CreateFileW) create_file;
    decltype(&CloseHandle) close_handle;
    decltype(&ReadFile) read_file;
    decltype(&WriteFile) write_file;
    decltype(&SetFilePointerEx) set_file_pointer;
    decltype(&GetFileType) get_file_type;
    decltype(&GetStdHandle) get_std_handle;
    decltype(&GetFileInformationByHandle) get_file_information;
    decltype(&GetFileInformationByHandleEx) get_file_information_ex;
    decltype(&GetFileSizeEx) get_file_size;
    decltype(&DeviceIoControl) device_io_control;
    decltype(&GetConsoleMode) get_console_mode;
    decltype(&WriteConsoleW) write_console;
    decltype(&GetConsoleScreenBufferInfo) get_screen_buffer_info;
    decltype(&FillConsoleOutputCharacterW) fill_characters;
    decltype(&FillConsoleOutputAttribute) fill_attributes;
    decltype(&SetConsoleCursorPosition) set_cursor_position;
    decltype(&GetTickCount) get_tick_count;
    // The state of the pipe `pipe` as its own end sees it, and which end that is
    // (NtQueryInformationFile with FilePipeLocalInformation); false where the system does not
    // tell.
    bool (*pipe_state)(HANDLE pipe, ULONG *state, ULONG *end);
    void (*exit)(int status);
};

extern Win32Calls win32;
