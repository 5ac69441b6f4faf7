// Standard input (standard_input.h).

#include "standard_input.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform.h"
#include "standard_output.h"

namespace io::detail {

namespace {

// All zeros, the buffer goes in .bss and takes no room in the program file.
char input_space[StandardInput::space_size];

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

}  // namespace

constinit StandardInput standard_input{input_space, standard_output};

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

// The bytes of input that the text from pos on was decoded from.
std::size_t StandardInput::bytes_from(const char* pos) const
{
    const auto chars = static_cast<std::size_t>(text_end - pos);
    if (encoding == Encoding::bytes)
        return chars;
    return 2 * chars + (half_unit_held ? 1 : 0);
}

// Replaces the text, all taken, with the next block, the position at its
// start; false, the buffer empty, at the end of the input or a failed read.
// The position stands at the end of the old text while reading, where a
// failed flush would leave the file offset.
bool StandardInput::refill()
{
    position = text_end;
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
            position = text;
            return chars > 0;
        }
        const long got = read_more(text + held, size - held);
        if (got > 0)
            held += static_cast<std::size_t>(got);
    }
}

// Stops the reading at at, where the next reader is to start, with the
// '\0' that sends every later read to the slow path.
std::nullopt_t StandardInput::stop(const char* at, Failure why)
{
    assert(text <= at && at <= text_end);
    failed = why;
    text[at - text] = '\0';
    position = at;
    return std::nullopt;
}

// Whether input may follow the text held: it has not ended, and it is not
// a file read to its end.
bool StandardInput::more_may_follow() const
{
    return state != State::ended && !platform::input_read_to_end();
}

// The sign is passed apart from the text after it, which a refill may have
// taken it from.
void StandardInput::hold_quote(char sign, const char* p)
{
    std::size_t held = 0;
    if (sign)
        quoted[held++] = sign;
    while (p != text_end && !is_space(*p) && held < sizeof quoted)
        quoted[held++] = *p++;
    quoted_length = held;
    quoted_goes_on = p == text_end && more_may_follow();
}

std::optional<std::int32_t> StandardInput::read_slowly()
{
    if (failed != Failure::none)
        return std::nullopt;

    const char* p = position;
    for (;;) {
        while (is_space(*p))
            ++p;
        if (p != text_end)
            break;
        if (!refill())
            return stop(text_end, Failure::end_of_input);
        p = position;
    }

    const char sign = *p == '-' || *p == '+' ? *p : '\0';
    const bool negative = sign == '-';
    if (sign) {
        ++p;
        if (p == text_end) {  // a sign at the end of a block
            refill();
            p = position;
        }
    }
    if (!digits::is_digit(*p)) {
        hold_quote(sign, p);
        return stop(p, Failure::not_a_number);
    }

    const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    for (;;) {
        p = digits::add_digits(p, value, limit);
        if (p != text_end)
            break;
        const bool more = refill();
        p = position;
        if (!more) {
            // Digits cut by a failed read may have gone on: no number.
            if (read_error != 0)
                return stop(p, Failure::end_of_input);
            break;
        }
    }
    if (value > limit)
        return stop(p, Failure::out_of_range);
    const auto magnitude = static_cast<std::int64_t>(value);
    position = p;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void StandardInput::seek_back()
{
    platform::seek_back_input(bytes_from(position));
}

}  // namespace io::detail
