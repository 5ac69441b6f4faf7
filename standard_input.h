// Standard input: whole numbers in, through a large buffer. It is tied to
// standard output, as std::cin is to std::cout, but flushes it only before
// a read that would block: a prompt is out before its answer is awaited,
// while a file of numbers streams through without a write per prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "digits.h"

namespace io {

namespace detail {

class StandardOutput;

// The input's encoding, as a BOM at its start says: bytes (no BOM, or
// UTF-8's, which is skipped), or UTF-16 of either byte order, each 16-bit
// unit decoded to one byte of the buffer, so that the scanners always see
// 8-bit text.
enum class Encoding : unsigned char { bytes, utf16_little_endian, utf16_big_endian };

// Why a read found no number: what stood where it was to start, a number
// outside the signed 32-bit range, or the end of the input.
enum class Failure : unsigned char { none, not_a_number, out_of_range, end_of_input };

// isspace in the C locale, in one load.
struct SpaceTable {
    bool space[256];
};
inline constexpr SpaceTable space_table = [] {
    SpaceTable table{};
    for (const unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'})
        table.space[c] = true;
    return table;
}();

inline bool is_space(char c)
{
    return space_table.space[static_cast<unsigned char>(c)];
}

// Standard input: its buffer, encoding, position and state. The text ends
// in a sentinel, '\0', which ends the fast path's loops as the end of a
// number does, with no test of their own; where a read failed, a '\0'
// stands in the text too, so that every later read falls to the slow path,
// which then takes nothing.
class StandardInput {
public:
    // 64 KiB reads cost little and stay in the processor's caches. Around
    // the text, the bytes that take_number may read beyond it, and the
    // sentinel.
    static constexpr std::size_t size = 64 * 1024;
    static constexpr std::size_t space_size = digits::reach_before + size + digits::reach_after;

    // space: space_size bytes, all '\0'.
    constexpr StandardInput(char* space, StandardOutput& tie)
        : text(space + digits::reach_before), text_end(text), position(text), tie(tie)
    {
    }
    // One reader: a copy would read the same buffer from a position of its own.
    StandardInput(const StandardInput&) = delete;
    StandardInput& operator=(const StandardInput&) = delete;

    // As io::read.
    bool read(std::int32_t& n);

    // Seeks standard input back to the first byte not taken, where the
    // next reader of a file starts; once, as the run ends.
    void seek_back();

    // The errno of a failed read, or 0.
    int error() const { return read_error; }

    // Why the first read that found no number found none; after it, nothing
    // more is taken.
    Failure failure() const { return failed; }

    // The most bytes of what stopped a read that a message quotes.
    static constexpr std::size_t quote_room = 32;

    // Where a read found something that is not a number, what stood where
    // the number was to begin, its sign included, up to white space or the
    // end of the text held: quote_room bytes at most, and the rest of a
    // 4-byte UTF-8 character that begins at the last of them.
    // quote_goes_on says whether it may go on past the text held: it
    // reaches the text's end, and the input may go on.
    std::string_view quote() const { return {quoted, quoted_length}; }
    bool quote_goes_on() const { return quoted_goes_on; }

private:
    // ended: end of file or a failed read, though the buffer may still hold
    // text.
    enum class State : unsigned char { unopened, open, ended };

    std::optional<std::int32_t> read_slowly();
    bool refill();
    long read_more(char* into, std::size_t size);
    std::size_t read_past_bom();
    std::size_t decode(std::size_t held);
    std::size_t bytes_from(const char* pos) const;
    std::nullopt_t stop(const char* at, Failure why);
    void hold_quote(char sign, const char* p);
    bool more_may_follow() const;

    char* const text;
    char* text_end;
    const char* position;  // the first byte not taken
    StandardOutput& tie;
    State state = State::unopened;
    Failure failed = Failure::none;
    Encoding encoding = Encoding::bytes;
    bool half_unit_held = false;
    char half_unit = 0;
    int read_error = 0;
    char quoted[quote_room + 3] = {};
    std::size_t quoted_length = 0;
    bool quoted_goes_on = false;
};

extern StandardInput standard_input;

inline bool StandardInput::read(std::int32_t& n)
{
    // The fast path, inlined in the caller's loop: a number whole in the
    // text.
    const char* p = position;
    while (is_space(*p))
        ++p;
    std::int32_t whole = 0;
    const char* end = digits::take_number(p, whole);
    if (!end || end == text_end) {
        position = p;
        const std::optional<std::int32_t> number = read_slowly();
        if (number)
            n = *number;
        return number.has_value();
    }
    position = end;
    n = whole;
    return true;
}

}  // namespace detail

// Skips white space and reads an optional sign and the decimal digits after
// it. Returns false, n unchanged, at the end of the input or where no number
// in the signed 32-bit range stands; from then on every read fails and no
// more input is taken.
inline bool read(std::int32_t& n)
{
    return detail::standard_input.read(n);
}

}  // namespace io
