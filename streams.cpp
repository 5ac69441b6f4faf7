// Standard input and output for extremes; what each routine does is said in
// streams.h.

#include "streams.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

// The one difference between platforms: how the standard streams are reached,
// and how to tell whether reading would wait.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// The C runtime's text mode would turn "\n" into "\r\n" and stop at Ctrl-Z
// behind the program's back. Line ends are written here as the platform has
// them; Ctrl-Z, the console's end of input, cannot begin a number, so it
// ends the reading as the end of input does, and "\r" is white space.
[[maybe_unused]] const bool binary_streams =
    _setmode(0, _O_BINARY) != -1 && _setmode(1, _O_BINARY) != -1;

long read_input(char* buffer, std::size_t size)
{
    return _read(0, buffer, static_cast<unsigned>(size));
}

long write_output(int fd, const char* bytes, std::size_t size)
{
    const long put = _write(fd, bytes, static_cast<unsigned>(size));
    // The C runtime calls a pipe whose reader has gone EINVAL. Windows
    // tells it by one of the first three errors; wine, at times, the last.
    if (put < 0) {
        const DWORD error = GetLastError();
        const bool pipe = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_PIPE;
        if (pipe && (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
                     error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NOT_SUPPORTED))
            errno = EPIPE;
    }
    return put;
}

std::size_t output_block()
{
    return 64 * 1024;
}

bool input_would_wait()
{
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(0));
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK:
        return false;
    case FILE_TYPE_PIPE: {
        DWORD ready = 0;
        return !PeekNamedPipe(h, nullptr, 0, nullptr, &ready, nullptr) || ready == 0;
    }
    default:  // the console, or what cannot be told
        return true;
    }
}

}  // namespace

#else

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Output goes out 64 KiB at a time: few enough writes that they cost
// little, from a block small enough to stay in the processor's caches;
// larger blocks were slower through a pipe of the usual 64 KiB. Where
// standard output is a pipe that can be grown (Linux), it is grown to 1 MiB
// and written half of it at a time: the program fills one half while its
// reader drains the other, and wakes it an eighth as often.
std::size_t output_block()
{
#ifdef F_SETPIPE_SZ
    if (fcntl(1, F_SETPIPE_SZ, 1 << 20) >= 1 << 20)
        return 512 * 1024;
#endif
    return 64 * 1024;
}

long read_input(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::read(0, buffer, size);
        if (got >= 0 || (errno != EINTR && errno != EAGAIN))
            return got;
        if (errno == EAGAIN) {  // standard input was left non-blocking
            pollfd input{0, POLLIN, 0};
            poll(&input, 1, -1);
        }
    }
}

long write_output(int fd, const char* bytes, std::size_t size)
{
    for (;;) {
        const ssize_t put = ::write(fd, bytes, size);
        if (put >= 0 || errno != EINTR)
            return put;
    }
}

bool input_would_wait()
{
    pollfd input{0, POLLIN, 0};
    return poll(&input, 1, 0) != 1;
}

}  // namespace

#endif

