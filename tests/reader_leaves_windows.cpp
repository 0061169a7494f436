// Starts the command line it is given with its standard output into a pipe, reads up to the
// first "*" line (from then on a run of repeats writes nothing) and closes the pipe, as a
// reader that has seen enough does; then prints how the command ended, or that it did not
// within a minute.

#include <cstdio>
#include <cstring>
#include <windows.h>

int main(int, char **arguments) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (CreatePipe(&reader, &writer, &inherited, 0) == 0)
        return 2;
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = writer;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    if (CreateProcessA(nullptr, arguments[1], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                       &child) == 0)
        return 2;
    CloseHandle(writer);
    char seen[4096] = {};
    DWORD got = 0;
    for (DWORD total = 0; std::strstr(seen, "\n*\r\n") == nullptr && total + 1 < sizeof seen;
         total += got)
        if (ReadFile(reader, seen + total, sizeof seen - 1 - total, &got, nullptr) == 0 || got == 0)
            break;
    CloseHandle(reader);
    DWORD status = 0;
    if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 9);
        std::printf("still running\n");
        return 1;
    }
    GetExitCodeProcess(child.hProcess, &status);
    std::printf("status %lu\n", status);
    return 0;
}
