#include "win32_calls_windows.h"

#include <cstdlib>

namespace {

// As ntdll lays them out; the call is found at run time, so that the program imports only
// KERNEL32 and the C runtime.
struct PipeLocalInformation {
    ULONG type, configuration, maximum_instances, current_instances, inbound_quota,
        read_data_available, outbound_quota, write_quota_available, state, end;
};
struct IoStatusBlock {
    void *status;
    ULONG_PTR information;
};
using QueryInformationFile = LONG(WINAPI *)(HANDLE, IoStatusBlock *, void *, ULONG, int);
constexpr int file_pipe_local_information = 24;

bool pipe_state(HANDLE pipe, ULONG *state, ULONG *end) {
    static const auto query = reinterpret_cast<QueryInformationFile>( // NOLINT
        reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    IoStatusBlock status{};
    PipeLocalInformation information{};
    if (query == nullptr ||
        query(pipe, &status, &information, sizeof information, file_pipe_local_information) < 0)
        return false;
    *state = information.state;
    *end = information.end;
    return true;
}

} // namespace

Win32Calls win32 = {
    CreateFileW,
    CloseHandle,
    ReadFile,
    WriteFile,
    SetFilePointerEx,
    GetFileType,
    GetStdHandle,
    GetFileInformationByHandle,
    GetFileInformationByHandleEx,
    GetFileSizeEx,
    DeviceIoControl,
    GetConsoleMode,
    WriteConsoleW,
    GetConsoleScreenBufferInfo,
    FillConsoleOutputCharacterW,
    FillConsoleOutputAttribute,
    SetConsoleCursorPosition,
    GetTickCount,
    pipe_state,
    std::exit,
};
