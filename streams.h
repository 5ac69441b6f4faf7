// Standard input and output for extremes: whole numbers in, text out,
// through large buffers. Standard input is tied to standard output, as
// std::cin is to std::cout, but flushes it only before a read that would
// block: a prompt is out before its answer is awaited, while a file of
// numbers streams through without a write per prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "digits.h"
#include "platform.h"

namespace io {

using platform::eol;

namespace detail {

// Standard output. The buffer holds a block, of the size that start_output
// gives, and room past it for one write (--help's text is the largest): a
// write that reaches the block's end sends the block and moves what it put
// past it to the front. Until started, the block is empty, so that the
// first write starts standard output. A pipe is grown, and the block with
// it, where a block would take the output past what the pipe holds: a
// short run leaves its caller's pipe as it found it.
class StandardOutput {
public:
    static constexpr std::size_t most_block = 512 * 1024;
    static constexpr std::size_t room_past_block = 1024;
    static constexpr std::size_t buffer_size = most_block + room_past_block;

    // buffer: buffer_size bytes.
    constexpr explicit StandardOutput(char* buffer)
        : buffer(buffer), next(buffer), block_end(buffer)
    {
    }

    // One check of the block's end for the whole call.
    template <typename... Pieces>
    void put(const Pieces&... pieces);

    // Ends the run if the write fails.
    void flush();

    // 0, or the errno of the write that failed.
    int write_buffered();

    void close();

private:
    char* send_block(char* end);
    int start();
    int write_out(const char* end);

    char* const buffer;
    char* next;
    char* block_end;
    bool started = false;
    long pipe_size = 0;          // while the pipe may be grown, what it holds
    std::uint64_t written = 0;  // the bytes of output written so far
};

extern StandardOutput standard_output;

// The input's encoding, as a BOM at its start says: bytes (no BOM, or
// UTF-8's, which is skipped), or UTF-16 of either byte order, each 16-bit
// unit decoded to one byte of the buffer, so that the scanners always see
// 8-bit text.
enum class Encoding : unsigned char { bytes, utf16_little_endian, utf16_big_endian };

// Why a read found no number: what stood where it was to start, a number
// outside the signed 32-bit range, or the end of the input.
enum class Failure : unsigned char { none, not_a_number, out_of_range, end_of_input };

// Standard input: its buffer, encoding and state. The position reached is
// the caller's (Input's), which it hands in.
class StandardInput {
public:
    // 64 KiB reads cost little and stay in the processor's caches. Around
    // the text, the bytes that take_number may read beyond it, and the
    // sentinel.
    static constexpr std::size_t size = 64 * 1024;
    static constexpr std::size_t space_size = digits::reach_before + size + digits::reach_after;

    // space: space_size bytes, all '\0'.
    constexpr StandardInput(char* space, StandardOutput& tie)
        : text(space + digits::reach_before), text_end(text), tie(tie)
    {
    }

    // A sentinel, '\0', stands at the end: the scanning loops find the end
    // of the buffer as they find the end of a number, with no test of their
    // own.
    const char* end() const { return text_end; }

    // Input::read's slow path: a number cut by the end of the buffer, and
    // what is no number.
    std::optional<std::int32_t> read_slowly(const char*& pos);

    // Registers the position that seek_back leaves the file offset at.
    void read_by(const char* const& position) { reader = &position; }

    // Seeks standard input back to that position; once, as the run ends.
    void seek_back();

    // The bytes of input that the text from pos on was decoded from.
    std::size_t bytes_from(const char* pos) const;

    // The errno of a failed read, or 0.
    int error() const { return read_error; }

    // Why the first read that found no number found none; after it, nothing
    // more is taken.
    Failure failure() const { return failed; }

    // The most bytes of a quote.
    static constexpr std::size_t quote_room = 32;

    // Where a read found something that is not a number, what stood where
    // the number was to begin, its sign included, up to white space or the
    // end of the text held: at most quote_room bytes, fewer where that would
    // cut a UTF-8 character. quote_cut says whether more stood there, or may
    // have: the text held ended first, and the input may go on.
    std::string_view quote() const { return {quoted, quoted_length}; }
    bool quote_cut() const { return quoted_cut; }

private:
    // ended: end of file or a failed read, though the buffer may still hold
    // text.
    enum class State : unsigned char { unopened, open, ended };

    bool refill(const char*& pos);
    long read_more(char* into, std::size_t size);
    std::size_t read_past_bom();
    std::size_t decode(std::size_t held);
    std::nullopt_t stop(const char*& pos, const char* at, Failure why);
    void hold_quote(char sign, const char* p);

