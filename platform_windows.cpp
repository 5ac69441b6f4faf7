// Standard input and output on Windows, through the C runtime's POSIX-like
// calls, which set errno.

#include "platform.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#ifdef _MSC_VER
#include <corecrt_startup.h>
#else
// The C runtime's parser of the wide command line, the one that made argv
// of the narrow one: msvcrt.dll exports it, and MinGW-w64 declares it only
// for its own start-up code.
struct StartupInfo {
    int new_mode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expand_wildcards,
                              StartupInfo* info);
#endif

namespace platform {

namespace {

HANDLE handle(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Wine at times fails a write to a closed pipe with ERROR_NOT_SUPPORTED,
// which on Windows means something else. Only wine's ntdll exports this.
bool under_wine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Up to Windows 7, a console serves each transfer from a shared 64 KiB
// heap, and fails a large one with ERROR_NOT_ENOUGH_MEMORY.
constexpr std::size_t console_transfer = 16 * 1024;
bool console_input = false;

// NUL is a character device too, but has no console mode.
bool is_console(int fd)
{
    const HANDLE stream = handle(fd);
    DWORD mode = 0;
    return GetFileType(stream) == FILE_TYPE_CHAR && GetConsoleMode(stream, &mode);
}

}  // namespace

// Binary mode: text mode's CRLF translation and Ctrl-Z as end of file
// would act behind the program's back. It writes eol itself; "\r" is white
// space, and Ctrl-Z, which no number begins with, ends the reading.
int start_input()
{
    if (_setmode(0, _O_BINARY) == -1)
        return -1;
    console_input = is_console(0);
    return 0;
}

// 64 KiB writes cost little and stay in the processor's caches.
constexpr long write_size = 64 * 1024;

// Windows cannot resize a pipe: pipe_size is 0, and grow_output is never
// called.
long start_output(long& pipe_size)
{
    pipe_size = 0;
    if (_setmode(1, _O_BINARY) == -1)
        return -1;
    return is_console(1) ? console_transfer : write_size;
}

long grow_output()
{
    return write_size;
}

bool input_would_block()
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

bool input_read_to_end()
{
    return GetFileType(handle(0)) == FILE_TYPE_DISK && _telli64(0) >= _filelengthi64(0);
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
    // Taken before any other call can change them. The C runtime calls a
    // closed pipe EINVAL; Windows' own error tells it.
    const DWORD error = _doserrno;
    const int reason = errno;
    const bool reader_gone = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
                             error == ERROR_PIPE_NOT_CONNECTED ||
                             (error == ERROR_NOT_SUPPORTED && under_wine());
    errno = reader_gone && GetFileType(handle(1)) == FILE_TYPE_PIPE ? EPIPE : reason;
    return put;
}

bool write_error(const char* bytes, std::size_t size)
{
    assert(size <= error_piece);
    if (is_console(2)) {
        wchar_t wide[error_piece];
        const int units = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), wide, error_piece);
        for (int done = 0; done < units;) {
            DWORD put = 0;
            const auto left = static_cast<DWORD>(units - done);
            if (!WriteConsoleW(handle(2), wide + done, left, &put, nullptr) || put == 0)
                return false;
            done += static_cast<int>(put);
        }
        return units > 0 || size == 0;
    }
    // The message ends in eol: text mode would double its "\r".
    _setmode(2, _O_BINARY);
    while (size > 0) {
        const int put = _write(2, bytes, static_cast<unsigned>(size));
        if (put <= 0)
            return false;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// Encoded here, not by WideCharToMultiByte, which makes an unpaired
// surrogate U+FFFD, a character that shows: it becomes '?', as a quote
// shows what it cannot.
const char* const* utf8_arguments(int& count, const char* const[])
{
    int argc = 0;
    wchar_t** wide = nullptr;
#ifdef _MSC_VER
    if (_configure_wide_argv(_crt_argv_unexpanded_arguments) != 0)
        return nullptr;
    argc = __argc;
    wide = __wargv;
#else
    wchar_t** environment = nullptr;
    StartupInfo info{};
    if (__wgetmainargs(&argc, &wide, &environment, 0, &info) < 0)
        return nullptr;
#endif
    // A UTF-16 unit takes at most three bytes, a surrogate pair four.
    std::size_t room = 0;
    for (int k = 1; k < argc; ++k)
        room += 3 * std::wcslen(wide[k]) + 1;
    const auto utf8 = static_cast<char**>(std::malloc(argc * sizeof(char*) + room));
    if (!utf8)
        return nullptr;
    char* p = reinterpret_cast<char*>(utf8 + argc);
    const auto in = [](unsigned c, unsigned first, unsigned last) { return first <= c && c <= last; };
    for (int k = 1; k < argc; ++k) {
        utf8[k - 1] = p;
        for (const wchar_t* w = wide[k]; *w; ++w) {
            unsigned c = *w;
            if (in(c, 0xd800, 0xdbff) && in(w[1], 0xdc00, 0xdfff))
                c = 0x10000 + ((c - 0xd800) << 10) + (*++w - 0xdc00u);
            else if (in(c, 0xd800, 0xdfff))
                c = '?';
            constexpr unsigned char lead[] = {0x00, 0xc0, 0xe0, 0xf0};
            const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
            *p++ = static_cast<char>(lead[tail] | c >> 6 * tail);
            for (int t = tail - 1; t >= 0; --t)
                *p++ = static_cast<char>(0x80 | (c >> 6 * t & 0x3f));
        }
        *p++ = '\0';
    }
    count = argc - 1;
    return utf8;
}

void seek_back_input(std::size_t unread)
{
    if (unread > 0 && GetFileType(handle(0)) == FILE_TYPE_DISK)
        _lseeki64(0, -static_cast<long long>(unread), SEEK_CUR);
}

// Windows has no SIGPIPE: a write to a closed pipe fails with EPIPE.
void release_held_signal()
{
}

int close_output()
{
    return _close(1);
}

}  // namespace platform
