// Standard input and output for extremes: whole numbers in, text out.
//
// Both directions go through large buffers, each stream's state in one
// object. Output leaves its buffer when the buffer fills, at the end of the
// run, and just before the program would have to wait for input: standard
// input is tied to standard output, as std::cin is to std::cout, so a prompt
// is on the screen, or in the pipe of the program driving this one, before
// its answer is needed, while a file of numbers streams through without a
// write per prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "digits.h"
#include "platform.h"

namespace io {

using platform::eol;

namespace detail {

// Standard output: where its buffer is, where the next byte goes, and where
// the block being filled ends. The block is as large as the platform likes
// its writes; the buffer holds the largest block and room for one write past
// its end (the largest is --help's text). A write that reaches the end of the
// block sends the block out, and what it put past the end moves to the
// front. Until the first write has made standard output ready, the block
// ends where it starts, so the first write does that.
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

    // Puts the pieces, one after another, with one check for the whole call
    // after they have gone in.
    template <typename... Pieces>
    void put(const Pieces&... pieces);

    // Writes out what is buffered, and ends the run if that fails.
    void flush();

    // Writes out what is buffered: 0, or the errno of the write that failed.
    int write_buffered();

    // Writes out what is buffered and closes standard output, where some
    // file systems first report a failed write.
    void close();

private:
    char* send_block(char* end);
    int start();
    int write_out(const char* end);

    char* const buffer;
    char* next;
    char* block_end;
    bool started = false;
};

extern StandardOutput standard_output;

// What the bytes of the input are, as a byte-order mark at its very start
// says: text of one byte a character (no mark, or UTF-8's, which is
// skipped), or UTF-16 in either byte order, each 16-bit unit of which
// becomes one byte of the buffer. The scanners then see 8-bit text always,
// and a position in the buffer stands for one byte of the input, or in
// UTF-16 for one 16-bit unit.
enum class Encoding : unsigned char { bytes, utf16_little_endian, utf16_big_endian };

// Standard input: where its buffer is and how much it holds, what its bytes
// are (the encoding, and the half of a UTF-16 unit that a read may end
// with), and whether the input has ended, and why. The position reached is
// not here but in the caller's Input, which hands it in: where reading
// stopped is that position.
class StandardInput {
public:
    // Input is read 64 KiB at a time, a size at which the reads cost little
    // and the buffer stays in the processor's caches. Around it, the room
    // that take_number reads before and after a number, which also holds
    // the sentinel.
    static constexpr std::size_t size = 64 * 1024;
    static constexpr std::size_t space_size = digits::reach_before + size + digits::reach_after;

    // space: space_size bytes, all '\0'.
    constexpr StandardInput(char* space, StandardOutput& tie)
        : text(space + digits::reach_before), text_end(text), tie(tie)
    {
    }

    // Where the text in the buffer ends: a sentinel stands there, '\0', a
    // byte that ends any number, so the scanning loops find the end of the
    // buffer as they find the end of a number, without a test of their own.
    const char* end() const { return text_end; }

    // The slow path: reads the number that starts at or after pos as
    // Input::read says, across blocks of input, and moves pos past what it
    // took. Once a read has failed, it takes nothing more.
    std::optional<std::int32_t> read_slowly(const char*& pos);

    // Makes position, the one reader's, where the run leaves standard input
    // when it ends (give_back).
    void read_by(const char* const& position) { reader = &position; }

    // Steps standard input back to just past the last byte its reader took,
    // where the input can go back; once, as the run ends.
    void give_back();

    // How many bytes of the input stand from pos to the end of what was read.
    std::size_t bytes_from(const char* pos) const;

    // The reason (an errno) the input could not be read, or 0.
    int error() const { return read_error; }

private:
    // Nothing read yet; reading; the input has ended (or failed) and is read
    // no more, though the buffer may still hold text; a read found no
    // number, and nothing more is taken.
    enum class State : unsigned char { unopened, open, ended, stopped };

    bool refill(const char*& pos);
    long read_more(char* into, std::size_t size);
    std::size_t read_past_mark();
    std::size_t decode(std::size_t held);
    std::nullopt_t stop(const char*& pos, const char* at);

    char* const text;
    char* text_end;
    StandardOutput& tie;
    const char* const* reader = nullptr;
    State state = State::unopened;
    Encoding encoding = Encoding::bytes;
    bool half_unit_held = false;
    char half_unit = 0;
    int read_error = 0;
};

extern StandardInput standard_input;

}  // namespace detail

// Standard input, read a number at a time. The caller holds the one Input
// of the run, which alone keeps the position reached: where reading stopped
// is that position, and only the reading moves it. The run's own endings
// (finish, fail, a failed write) leave standard input there, so standard
// input knows where the Input keeps it. It can be neither copied nor moved,
// since another Input would read on from a position this one never learns of.
class Input {
public:
    Input() { detail::standard_input.read_by(pos); }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Reads the next whole number into n: white space is skipped, then an
    // optional sign and the decimal digits that follow, up to the first byte
    // that cannot continue the number. Returns false and leaves n as it is
    // when no number in the signed 32-bit range stands there, or the input
    // has ended; from then on no more input is taken and every read fails.
    bool read(std::int32_t& n);

private:
    // The first byte not yet taken. The buffer starts empty, so the first
    // read goes to the slow path, which fills it.
    const char* pos = detail::standard_input.end();
};

// Writes its arguments, string literals, numbers and counters, one after
// another.
template <typename... Pieces>
void write(const Pieces&... pieces);

// Ends the run: writes out what is buffered, leaves standard input just
// past the last byte that the Input took, where it can go back, and gives
// the exit status: 0, or 1 after reporting input that could not be read.
// Where the reader of standard output or standard error has left, the
// process ends here, by SIGPIPE, or with status 1 where SIGPIPE was ignored
// or blocked when the program started.
int finish();

// Ends the run for a failure other than a failed write: writes out what is
// buffered, reports "extremes: <what>" (with ": <reason>" when there is one)
// on standard error, leaves standard input as finish does, and ends the
// process with status 1.
[[noreturn]] void fail(const char* what, const char* reason = nullptr);

namespace detail {

// White space is ' ' and \t \n \v \f \r: a table of every byte says
// which, in one load.
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

// The most bytes a piece can take: 0 marks what write does not take.
template <typename T>
inline constexpr std::size_t room = 0;
template <>
inline constexpr std::size_t room<std::int32_t> = digits::decimal_room;
template <std::size_t N>
inline constexpr std::size_t room<char[N]> = N - 1;
template <>
inline constexpr std::size_t room<digits::Counter> = digits::Counter::room;

// The put routines write at p and return the end of what they wrote: the
// output position is a local of the write, whereas a position in memory
// might be changed by any byte stored, as a char may alias any object, and
// would have to be read again after each.
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
    // Most numbers stand whole in the buffer, short enough to be taken at
    // once, which is done here, in the caller's loop; the rest, what is not
    // a number, and the end of the buffer are left to the slow path.
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
