// Standard input and output for extremes: whole numbers in, text out.
//
// Both directions go through large buffers. Output leaves its buffer when the
// buffer fills, at the end of the run, and just before the program would have
// to wait for input: a prompt is then on the screen, or in the pipe of the
// program driving this one, before its answer is needed, while a file of
// numbers streams through without a write per prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "digits.h"
#include "platform.h"

namespace io {

using platform::eol;

namespace detail {

// The input stands in a buffer up to in_end, where a sentinel stands: a
// byte that ends any number, so the scanning loops find the end of the
// buffer as they find the end of a number, without a test of their own.
extern char* in_end;

// Where the slow path leaves the reading: the position to go on from, and
// the number it took, if it took one.
struct Resume {
    const char* at;
    std::int32_t number;
    bool taken;
};

// The slow path: reads the number that starts at or after p as Input::read
// says, across blocks of input, and gives the position after it.
Resume read_slowly(const char* p);

}  // namespace detail

// Standard input, read a number at a time. The caller holds the one Input
// of the run as a local variable, which alone keeps the position reached: so
// the compiler may keep it in a register from one number to the next, since
// what is written in between cannot be taken to change it, as it could a
// variable that any code can reach. It cannot be copied, since a copy would
// read on from a position that the original never learns of.
class Input {
public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    Input(Input&&) = default;
    Input& operator=(Input&&) = default;

    // Reads the next whole number into n: white space is skipped, then an
    // optional sign and the decimal digits that follow, up to the first byte
    // that cannot continue the number. Returns false and leaves n as it is
    // when no number in the signed 32-bit range stands there, or the input
    // has ended; from then on no more input is taken and every read fails.
    bool read(std::int32_t& n);

private:
    friend int finish(const Input& input);
    // The first byte not yet taken. The buffer starts empty, so the first
    // read goes to the slow path, which fills it.
    const char* pos = detail::in_end;
};

// Writes its arguments, string literals, numbers and counters, one after
// another.
template <typename... Pieces>
void write(Pieces&&... pieces);

// Ends the run: writes out what is buffered, leaves standard input just
// past the last byte that input read, where it can go back, and gives the
// exit status: 0, or 1 after reporting input that could not be read.
int finish(const Input& input);

// Reports "extremes: <what>" (with ": <reason>" when there is one) on
// standard error and ends the process with status 1.
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

// The output is written out a block at a time: out_end marks where the
// block ends, as far into out as the platform likes its writes, and out
// holds the largest block and room for one write past its end (the largest
// is --help's text). A write that reaches out_end sends the block out, and
// what it put past the end moves to the front. Until the first write has
// made standard output ready, out_end is out itself, so the first write
// does that.
inline constexpr std::size_t out_size = 512 * 1024;
inline constexpr std::size_t out_room_past_end = 1024;
extern char out[out_size + out_room_past_end];
extern char* out_pos;
extern char* out_end;
void flush();
char* flush_block(char* end);

// The most bytes a piece can take: 0 marks what write does not take. Text
// must be an array of const char, as a string literal is, so that a buffer
// of chars is not written out whole, its unused bytes included.
template <typename T>
inline constexpr std::size_t room = 0;
template <>
inline constexpr std::size_t room<std::int32_t> = digits::decimal_room;
template <>
inline constexpr std::size_t room<const std::int32_t> = digits::decimal_room;
template <std::size_t N>
inline constexpr std::size_t room<const char[N]> = N - 1;
template <>
inline constexpr std::size_t room<digits::Counter> = digits::Counter::room;
template <>
inline constexpr std::size_t room<const digits::Counter> = digits::Counter::room;

// The put routines write at p and return the end of what they wrote: the
// output position stays in a register for the whole of a write, whereas as a
// variable in memory it would be read again after every byte stored.
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
    if (!end || end == detail::in_end) {
        const detail::Resume resume = detail::read_slowly(p);
        pos = resume.at;
        if (resume.taken)
            n = resume.number;
        return resume.taken;
    }
    pos = end;
    n = whole;
    return true;
}

template <typename... Pieces>
inline void write(Pieces&&... pieces)
{
    // One check for the whole call, after the pieces have gone in.
    static_assert(((detail::room<std::remove_reference_t<Pieces>> > 0) && ...),
                  "io::write takes string literals and 32-bit numbers");
    static_assert((detail::room<std::remove_reference_t<Pieces>> + ...) <= detail::out_room_past_end,
                  "io::write takes no more than fits past the end of a block");
    char* p = detail::out_pos;
    ((p = detail::put(p, pieces)), ...);
    if (p >= detail::out_end)
        p = detail::flush_block(p);
    detail::out_pos = p;
}

}  // namespace io
