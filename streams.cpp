// Standard input and output for extremes (streams.h).

#include "streams.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace io {

namespace {

// The buffers are arrays of their own: all zeros, they go in .bss and take
// no room in the program file. Inside the objects, which hold pointers and
// so are not all zeros, they would go in .data.
char output_space[detail::StandardOutput::buffer_size];
char input_space[detail::StandardInput::space_size];

}  // namespace

namespace detail {
constinit StandardOutput standard_output{output_space};
constinit StandardInput standard_input{input_space, standard_output};
}  // namespace detail

namespace {

using detail::Encoding;

struct Bom {
    unsigned char bytes[3];
    std::size_t size;
    Encoding encoding;
};
constexpr Bom boms[] = {
    {{0xef, 0xbb, 0xbf}, 3, Encoding::bytes},
    {{0xff, 0xfe}, 2, Encoding::utf16_little_endian},
    {{0xfe, 0xff}, 2, Encoding::utf16_big_endian},
};

bool could_become_a_bom(const char* bytes, std::size_t held)
{
    return std::any_of(std::begin(boms), std::end(boms), [=](const Bom& bom) {
        return held < bom.size && std::memcmp(bytes, bom.bytes, held) == 0;
    });
}

// What a UTF-16 unit outside ASCII decodes to: a byte that ends a number.
constexpr char not_ascii = '?';

// The bytes of the UTF-8 character that text starts with, 1 to 4, or 0
// where none stands whole: the well-formed sequences of the Unicode
// Standard's table 3-7, which leave out overlong forms, surrogates and code
// points past U+10FFFF.
std::size_t utf8_length(std::string_view text)
{
    struct Form {
        unsigned char first, last;  // the range of the leading byte
        unsigned char low, high;    // and of the second
        std::size_t length;
    };
    constexpr Form forms[] = {
        {0x00, 0x7f, 0x00, 0x00, 1}, {0xc2, 0xdf, 0x80, 0xbf, 2}, {0xe0, 0xe0, 0xa0, 0xbf, 3},
        {0xe1, 0xec, 0x80, 0xbf, 3}, {0xed, 0xed, 0x80, 0x9f, 3}, {0xee, 0xef, 0x80, 0xbf, 3},
        {0xf0, 0xf0, 0x90, 0xbf, 4}, {0xf1, 0xf3, 0x80, 0xbf, 4}, {0xf4, 0xf4, 0x80, 0x8f, 4},
    };
    assert(!text.empty());
    const auto byte = [text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    for (const Form& form : forms) {
        if (byte(0) < form.first || byte(0) > form.last)
            continue;
        if (text.size() < form.length || (form.length > 1 && (byte(1) < form.low || byte(1) > form.high)))
            return 0;
        for (std::size_t k = 2; k < form.length; ++k)
            if ((byte(k) & 0xc0) != 0x80)
                return 0;
        return form.length;
    }
    return 0;
}

// Whether the character is a control: C0, DEL, or C1 (U+0080 to U+009F,
// C2 80 to C2 9F in UTF-8).
bool is_control(std::string_view character)
{
    const auto lead = static_cast<unsigned char>(character[0]);
    return lead < 0x20 || lead == 0x7f || (lead == 0xc2 && static_cast<unsigned char>(character[1]) < 0xa0);
}

// A line on standard error, "extremes: " and what is added, written as it
// ends, or in parts where it is longer than the buffer.
class Message {
public:
    Message() { add("extremes: "); }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    Message& add(const char* piece)
    {
        for (std::size_t size = std::strlen(piece); size > 0;) {
            if (length == sizeof text)
                write();
            const std::size_t n = std::min(size, sizeof text - length);
            std::memcpy(text + length, piece, n);
            length += n;
            piece += n;
            size -= n;
        }
        return *this;
    }

    Message& add(std::int32_t n)
    {
        char decimal[digits::decimal_room + 1];
        *digits::put_decimal(decimal, n) = '\0';
        return add(decimal);
    }

    // text in single quotes, as ls -q shows a file name: a control, or a
    // byte of no whole UTF-8 character, shown as '?', so that the line
    // stays one line and no terminal takes it for a command. Not utf8,
    // every byte outside ASCII is '?'.
    Message& add_quoted(std::string_view text, bool utf8)
    {
        put('\'');
        while (!text.empty()) {
            const std::size_t n = utf8 ? utf8_length(text) : static_cast<unsigned char>(text[0]) < 0x80;
            const std::string_view character = text.substr(0, std::max<std::size_t>(n, 1));
            if (n == 0 || is_control(character))
                put('?');
            else
                for (const char c : character)
                    put(c);
            text.remove_prefix(character.size());
        }
        put('\'');
        return *this;
    }

    // Ends the line and writes it; false if a write failed.
    bool send()
    {
        add(eol);
        write();
        return written;
    }

private:
    void put(char c)
    {
        if (length == sizeof text)
            write();
        text[length++] = c;
    }

    void write()
    {
        written = platform::write_error(text, length) && written;
        length = 0;
    }

    char text[detail::message_piece];
    std::size_t length = 0;
    bool written = true;
};

void report(const char* what, const char* reason)
{
    Message message;
    message.add(what);
    if (reason)
        message.add(": ").add(reason);
    message.send();
}

// A message that could not be written whole: the run goes on, and ends with
// status 1.
bool message_lost = false;

// Seeks standard input back before a held SIGPIPE can end the process.
void leave()
{
    detail::standard_input.seek_back();
    platform::release_held_signal();
}

[[noreturn]] void end(int status)
{
    leave();
    std::_Exit(status);
}

// Quietly on EPIPE, as nobody is left to tell.
[[noreturn]] void fail_writing(int error)
{
    if (error != EPIPE)
        report("write error", std::strerror(error));
    end(1);
}

}  // namespace

namespace detail {

// The tied output is flushed before a read that would block.
long StandardInput::read_more(char* into, std::size_t size)
{
    if (platform::input_would_block())
        tie.flush();
    const long got = platform::read_input(into, size);
    if (got <= 0) {
        if (got < 0)
            read_error = errno;
        state = State::ended;
    }
    return got;
}

// Reads until the first bytes tell whether a BOM starts the input (a pipe
// or a terminal may give them one at a time), and takes the BOM out:
// returns the bytes left.
std::size_t StandardInput::read_past_bom()
{
    std::size_t held = 0;
    for (;;) {
        const long got = read_more(text + held, size - held);
        if (got <= 0)
            break;
        held += static_cast<std::size_t>(got);
        if (!could_become_a_bom(text, held))
            break;
    }
    for (const Bom& bom : boms) {
        if (held >= bom.size && std::memcmp(text, bom.bytes, bom.size) == 0) {
            encoding = bom.encoding;
            held -= bom.size;
            std::memmove(text, text + bom.size, held);
            break;
        }
    }
    return held;
}

// Decodes the held bytes in place and returns the text's length; half a
// UTF-16 unit at the end waits for the next read.
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

// Replaces the text, all taken, with the next block, pos at its start;
// false, the buffer empty, at the end of the input or a failed read. pos
// stands at the end of the old text while reading, where a failed flush
// would leave the file offset.
bool StandardInput::refill(const char*& pos)
{
    pos = text_end;
    // Bytes read, not yet decoded.
    std::size_t held = 0;
    if (state == State::unopened) {
        state = State::open;
        if (platform::start_input() < 0) {
            read_error = errno;
            state = State::ended;
        } else {
            held = read_past_bom();
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

// Stops the reading at at, where the next reader is to start. The '\0'
// put there sends every later read to the slow path, which takes nothing.
std::nullopt_t StandardInput::stop(const char*& pos, const char* at, Failure why)
{
    assert(text <= at && at <= text_end);
    failed = why;
    text[at - text] = '\0';
    pos = at;
    return std::nullopt;
}

// The sign is passed apart from the text after it, which a refill may have
// taken it from. The quote keeps what ends within quote_room bytes: whole
// UTF-8 characters, and bytes of none. It is cut where more was held, or
// where the text held ended first and the input may go on.
void StandardInput::hold_quote(char sign, const char* p)
{
    std::size_t held = 0;
    if (sign)
        quoted[held++] = sign;
    while (p != text_end && !is_space(*p) && held < sizeof quoted)
        quoted[held++] = *p++;
    std::size_t n = 0;
    for (std::size_t k = 0; n < held; n += k) {
        k = std::max<std::size_t>(utf8_length({quoted + n, held - n}), 1);
        if (n + k > quote_room)
            break;
    }
    quoted_length = n;
    quoted_cut = n < held || (p == text_end && state != State::ended && !platform::input_read_to_end());
}

std::optional<std::int32_t> StandardInput::read_slowly(const char*& pos)
{
    if (failed != Failure::none)
        return std::nullopt;

    const char* p = pos;
    for (;;) {
        while (is_space(*p))
            ++p;
        if (p != text_end)
            break;
        if (!refill(pos))
            return stop(pos, text_end, Failure::end_of_input);
        p = pos;
    }

    const char sign = *p == '-' || *p == '+' ? *p : '\0';
    const bool negative = sign == '-';
    if (sign) {
        ++p;
        if (p == text_end) {  // a sign at the end of a block
            refill(pos);
            p = pos;
        }
    }
    if (!digits::is_digit(*p)) {
        hold_quote(sign, p);
        return stop(pos, p, Failure::not_a_number);
    }

    const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    for (;;) {
        p = digits::add_digits(p, value, limit);
        if (p != text_end)
            break;
        const bool more = refill(pos);
        p = pos;
        if (!more) {
            // Digits cut by a failed read may have gone on: no number.
            if (read_error != 0)
                return stop(pos, p, Failure::end_of_input);
            break;
        }
    }
    if (value > limit)
        return stop(pos, p, Failure::out_of_range);
    const auto magnitude = static_cast<std::int64_t>(value);
    pos = p;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void StandardInput::seek_back()
{
    if (reader)
        platform::seek_back_input(bytes_from(*reader));
    reader = nullptr;
}

int StandardOutput::start()
{
    started = true;
    const long block = platform::start_output(pipe_size);
    if (block < 0)
        return errno;
    block_end = buffer + std::min(static_cast<std::size_t>(block), most_block);
    return 0;
}

// 0, or the errno of the write that failed.
int StandardOutput::write_out(const char* end)
{
    for (const char* p = buffer; p < end;) {
        const long put = platform::write_output(p, static_cast<std::size_t>(end - p));
        if (put <= 0)
            return put == 0 ? ENOSPC : errno;
        p += put;
        written += static_cast<std::uint64_t>(put);
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
    }
    // Where the block would take the output past what the pipe holds, the
    // pipe is grown, and the block with it, which may then hold all that is
    // buffered.
    const auto output = written + static_cast<std::uint64_t>(end - buffer);
    if (pipe_size > 0 && output > static_cast<std::uint64_t>(pipe_size)) {
        pipe_size = 0;
        block_end = buffer + std::min(static_cast<std::size_t>(platform::grow_output()), most_block);
    }
    if (end < block_end)
        return end;
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

void name_ignored(int count, const char* const arguments[])
{
    Message message;
    message.add("ignoring ");
    for (int k = 0; k < count; ++k)
        (k > 0 ? message.add(", ") : message).add_quoted(arguments[k], platform::utf8_arguments);
    if (!message.add(": the numbers are read from standard input; see extremes --help").send())
        message_lost = true;
}

int finish()
{
    return finish(true, 0, 0);
}

int finish(bool counted, std::int32_t values_held, std::int32_t count)
{
    detail::standard_output.close();
    int status = message_lost ? 1 : 0;
    const detail::Failure failure = detail::standard_input.failure();
    if (const int error = detail::standard_input.error()) {
        report("read error", std::strerror(error));
        status = 1;
    } else if (failure != detail::Failure::none) {
        assert(!counted || values_held < count);
        Message message;
        if (failure == detail::Failure::end_of_input)
            message.add("the input ends before ");
        if (counted)
            message.add("value ").add(values_held);
        else
            message.add("the count");
        if (failure == detail::Failure::not_a_number)
            message.add(" is not a number: ")
                .add_quoted(detail::standard_input.quote(), true)
                .add(detail::standard_input.quote_cut() ? "..." : "");
        else if (failure == detail::Failure::out_of_range)
            message.add(" is out of range");
        if (!counted || values_held == count - 1)
            message.add("; it is 0");
        else
            message.add("; it and the values after it are 0");
        if (!message.send())
            status = 1;
    }
    leave();
    return status;
}

void fail(const char* what, const char* reason)
{
    // The output first, as the standard tools' error routines do; a write
    // that fails on the way is reported after what ended the run.
    const int write_error = detail::standard_output.write_buffered();
    report(what, reason);
    if (write_error != 0 && write_error != EPIPE)
        report("write error", std::strerror(write_error));
    end(1);
}

}  // namespace io
