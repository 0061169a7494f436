#pragma once

// The scripted system under the program's Win32 calls. Its errors are the POSIX ones of the
// script, each given as the Windows error that means the same; Windows has no interrupted
// calls, so an interruption the script asks for is no failure here.

#include "fake_model.h"
#include "system/console_writer_windows.h"
#include "system/wide_text.h"
#include "system/win32_calls_windows.h"

#include <algorithm>
#include <utility>

namespace {

HANDLE const fake_output = reinterpret_cast<HANDLE>(1), fake_error = reinterpret_cast<HANDLE>(2),
             fake_console = reinterpret_cast<HANDLE>(3);

// The console's screen buffer, opened as CONOUT$: 80 by 25 cells, a character and colours each.
struct Screen {
    std::wstring text = std::wstring(80 * 25, L'x');
    std::vector<WORD> colours = std::vector<WORD>(80 * 25, 7);
    COORD cursor = {9, 5};
    bool open = false;
} screen;

int fd_of(HANDLE handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

BOOL failed_with(int error) {
    SetLastError(error == EIO             ? ERROR_CRC
                 : error == ENOSPC        ? ERROR_DISK_FULL
                 : error == EPIPE         ? ERROR_NO_DATA
                 : error == ENOENT        ? ERROR_FILE_NOT_FOUND
                 : error == ENOTCONN      ? ERROR_PIPE_NOT_CONNECTED
                 : error == unnamed_error ? APPLICATION_ERROR_MASK | error
                                          : ERROR_GEN_FAILURE);
    return FALSE;
}

// The file a handle is, as an index into the script's files: -1 for an output that is none.
int index_of(HANDLE handle) {
    return handle == fake_output ? fake->output_file
                                 : static_cast<int>(fake->open.at(fd_of(handle)).first);
}

mode_t type_of(HANDLE handle) {
    const int index = index_of(handle);
    return handle == fake_output && index < 0 ? fake->output_type
                                              : fake->files[static_cast<std::size_t>(index)].type;
}

// What went out, with each CR LF taken back to the LF the program wrote. A lone LF or CR is
// marked, so that no case passes without its CRs.
void take_back_crlf(bool to_error, const std::string &text) {
    static bool cr_pending[2] = {};
    std::string &stream = to_error ? fake->err : fake->out;
    for (const char c : text) {
        if (cr_pending[to_error] != (c == '\n'))
            stream += cr_pending[to_error] ? "[CR]" : "[LF]";
        cr_pending[to_error] = c == '\r';
        stream += cr_pending[to_error] ? "" : std::string(1, c);
    }
}

BOOL WINAPI fake_write_file(HANDLE to, LPCVOID data, DWORD count, LPDWORD wrote, LPOVERLAPPED) {
    std::string &stream = to == fake_error ? fake->err : fake->out;
    const std::size_t before = stream.size();
    const long long took =
        model_write(to == fake_error, static_cast<const char *>(data), count, false);
    if (took < 0)
        return failed_with(errno);
    const std::string text = stream.substr(before);
    stream.resize(before);
    take_back_crlf(to == fake_error, text);
    *wrote = static_cast<DWORD>(took);
    return TRUE;
}

BOOL WINAPI fake_write_console(HANDLE, const VOID *wide, DWORD count, LPDWORD wrote, LPVOID) {
    static char text[4 * 65536];
    if (fails(write_call) && errno != EINTR && errno != EAGAIN)
        return failed_with(errno);
    const auto taken = static_cast<int>(std::min<std::size_t>(count, fake->write_max));
    const int size = WideCharToMultiByte(CP_UTF8, 0, static_cast<const wchar_t *>(wide), taken,
                                         text, sizeof text, nullptr, nullptr);
    take_back_crlf(false, std::string(text, static_cast<std::size_t>(size)));
    *wrote = static_cast<DWORD>(taken);
    return TRUE;
}

// The ranges a sparse file keeps, in the 4 KiB units the system allocates, from the asked
// range's start on; where they do not all fit, ERROR_MORE_DATA with those that do.
BOOL WINAPI fake_device_io_control(HANDLE file, DWORD, LPVOID in, DWORD, LPVOID out, DWORD out_size,
                                   LPDWORD answer_size, LPOVERLAPPED) {
    if (fails(hole_call))
        return failed_with(errno);
    if (fake->during_hole_query)
        fake->during_hole_query();
    const auto *asked = static_cast<const FILE_ALLOCATED_RANGE_BUFFER *>(in);
    auto *ranges = static_cast<FILE_ALLOCATED_RANGE_BUFFER *>(out);
    const auto from = static_cast<std::uint64_t>(asked->FileOffset.QuadPart),
               to = from + static_cast<std::uint64_t>(asked->Length.QuadPart);
    std::size_t listed = 0;
    *answer_size = 0;
    for (const auto &[at, data] : fake->files[static_cast<std::size_t>(index_of(file))].extents) {
        const std::uint64_t start = std::max(at / 4096 * 4096, from),
                            end = std::min((at + data.size() + 4095) / 4096 * 4096, to);
        if (start >= end)
            continue;
        if (listed == out_size / sizeof *ranges) {
            SetLastError(ERROR_MORE_DATA);
            return FALSE;
        }
        ranges[listed].FileOffset.QuadPart = static_cast<LONGLONG>(start);
        ranges[listed++].Length.QuadPart = static_cast<LONGLONG>(end - start);
        *answer_size = static_cast<DWORD>(listed * sizeof *ranges);
    }
    return TRUE;
}

HANDLE WINAPI fake_create_file(LPCWSTR wide, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                               HANDLE) {
    const std::string path = text_from_utf16(reinterpret_cast<const char16_t *>(wide));
    if (path == "CONOUT$") {
        screen.open = true;
        return fake_console;
    }
    const auto file = std::find_if(fake->files.begin(), fake->files.end(),
                                   [&](const File &f) { return f.path == path; });
    const bool failed = fails(open_call);
    if (failed || file == fake->files.end() || file->type == S_IFDIR) {
        failed_with(failed ? errno : file == fake->files.end() ? ENOENT : EACCES);
        return INVALID_HANDLE_VALUE;
    }
    const auto index = static_cast<std::size_t>(file - fake->files.begin());
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(open_file(index)));
}

BOOL WINAPI fake_close_handle(HANDLE file) {
    if (file == fake_console)
        return std::exchange(screen.open, false) ? TRUE : FALSE;
    return fake->open.erase(fd_of(file)) == 1 ? TRUE : FALSE;
}

BOOL WINAPI fake_get_screen_buffer_info(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) {
    *info = {};
    info->dwSize = {80, 25};
    info->wAttributes = 0x1e;
    return console == fake_console && screen.open ? TRUE : FALSE;
}

// Fills `count` cells from `at` with `value`, as far as the screen goes.
template <typename Cell, typename Cells>
BOOL fill(Cells &cells, Cell value, DWORD count, COORD at, LPDWORD done) {
    const auto from = static_cast<std::size_t>(at.Y * 80 + at.X);
    *done = static_cast<DWORD>(std::min<std::size_t>(count, cells.size() - from));
    std::fill_n(cells.begin() + static_cast<std::ptrdiff_t>(from), *done, value);
    return TRUE;
}
BOOL WINAPI fake_fill_characters(HANDLE, WCHAR c, DWORD count, COORD at, LPDWORD done) {
    return fill(screen.text, c, count, at, done);
}
BOOL WINAPI fake_fill_attributes(HANDLE, WORD colours, DWORD count, COORD at, LPDWORD done) {
    return fill(screen.colours, colours, count, at, done);
}
BOOL WINAPI fake_set_cursor_position(HANDLE, COORD at) {
    screen.cursor = at;
    return TRUE;
}

BOOL WINAPI fake_read_file(HANDLE file, LPVOID into, DWORD count, LPDWORD read, LPOVERLAPPED) {
    const long long got = model_read(fd_of(file), into, count, false);
    if (got < 0)
        return failed_with(errno);
    *read = static_cast<DWORD>(got);
    const auto &[index, position] = fake->open.at(fd_of(file)); // before the end: a message of none
    if (got > 0 || count == 0 || type_of(file) != S_IFIFO || position < fake->files[index].size)
        return TRUE;
    SetLastError(ERROR_BROKEN_PIPE); // how a pipe ends
    return FALSE;
}

BOOL WINAPI fake_set_file_pointer(HANDLE file, LARGE_INTEGER to, PLARGE_INTEGER, DWORD) {
    if (fails(seek_call))
        return failed_with(errno);
    fake->open.at(fd_of(file)).second = static_cast<std::uint64_t>(to.QuadPart);
    return TRUE;
}

DWORD WINAPI fake_get_file_type(HANDLE file) {
    const mode_t type = file == fake_error ? S_IFREG : type_of(file);
    return type == S_IFREG ? FILE_TYPE_DISK : type == S_IFCHR ? FILE_TYPE_CHAR : FILE_TYPE_PIPE;
}

HANDLE WINAPI fake_get_std_handle(DWORD which) {
    return which == STD_OUTPUT_HANDLE ? fake_output : fake_error;
}

// The index a file is known by: the output's may be that of the first file, as under Wine two
// files on two Unix file systems may share one.
int file_index(HANDLE file) {
    return file == fake_output && fake->output_index_clash ? 1 : index_of(file) + 1;
}
DWORD volume_of(HANDLE file) { // the output's may be through a drive of its own, as under Wine
    return fake->output_volume_unknown ? 0 : file == fake_output && fake->output_drive ? 8 : 7;
}

BOOL WINAPI fake_get_file_information(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    if (fails(fstat_call))
        return failed_with(errno);
    const int index = index_of(file);
    *information = {};
    information->dwVolumeSerialNumber = volume_of(file);
    information->nFileIndexLow = static_cast<DWORD>(file_index(file));
    if (index < 0)
        return TRUE;
    const File &data = fake->files[static_cast<std::size_t>(index)];
    const bool sparse = data.type == S_IFREG && allocated_bytes(data) < data.size;
    information->dwFileAttributes = sparse ? FILE_ATTRIBUTE_SPARSE_FILE : 0;
    information->nFileSizeHigh = static_cast<DWORD>(data.size >> 32);
    information->nFileSizeLow = static_cast<DWORD>(data.size);
    return TRUE;
}

BOOL WINAPI fake_get_file_id(HANDLE file, FILE_INFO_BY_HANDLE_CLASS, LPVOID into, DWORD) {
    if (fails(file_id_call))
        return failed_with(errno);
    auto *id = static_cast<FILE_ID_INFO *>(into);
    *id = {};
    id->VolumeSerialNumber = volume_of(file);
    id->FileId.Identifier[0] = static_cast<BYTE>(file_index(file));
    return TRUE;
}

BOOL WINAPI fake_get_file_size(HANDLE file, PLARGE_INTEGER size) {
    size->QuadPart = static_cast<LONGLONG>(fake->files[fake->open.at(fd_of(file)).first].size);
    return TRUE;
}

BOOL WINAPI fake_get_console_mode(HANDLE console, LPDWORD) {
    return console == fake_output && type_of(console) == S_IFCHR ? TRUE : FALSE;
}

DWORD WINAPI fake_get_tick_count() {
    return static_cast<DWORD>(fake->now_ms);
}

// The output pipe is at its server's end where it is the input's own pipe, and at a client's
// where another program reads it.
bool fake_pipe_state(HANDLE pipe, ULONG *state, ULONG *end) {
    *state = fake->reader_gone ? pipe_closing_state : 3; // 3: connected
    *end = pipe == fake_output && fake->output_file >= 0 ? pipe_server_end : 0;
    return type_of(pipe) == S_IFIFO;
}

void fake_exit(int status) {
    if (fake->in_process)
        throw Ended{status};
    std::exit(status);
}

const Win32Calls fake_calls = {
    fake_create_file,         fake_close_handle,
    fake_read_file,           fake_write_file,
    fake_set_file_pointer,    fake_get_file_type,
    fake_get_std_handle,      fake_get_file_information,
    fake_get_file_id,         fake_get_file_size,
    fake_device_io_control,   fake_get_console_mode,
    fake_write_console,       fake_get_screen_buffer_info,
    fake_fill_characters,     fake_fill_attributes,
    fake_set_cursor_position, fake_get_tick_count,
    fake_pipe_state,          fake_exit,
};

// Runs `body` with the fake in place of the system.
template <typename Body> auto with_fake(Fake &script, Body body) {
    return with_calls(&win32, fake_calls, script, body);
}

// How a run ends when its output's reader leaves, and the outputs that can tell.
const int reader_gone_status = 1;
const mode_t outputs_whose_reader_may_leave[] = {S_IFIFO};
const std::size_t largest_system_write = text_part; // the CR LF writer takes parts
const bool windows_face = true;
const int seek_past_hole = 1;

} // namespace
