// Standard input and output for extremes; what each routine does is said in
// streams.h, and what differs between platforms is behind platform.h.

#include "streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace io {

namespace detail {
char out[out_size + out_room_past_end];
char* out_pos = out;
char* out_end = out;
}  // namespace detail

namespace {

// Input is read 64 KiB at a time, a size at which the reads cost little and
// the buffer stays in the processor's caches. Behind the bytes read stands
// the sentinel, '\0', and behind it room for a load of sixteen bytes that
// starts at the sentinel; in front of them, room for the two bytes before a
// number that take_number reads.
constexpr std::size_t in_size = 64 * 1024;
char in_space[16 + in_size + 16];
char* const in = in_space + 16;
}  // namespace

char* detail::in_end = in;

namespace {
using detail::in_end;
using detail::Resume;

bool input_started = false;
bool input_ended = false;
int read_errno = 0;
bool output_started = false;

// Set once a read has found no number, at the end of the input or before
// something else: no more input is taken, and the bytes read from the
// input after the place where reading stopped, unread, are given back at
// the end.
bool stopped = false;
std::size_t unread = 0;

bool is_digit(char c)
{
    return static_cast<unsigned>(c - '0') < 10;
}

// Replaces the buffer, all taken, with the next block of input, which then
// starts at in; false, with the buffer empty, at the end of the input or
// when it cannot be read.
bool refill()
{
    in_end = in;
    *in_end = '\0';
    if (input_ended)
        return false;
    if (!input_started) {
        input_started = true;
        if (platform::start_input() < 0) {
            input_ended = true;
            read_errno = errno;
            return false;
        }
    }
    if (platform::input_would_wait())
        detail::flush();
    const long got = platform::read_input(in, in_size);
    if (got <= 0) {
        input_ended = true;
        if (got < 0)
            read_errno = errno;
        return false;
    }
    in_end = in + got;
    *in_end = '\0';
    return true;
}

// Stops the reading at the byte at, which the next reader is to start from.
// Reading goes on at the sentinel, which sends every read to the slow path,
// where it fails.
Resume give_up(const char* at)
{
    unread = static_cast<std::size_t>(in_end - at);
    stopped = true;
    return {in_end, 0, false};
}

void report(const char* what, const char* reason)
{
    char message[256];
    std::size_t length = 0;
    for (const char* piece : {"extremes: ", what, reason ? ": " : "", reason ? reason : "", eol}) {
        const std::size_t n = std::min(std::strlen(piece), sizeof message - length);
        std::memcpy(message + length, piece, n);
        length += n;
    }
    platform::write_error(message, length);
}

}  // namespace

Resume detail::read_slowly(const char* p)
{
    if (stopped)
        return {p, 0, false};

    for (;;) {
        while (detail::is_space(*p))
            ++p;
        if (p != in_end)
            break;
        if (!refill())
            return give_up(in_end);
        p = in;
    }

    const bool negative = *p == '-';
    if (negative || *p == '+') {
        ++p;
        if (p == in_end) {  // a sign at the end of a block
            refill();
            p = in;
        }
    }
    if (!is_digit(*p))
        return give_up(p);

    // The digits are read to the last, across blocks. A number out of range
    // is read to its end, but its value stops growing just past the limit:
    // it is never wrapped into another, and leading zeros cost nothing.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    for (;;) {
        while (is_digit(*p)) {
            value = value * 10 + static_cast<unsigned>(*p++ - '0');
            value = std::min(value, limit + 1);
        }
        if (p != in_end)
            break;
        const bool more = refill();
        p = in;
        if (!more)
            break;
    }
    if (value > limit)
        return give_up(p);
    const auto magnitude = static_cast<std::int64_t>(value);
    return {p, static_cast<std::int32_t>(negative ? -magnitude : magnitude), true};
}

namespace {

void start_output()
{
    output_started = true;
    const long block = platform::start_output();
    if (block < 0)
        fail("write error", std::strerror(errno));
    detail::out_end = detail::out + std::min(static_cast<std::size_t>(block), detail::out_size);
}

// Writes out the bytes from out up to end.
void write_out(const char* end)
{
    for (const char* p = detail::out; p < end;) {
        const long put = platform::write_output(p, static_cast<std::size_t>(end - p));
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            if (errno == EPIPE)  // the reader has gone: nobody is left to tell
                std::_Exit(1);
            fail("write error", std::strerror(errno));
        }
        p += put;
    }
}

}  // namespace

void detail::flush()
{
    if (!output_started)
        start_output();
    write_out(out_pos);
    out_pos = out;
}

char* detail::flush_block(char* end)
{
    if (!output_started) {
        start_output();
        if (end < out_end)
            return end;
    }
    write_out(out_end);
    const auto past = static_cast<std::size_t>(end - out_end);
    std::memmove(out, out_end, past);
    return out + past;
}

int finish(const Input& input)
{
    detail::flush();
    if (platform::close_output() < 0)
        fail("write error", std::strerror(errno));
    platform::give_back_input(stopped ? unread : static_cast<std::size_t>(in_end - input.pos));
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
