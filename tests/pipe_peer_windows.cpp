// The other end of the viewer's pipes, on Windows: starts the command line it is given and prints
// how it ended, or that it did not in a minute. "leave": reads its output to the first "*" line
// and closes the pipe, as a reader that has seen enough does; "messages": serves \\.\pipe\morvalen
// in messages of 16, 0 and 19 bytes, then ends the connection; "own": its server end as output.

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <windows.h>

int main(int, char **arguments) {
    const bool leave = std::strcmp(arguments[1], "leave") == 0, own = *arguments[1] == 'o';
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE reader = nullptr, writer = GetStdHandle(STD_OUTPUT_HANDLE), server = nullptr;
    if (leave && CreatePipe(&reader, &writer, &inherited, 0) == 0)
        return 2;
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    if (!leave)
        server = CreateNamedPipeA("\\\\.\\pipe\\morvalen", PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1,
                                  4096, 4096, 0, own ? &inherited : nullptr);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = own ? server : writer;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    DWORD got = 0, wrote = 0, status = 0;
    if (server == INVALID_HANDLE_VALUE ||
        CreateProcessA(nullptr, arguments[2], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                       &child) == 0)
        return 2;
    if (leave) {
        CloseHandle(writer);
        char seen[4096] = {};
        for (DWORD total = 0; std::strstr(seen, "\n*\r\n") == nullptr && total + 1 < sizeof seen;
             total += got)
            if (ReadFile(reader, seen + total, sizeof seen - 1 - total, &got, nullptr) == 0 ||
                got == 0)
                break;
        CloseHandle(reader);
    }
    if (!leave)
        ConnectNamedPipe(server, nullptr); // or the command has connected already
    if (!leave && !own) {
        for (const char *message : {"0123456789abcdef", "", "and nineteen bytes."})
            WriteFile(server, message, static_cast<DWORD>(std::strlen(message)), &wrote, nullptr);
        FlushFileBuffers(server); // until the command has read them
        DisconnectNamedPipe(server);
    }
    if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 9);
        std::printf("still running\n");
        return 1;
    }
    GetExitCodeProcess(child.hProcess, &status);
    std::printf("status %lu\n", status);
    return 0;
}
