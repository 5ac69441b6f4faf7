// Standard input and output for extremes; what each routine does is said in
// streams.h, and what differs between platforms is behind platform.h.

#include "streams.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>

namespace io {

namespace {

// The buffers stand apart from the objects that use them: an object that
// starts with anything but zeros is stored in the program file whole, and
// would make it larger by its buffer; zeros cost nothing there.
char output_space[detail::StandardOutput::buffer_size];
char input_space[detail::StandardInput::space_size];

}  // namespace

namespace detail {
constinit StandardOutput standard_output{output_space};
constinit StandardInput standard_input{input_space, standard_output};
}  // namespace detail

namespace {

using detail::Encoding;

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

// Whether the first held bytes of the input could still grow into a mark.
bool could_become_a_mark(const char* bytes, std::size_t held)
{
    return std::any_of(std::begin(marks), std::end(marks), [=](const Mark& mark) {
        return held < mark.size && std::memcmp(bytes, mark.bytes, held) == 0;
    });
}

// The byte that a UTF-16 unit other than an ASCII character becomes: like
// any byte that is not white space, a digit or a sign, it ends a number,
// and a read that meets it fails.
constexpr char not_ascii = '?';

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

// Leaves standard input where its reader stopped, then lets a reader that
// left end the process with its signal, as it would have at the write.
void leave()
{
    detail::standard_input.give_back();
    platform::release_held_signal();
}

// Ends the process with status, as leave() leaves it.
[[noreturn]] void end(int status)
{
    leave();
    std::_Exit(status);
}

// Ends the run after a write to standard output failed with error; quietly
// when the reader has gone, since nobody is left to tell.
[[noreturn]] void fail_writing(int error)
{
    if (error != EPIPE)
        report("write error", std::strerror(error));
    end(1);
}

}  // namespace

namespace detail {

// Reads up to size bytes of input into the buffer at into: how many it got,
// 0 at the end of the input, -1 when it cannot be read. When the read would
// wait, the tied output is flushed first, so that a prompt is shown before
// its answer is awaited.
long StandardInput::read_more(char* into, std::size_t size)
{
    if (platform::input_would_wait())
        tie.flush();
    const long got = platform::read_input(into, size);
    if (got <= 0) {
        if (got < 0)
            read_error = errno;
        state = State::ended;
    }
    return got;
}

// Reads the first bytes of the input into the buffer: as many as it takes to
// tell whether a byte-order mark starts it, since a pipe or a terminal may
// give them one at a time. Takes the mark away and sets the encoding it
// names; returns how many bytes are left in the buffer.
std::size_t StandardInput::read_past_mark()
{
    std::size_t held = 0;
    for (;;) {
        const long got = read_more(text + held, size - held);
        if (got <= 0)
            break;
        held += static_cast<std::size_t>(got);
        if (!could_become_a_mark(text, held))
            break;
    }
    for (const Mark& mark : marks) {
        if (held >= mark.size && std::memcmp(text, mark.bytes, mark.size) == 0) {
            encoding = mark.encoding;
            held -= mark.size;
            std::memmove(text, text + mark.size, held);
            break;
        }
    }
    return held;
}

// Turns the held bytes of input in the buffer into its text, in place, and
// returns how long that text is. In UTF-16, a last byte that is half a unit
// is held back for the next read.
std::size_t StandardInput::decode(std::size_t held)
{
    if (encoding == Encoding::bytes)
        return held;
    const std::size_t low = encoding == Encoding::utf16_big_endian ? 1 : 0;
    const std::size_t units = held / 2;
    half_unit_held = held % 2 != 0;
    if (half_unit_held)
        half_unit = text[held - 1];
    for (std::size_t k = 0; k < units; ++k) {
        const auto low_byte = static_cast<unsigned char>(text[2 * k + low]);
        const auto high_byte = static_cast<unsigned char>(text[2 * k + 1 - low]);
        text[k] = high_byte == 0 && low_byte < 0x80 ? static_cast<char>(low_byte) : not_ascii;
    }
    return units;
}

std::size_t StandardInput::bytes_from(const char* pos) const
{
    const auto chars = static_cast<std::size_t>(text_end - pos);
    if (encoding == Encoding::bytes)
        return chars;
    return 2 * chars + (half_unit_held ? 1 : 0);
}

// Replaces the text of the buffer, all taken, with the next block of input,
// and puts the reader's position pos at its start; false, with the buffer
// empty, at the end of the input or when it cannot be read. While the block
// is read, pos stands at the end of the text taken, where the run would
// leave the input if the flush before a wait failed.
bool StandardInput::refill(const char*& pos)
{
    pos = text_end;
    // The bytes of input in the buffer that are not yet its text.
    std::size_t held = 0;
    if (state == State::unopened) {
        state = State::open;
        if (platform::start_input() < 0) {
            read_error = errno;
            state = State::ended;
        } else {
            held = read_past_mark();
        }
    } else if (half_unit_held) {
        text[0] = half_unit;
        held = 1;
    }
    for (;;) {
        const std::size_t chars = decode(held);
        if (chars > 0 || state == State::ended) {
            text_end = text + chars;
            *text_end = '\0';
            pos = text;
            return chars > 0;
        }
        const long got = read_more(text + held, size - held);
        if (got > 0)
            held += static_cast<std::size_t>(got);
    }
}

// Stops the reading at at, where the next reader is to start: pos moves
// there, and no more input is taken. A '\0' put there, which no number
// begins with, sends every read from there to the slow path, which then
// takes nothing and leaves pos where it is. Returns no number, for the
// read that failed.
std::nullopt_t StandardInput::stop(const char*& pos, const char* at)
{
    assert(text <= at && at <= text_end);
    state = State::stopped;
    text[at - text] = '\0';
    pos = at;
    return std::nullopt;
}

std::optional<std::int32_t> StandardInput::read_slowly(const char*& pos)
{
    if (state == State::stopped)
        return std::nullopt;

    const char* p = pos;
    for (;;) {
        while (is_space(*p))
            ++p;
        if (p != text_end)
            break;
        if (!refill(pos))
            return stop(pos, text_end);
        p = pos;
    }

    const bool negative = *p == '-';
    if (negative || *p == '+') {
        ++p;
        if (p == text_end) {  // a sign at the end of a block
            refill(pos);
            p = pos;
        }
    }
    if (!digits::is_digit(*p))
        return stop(pos, p);

    // The digits are read to the last, across blocks.
    const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    for (;;) {
        p = digits::add_digits(p, value, limit);
        if (p != text_end)
            break;
        const bool more = refill(pos);
        p = pos;
        if (!more) {
            // Digits cut off by a read that failed may have gone on: they
            // are no number. Where the input ends, so does the number.
            if (read_error != 0)
                return stop(pos, p);
            break;
        }
    }
    if (value > limit)
        return stop(pos, p);
    const auto magnitude = static_cast<std::int64_t>(value);
    pos = p;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void StandardInput::give_back()
{
    if (reader)
        platform::give_back_input(bytes_from(*reader));
    reader = nullptr;
}

int StandardOutput::start()
{
    started = true;
    const long block = platform::start_output();
    if (block < 0)
        return errno;
    block_end = buffer + std::min(static_cast<std::size_t>(block), most_block);
    return 0;
}

// Writes out the bytes from the start of the buffer up to end: 0, or the
// errno of the write that failed.
int StandardOutput::write_out(const char* end)
{
    for (const char* p = buffer; p < end;) {
        const long put = platform::write_output(p, static_cast<std::size_t>(end - p));
        if (put <= 0)
            return put == 0 ? ENOSPC : errno;
        p += put;
    }
    return 0;
}

int StandardOutput::write_buffered()
{
    int error = started ? 0 : start();
    if (error == 0)
        error = write_out(next);
    next = buffer;
    return error;
}

void StandardOutput::flush()
{
    if (const int error = write_buffered())
        fail_writing(error);
}

char* StandardOutput::send_block(char* end)
{
    if (!started) {
        if (const int error = start())
            fail_writing(error);
        if (end < block_end)
            return end;
    }
    if (const int error = write_out(block_end))
        fail_writing(error);
    const auto past = static_cast<std::size_t>(end - block_end);
    std::memmove(buffer, block_end, past);
    return buffer + past;
}

void StandardOutput::close()
{
    flush();
    if (platform::close_output() < 0)
        fail_writing(errno);
}

}  // namespace detail

int finish()
{
    detail::standard_output.close();
    int status = 0;
    if (const int error = detail::standard_input.error()) {
        report("read error", std::strerror(error));
        status = 1;
    }
    leave();
    return status;
}

void fail(const char* what, const char* reason)
{
    // What was written goes out first, as the standard tools' error routines
    // do; a write that fails on the way is told after what ended the run.
    const int write_error = detail::standard_output.write_buffered();
    report(what, reason);
    if (write_error != 0 && write_error != EPIPE)
        report("write error", std::strerror(write_error));
    end(1);
}

}  // namespace io