namespace io {

namespace detail {
char out[out_size];
char* out_pos = out;
char* out_end = out + output_block();
}  // namespace detail

namespace {

// 64 KiB, as a block of output. Behind the bytes read stands a stop mark, so the
// scanning loops find the end of the buffer as a byte that is neither white
// space nor a digit, instead of testing for it at every byte; and behind the
// mark, room for a read of eight bytes that starts at it.
constexpr std::size_t in_size = 64 * 1024;
char in[in_size + 8];
char* in_pos = in;
char* in_end = in;  // *in_end is always the stop mark, '\0'

bool input_ended = false;
int read_errno = 0;
bool failed = false;

bool is_space(char c)
{
    return c == ' ' || static_cast<unsigned>(c - '\t') < 5;  // \t \n \v \f \r
}

bool is_digit(char c)
{
    return static_cast<unsigned>(c - '0') < 10;
}

// Takes the digits among the eight bytes at p, up to the first other byte,
// all at once: returns how many there are and puts their value in value.
// Any eight bytes there may be read; those past the digits do not count.
int take_digits(const char* p, std::uint32_t& value)
{
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    x ^= 0x3030303030303030;  // digits become the bytes 0 to 9
    // A byte over 9 sets its top bit in x + 0x76 or already has it in x. A
    // carry out of a byte can only spoil the bytes after it.
    const std::uint64_t other = (x | (x + 0x7676767676767676)) & 0x8080808080808080;
    if (other & 0x80) {
        value = 0;
        return 0;
    }
    const int n = other ? __builtin_ctzll(other) / 8 : 8;
    // The first byte read is the lowest: shifting the digits up to the top
    // puts zero digits in front of them. Then pairs of digits are joined,
    // then pairs of pairs, then the two halves.
    x <<= 64 - 8 * n;
    x = (x * 10 + (x >> 8)) & 0x00ff00ff00ff00ff;
    x = (x * 100 + (x >> 16)) & 0x0000ffff0000ffff;
    value = static_cast<std::uint32_t>(x * 10000 + (x >> 32));
    return n;
}

// Replaces the used-up buffer with the next block of input; false at the end
// of the input, or when it cannot be read.
bool refill()
{
    if (input_ended)
        return false;
    if (input_would_wait())
        detail::flush();
    long got = read_input(in, in_size);
    if (got <= 0) {
        input_ended = true;
        if (got < 0)
            read_errno = errno;
        got = 0;
    }
    in_pos = in;
    in_end = in + got;
    *in_end = '\0';
    return got > 0;
}

bool give_up(char* at)
{
    in_pos = at;
    failed = true;
    return false;
}

void report(const char* what, const char* reason)
{
    char message[256] = "extremes: ";
    std::strncat(message, what, 100);
    if (reason) {
        std::strcat(message, ": ");
        std::strncat(message, reason, 100);
    }
    std::strcat(message, "\n");
    write_output(2, message, std::strlen(message));
}

}  // namespace

bool read(std::int32_t& n)
{
    if (failed)
        return false;

    char* p = in_pos;
    for (;;) {
        while (is_space(*p))
            ++p;
        if (p != in_end)
            break;
        if (!refill())
            return give_up(p);
        p = in_pos;
    }

    // Half the numbers may have a sign: it is stepped over without a branch.
    const bool negative = *p == '-';
    p += negative | (*p == '+');
    if (p == in_end && refill())  // only after a sign
        p = in_pos;
    std::uint32_t part = 0;
    int digits = take_digits(p, part);
    if (digits == 0)
        return give_up(p);
    p += digits;
    std::uint64_t value = part;
    if (digits == 8) {
        constexpr std::uint32_t scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                                           10000000, 100000000};
        digits = take_digits(p, part);
        value = value * scale[digits] + part;
        p += digits;
    }

    // A number longer than that, or cut by the end of the buffer, goes on
    // here a digit at a time. The range is checked as the digits come, so that
    // no number is wrapped into another and leading zeros cost nothing.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    for (;;) {
        while (is_digit(*p)) {
            value = value * 10 + static_cast<unsigned>(*p++ - '0');
            if (value > limit)
                return give_up(p);
        }
        if (p != in_end || !refill())
            break;
        p = in_pos;
    }
    if (value > limit)
        return give_up(p);
    in_pos = p;
    const auto magnitude = static_cast<std::int64_t>(value);
    n = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

void detail::flush()
{
    for (const char* p = out; p < out_pos;) {
        const long put = write_output(1, p, static_cast<std::size_t>(out_pos - p));
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            if (errno == EPIPE)  // the reader has gone: nobody is left to tell
                std::_Exit(1);
            fail("write error", std::strerror(errno));
        }
        p += put;
    }
    out_pos = out;
}

int finish()
{
    detail::flush();
    if (read_errno == 0)
        return 0;
    report("read error", std::strerror(read_errno));
    return 1;
}

void fail(const char* what, const char* reason)
{
    report(what, reason);
    std::_Exit(1);
}

}  // namespace io
