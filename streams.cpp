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
char out[out_size];
char* out_pos = out;
char* out_end = out;
}  // namespace detail

namespace {

// Input is read 64 KiB at a time, a size at which the reads cost little and
// the buffer stays in the processor's caches. Behind the bytes read stands a
// stop mark, so the scanning loops find the end of the buffer as a byte that
// is neither white space nor a digit, instead of testing for it at every
// byte; and behind the mark, room for a read of sixteen bytes that starts
// just before it. Always in_pos <= in_end: in_pos is the first byte not yet
// taken.
constexpr std::size_t in_size = 64 * 1024;
char in[in_size + 16];
}  // namespace

char* detail::in_pos = in;
char* detail::in_end = in;  // *in_end is always the stop mark, '\0'

namespace {
using detail::in_end;
using detail::in_pos;

bool input_started = false;
bool input_ended = false;
int read_errno = 0;
bool failed = false;
bool output_started = false;

bool is_digit(char c)
{
    return static_cast<unsigned>(c - '0') < 10;
}

// Replaces the buffer, all taken, with the next block of input; false at the
// end of the input, or when it cannot be read. Either way in_pos is where
// the reading goes on.
bool refill()
{
    in_pos = in_end = in;
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

// Where reading stopped for good: the bytes from there on are given back at
// the end.
std::size_t unread = 0;

bool give_up(char* at)
{
    unread = static_cast<std::size_t>(in_end - at);
    in_pos = in_end;
    failed = true;
    return false;
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

bool detail::read_on(std::int32_t& n)
{
    if (failed)
        return false;

    char* p = in_pos;
    for (;;) {
        while (detail::is_space(*p))
            ++p;
        if (p != in_end)
            break;
        if (!refill())
            return give_up(in_pos);
        p = in_pos;
    }

    // Half the numbers may have a sign: it is stepped over without a branch.
    const bool negative = *p == '-';
    p += negative | (*p == '+');
    if (p == in_end) {  // only after a sign
        refill();
        p = in_pos;
    }
    std::uint32_t part = 0;
    int digits = digits::take_digits(p, part);
    if (digits == 0)
        return give_up(p);
    p += digits;
    std::uint64_t value = part;
    if (digits == 8) {
        static constexpr std::uint32_t scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                                           10000000, 100000000};
        digits = digits::take_digits(p, part);
        value = value * scale[digits] + part;
        p += digits;
    }

    // A number longer than that, or cut by the end of the buffer, goes on
    // here a digit at a time. A number out of range is read to its end, but
    // its value stops growing just past the limit: it is never wrapped into
    // another, and leading zeros cost nothing.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    for (;;) {
        while (is_digit(*p)) {
            value = value * 10 + static_cast<unsigned>(*p++ - '0');
            value = value > limit ? limit + 1 : value;
        }
        if (p != in_end)
            break;
        const bool more = refill();
        p = in_pos;
        if (!more)
            break;
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
    if (!output_started) {
        output_started = true;
        const long block = platform::start_output();
        if (block < 0)
            fail("write error", std::strerror(errno));
        out_end = out + std::min(static_cast<std::size_t>(block), out_size);
    }
    for (const char* p = out; p < out_pos;) {
        const long put = platform::write_output(p, static_cast<std::size_t>(out_pos - p));
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

int finish(Input input)
{
    in_pos = input.pos;
    detail::flush();
    if (platform::close_output() < 0)
        fail("write error", std::strerror(errno));
    platform::give_back_input(failed ? unread : static_cast<std::size_t>(in_end - in_pos));
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