    char* const text;
    char* text_end;
    StandardOutput& tie;
    const char* const* reader = nullptr;
    State state = State::unopened;
    Failure failed = Failure::none;
    Encoding encoding = Encoding::bytes;
    bool half_unit_held = false;
    char half_unit = 0;
    int read_error = 0;
    // quote_room bytes, and the rest of a 4-byte UTF-8 character that begins
    // at the last of them.
    char quoted[quote_room + 3] = {};
    std::size_t quoted_length = 0;
    bool quoted_cut = false;
};

extern StandardInput standard_input;

// A line on standard error is written as it ends, or in pieces of this many
// bytes where it is longer.
inline constexpr std::size_t message_piece = 256;

}  // namespace detail

// Standard input, read a number at a time. The one Input of the run owns
// the position reached, where finish, fail and a failed write leave the file
// offset; a copy would read on from a position that the other never learns
// of.
class Input {
public:
    Input() { detail::standard_input.read_by(pos); }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Skips white space and reads an optional sign and the decimal digits
    // after it. Returns false, n unchanged, at the end of the input or where
    // no number in the signed 32-bit range stands; from then on every read
    // fails and no more input is taken.
    bool read(std::int32_t& n);

private:
    // The first byte not taken; at the start, the empty buffer's end.
    const char* pos = detail::standard_input.end();
};

// Writes string literals, numbers and counters, one after another.
template <typename... Pieces>
void write(const Pieces&... pieces);

// Names on standard error, before the first prompt, the arguments that the
// run ignores.
void name_ignored(int count, const char* const arguments[]);

// Flushes and closes standard output, reports a read error, seeks standard
// input back to the first byte not taken, and returns the exit status: 0,
// or 1 after a read error or a message that could not be written. A SIGPIPE
// held since a write to a closed pipe, of standard output or of a message,
// ends the process here; where SIGPIPE was ignored or blocked at the start,
// the status is 1.
int finish();

// As finish, for a run that read the count (counted: whether it found it)
// and then values_held of its count values: after the output, the first
// read that found no number, if one did, is named on standard error, which
// leaves the status 0 unless the line cannot be written.
int finish(bool counted, std::int32_t values_held, std::int32_t count);

// Ends the run with status 1 after flushing standard output and reporting
// "extremes: <what>[: <reason>]"; standard input is left as finish leaves it.
[[noreturn]] void fail(const char* what, const char* reason = nullptr);

namespace detail {

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

// The most bytes a piece takes; 0 for a type that write refuses.
template <typename T>
inline constexpr std::size_t room = 0;
template <>
inline constexpr std::size_t room<std::int32_t> = digits::decimal_room;
template <std::size_t N>
inline constexpr std::size_t room<char[N]> = N - 1;
template <>
inline constexpr std::size_t room<digits::Counter> = digits::Counter::room;

// The output position is passed and returned, a local of the write: in
// memory, it would be reloaded after every byte stored, as a char may alias
// it.
template <std::size_t N>
inline char* put(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

inline char* put(char* p, std::int32_t n)
{
    return digits::put_decimal(p, n);
}

inline char* put(char* p, const digits::Counter& count)
{
    return count.put(p);
}

template <typename... Pieces>
inline void StandardOutput::put(const Pieces&... pieces)
{
    static_assert(((room<Pieces> > 0) && ...), "io::write takes string literals and 32-bit numbers");
    static_assert((room<Pieces> + ...) <= room_past_block,
                  "io::write takes no more than fits past the end of a block");
    char* p = next;
    ((p = detail::put(p, pieces)), ...);
    if (p >= block_end)
        p = send_block(p);
    next = p;
}

}  // namespace detail

inline bool Input::read(std::int32_t& n)
{
    // The fast path, inlined in the caller's loop: a number whole in the
    // buffer.
    const char* p = pos;
    while (detail::is_space(*p))
        ++p;
    std::int32_t whole = 0;
    const char* end = digits::take_number(p, whole);
    if (!end || end == detail::standard_input.end()) {
        pos = p;
        const std::optional<std::int32_t> number = detail::standard_input.read_slowly(pos);
        if (number)
            n = *number;
        return number.has_value();
    }
    pos = end;
    n = whole;
    return true;
}

template <typename... Pieces>
inline void write(const Pieces&... pieces)
{
    detail::standard_output.put(pieces...);
}

}  // namespace io
