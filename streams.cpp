// Standard input and output for extremes; what each routine does is said in
// streams.h, and what differs between platforms is behind platform.h.

#include "streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>

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
// something else: no more input is taken, and the characters of the buffer
// after the place where reading stopped, unread, are given back at the end
// as the input's bytes.
bool stopped = false;
std::size_t unread = 0;

// What the bytes of the input are, as a byte-order mark at its very start
// says: text of one byte a character (no mark, or UTF-8's, which is
// skipped), or UTF-16 in either byte order, each 16-bit unit of which
// becomes one byte of the buffer. The scanners then see 8-bit text always,
// and a position in the buffer stays one character of the input.
enum class Encoding { bytes, utf16_little_endian, utf16_big_endian };
Encoding encoding = Encoding::bytes;

struct Mark {
    unsigned char bytes[3];
    std::size_t size;
    Encoding encoding;
};
constexpr Mark marks[] = {
    {{0xef, 0xbb, 0xbf}, 3, Encoding::bytes},
    {{0xff, 0xfe}, 2, Encoding::utf16_little_endian},
    {{0xfe, 0xff}, 2, Encoding::utf16_big_endian},
};

// The byte that every UTF-16 unit other than an ASCII character becomes:
// like any character that is not white space, a digit or a sign, it ends a
// number, and a read that meets it fails. It is the usual stand-in for a
// character that a narrower character set lacks.
constexpr char not_ascii = '?';

// In UTF-16, the last byte of a read that ended halfway through a unit,
// waiting for the other half.
bool half_unit_held = false;
char half_unit = 0;

bool is_digit(char c)
{
    return static_cast<unsigned>(c - '0') < 10;
}

// Reads up to size bytes of input into buffer: how many it got, 0 at the
// end of the input, -1 when it cannot be read. Whatever is buffered for
// output is written first when the read would wait, so that a prompt is
// shown before its answer is awaited.
long read_more(char* buffer, std::size_t size)
{
    if (platform::input_would_wait())
        detail::flush();
    const long got = platform::read_input(buffer, size);
    if (got <= 0) {
        input_ended = true;
        if (got < 0)
            read_errno = errno;
    }
    return got;
}

// Whether the first held bytes of the input could still grow into a mark.
bool could_become_a_mark(std::size_t held)
{
    return std::any_of(std::begin(marks), std::end(marks), [=](const Mark& mark) {
        return held < mark.size && std::memcmp(in, mark.bytes, held) == 0;
    });
}

// Reads the first bytes of the input into in: as many as it takes to tell
// whether a byte-order mark starts it, since a pipe or a terminal may give
// them one at a time. Takes the mark away and sets the encoding it names;
// returns how many bytes are left at in.
std::size_t read_past_mark()
{
    std::size_t held = 0;
    for (;;) {
        const long got = read_more(in + held, in_size - held);
        if (got <= 0)
            break;
        held += static_cast<std::size_t>(got);
        if (!could_become_a_mark(held))
            break;
    }
    for (const Mark& mark : marks) {
        if (held >= mark.size && std::memcmp(in, mark.bytes, mark.size) == 0) {
            encoding = mark.encoding;
            held -= mark.size;
            std::memmove(in, in + mark.size, held);
            break;
        }
    }
    return held;
}

// Turns the held bytes of input at in into the text that the buffer holds,
// in place, and returns how long that text is. In UTF-16, a last byte that
// is half a unit is held back for the next read.
std::size_t decode(std::size_t held)
{
    if (encoding == Encoding::bytes)
        return held;
    const std::size_t low = encoding == Encoding::utf16_big_endian ? 1 : 0;
    const std::size_t units = held / 2;
    half_unit_held = held % 2 != 0;
    if (half_unit_held)
        half_unit = in[held - 1];
    for (std::size_t k = 0; k < units; ++k) {
        const auto low_byte = static_cast<unsigned char>(in[2 * k + low]);
        const auto high_byte = static_cast<unsigned char>(in[2 * k + 1 - low]);
        in[k] = high_byte == 0 && low_byte < 0x80 ? static_cast<char>(low_byte) : not_ascii;
    }
    return units;
}

// How many bytes of the input stand behind the last chars characters of the
// buffer, counting the half unit held back.
std::size_t input_bytes(std::size_t chars)
{
    if (encoding == Encoding::bytes)
        return chars;
    return 2 * chars + (half_unit_held ? 1 : 0);
}

// Replaces the buffer, all taken, with the next block of input, which then
// starts at in; false, with the buffer empty, at the end of the input or
// when it cannot be read.
bool refill()
{
    // The bytes of input at in that are not yet text of the buffer.
    std::size_t held = 0;
    if (!input_started) {
        input_started = true;
        if (platform::start_input() < 0) {
            input_ended = true;
            read_errno = errno;
        } else {
            held = read_past_mark();
        }
    } else if (half_unit_held) {
        in[0] = half_unit;
        held = 1;
    }
    for (;;) {
        const std::size_t chars = decode(held);
        if (chars > 0 || input_ended) {
            in_end = in + chars;
            *in_end = '\0';
            return chars > 0;
        }
        const long got = read_more(in + held, in_size - held);
        if (got > 0)
            held += static_cast<std::size_t>(got);
    }
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
    const auto left = stopped ? unread : static_cast<std::size_t>(in_end - input.pos);
    platform::give_back_input(input_bytes(left));
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
