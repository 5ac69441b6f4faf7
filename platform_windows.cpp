// Standard input and output on Windows, through the C runtime's POSIX-like
// calls, which keep errno.

#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

namespace {

HANDLE handle(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Wine, at times, fails a write to a pipe whose reader has gone with
// ERROR_NOT_SUPPORTED. On Windows that error could mean something else, and
// is then reported as it is: only wine's own programs have this entry point.
bool under_wine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Up to Windows 7 and Server 2008 R2, a console serves each read and write
// from a shared heap of 64 KiB, and fails one that is too large with
// ERROR_NOT_ENOUGH_MEMORY. A transfer with a console is therefore kept to
// 16 KiB, well inside it; files and pipes keep their large blocks. The NUL
// device is a character device too, but has no console mode.
constexpr std::size_t console_transfer = 16 * 1024;
bool console_input = false;

bool is_console(int fd)
{
    const HANDLE stream = handle(fd);
    DWORD mode = 0;
    return GetFileType(stream) == FILE_TYPE_CHAR && GetConsoleMode(stream, &mode);
}

}  // namespace

// The C runtime's text mode would turn "\n" into "\r\n" and stop at Ctrl-Z
// behind the program's back. Line ends are written as the platform has them
// (platform::eol); Ctrl-Z, the console's end of input, cannot begin a
// number, so it ends the reading as the end of input does, and "\r" is
// white space.
int start_input()
{
    if (_setmode(0, _O_BINARY) == -1)
        return -1;
    console_input = is_console(0);
    return 0;
}

long start_output()
{
    if (_setmode(1, _O_BINARY) == -1)
        return -1;
    return is_console(1) ? console_transfer : 64 * 1024;
}

bool input_would_wait()
{
    const HANDLE input = handle(0);
    switch (GetFileType(input)) {
    case FILE_TYPE_DISK:
        return false;
    case FILE_TYPE_PIPE: {
        DWORD ready = 0;
        return !PeekNamedPipe(input, nullptr, 0, nullptr, &ready, nullptr) || ready == 0;
    }
    default:  // the console, or what cannot be told
        return true;
    }
}

long read_input(char* buffer, std::size_t size)
{
    const std::size_t most = console_input ? std::min(size, console_transfer) : size;
    return _read(0, buffer, static_cast<unsigned>(most));
}

long write_output(const char* bytes, std::size_t size)
{
    const long put = _write(1, bytes, static_cast<unsigned>(size));
    if (put >= 0)
        return put;
    // Windows' own error, which the C runtime keeps in _doserrno, is taken
    // before any other call can change it. The C runtime calls a pipe whose
    // reader has gone EINVAL; Windows tells it by one of these errors.
    const DWORD error = _doserrno;
    const int reason = errno;
    const bool reader_gone = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
                             error == ERROR_PIPE_NOT_CONNECTED ||
                             (error == ERROR_NOT_SUPPORTED && under_wine());
    errno = reader_gone && GetFileType(handle(1)) == FILE_TYPE_PIPE ? EPIPE : reason;
    return put;
}

void write_error(const char* bytes, std::size_t size)
{
    // The message has its line end already: text mode would double the "\r".
    _setmode(2, _O_BINARY);
    while (size > 0) {
        const int put = _write(2, bytes, static_cast<unsigned>(size));
        if (put <= 0)
            return;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
}

void give_back_input(std::size_t unread)
{
    if (unread > 0 && GetFileType(handle(0)) == FILE_TYPE_DISK)
        _lseeki64(0, -static_cast<long long>(unread), SEEK_CUR);
}

// Windows has no SIGPIPE: a write to a pipe whose reader has gone fails.
void release_held_signal()
{
}

int close_output()
{
    return _close(1);
}

}  // namespace platform
