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

// Numbers are taken apart and put together eight digits at a time in 64-bit
// words whose lowest byte comes first in memory.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "extremes needs a little-endian machine");

namespace io {

// The line end of the platform's text files.
#ifdef _WIN32
inline constexpr char eol[] = "\r\n";
#else
inline constexpr char eol[] = "\n";
#endif

// Reads the next whole number from standard input into n: white space is
// skipped, then an optional sign and the decimal digits that follow, up to
// the first byte that cannot continue the number. Returns false and leaves n
// as it is when no number in the signed 32-bit range stands there, or the
// input has ended; from then on no more input is taken and every read fails.
bool read(std::int32_t& n);

// Writes its arguments, string literals and numbers, one after another.
template <typename... Pieces>
void write(const Pieces&... pieces);

// Ends the run: writes out what is buffered and gives the exit status, 0, or
// 1 after reporting input that could not be read.
int finish();

// Reports "extremes: <what>" (with ": <reason>" when there is one) on
// standard error and ends the process with status 1.
[[noreturn]] void fail(const char* what, const char* reason = nullptr);

namespace detail {

// The output is written out a block at a time: out_end marks where the
// block ends, 64 KiB into out or more (streams.cpp says why), and out holds
// the largest block.
inline constexpr std::size_t out_size = 512 * 1024;
extern char out[out_size];
extern char* out_pos;
extern char* out_end;
void flush();

// The most bytes a piece can take: 0 marks what write does not take.
template <typename T>
inline constexpr std::size_t room = 0;
template <>
inline constexpr std::size_t room<std::int32_t> = 11;  // "-2147483648"
template <std::size_t N>
inline constexpr std::size_t room<char[N]> = N - 1;

// The put routines write at p and return the end of what they wrote: the
// output position stays in a register for the whole of a write, whereas as a
// variable in memory it would be read again after every byte stored.
template <std::size_t N>
inline char* put(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

// The eight decimal digits of u < 100,000,000, leading zeros included, one
// to a byte, the first digit in the lowest byte (where it lands in memory):
// two halves of four digits, each split into two pairs, each pair into two
// digits, the halves and pairs side by side in one register. The divisions
// are multiplications: 10486 / 2^20 and 103 / 2^10 divide exactly enough
// by 100 below 10,000 and by 10 below 100.
inline std::uint64_t eight_digits(std::uint32_t u)
{
    std::uint64_t x = u / 10000 | std::uint64_t{u % 10000} << 32;
    std::uint64_t q = (x * 10486 >> 20) & 0x0000007f0000007f;
    x = q | (x - q * 100) << 16;
    q = (x * 103 >> 10) & 0x000f000f000f000f;
    return q | (x - q * 10) << 8;
}

// Writes n in decimal. It may store a few bytes past the end it returns,
// within room<std::int32_t>: the next piece writes over them.
inline char* put(char* p, std::int32_t n)
{
    // Signs and lengths of the values read vary at random: the choices here
    // are made without branches, which would be guessed wrong half the time.
    auto u = static_cast<std::uint32_t>(n);
    *p = '-';
    p += n < 0;
    u = n < 0 ? 0u - u : u;
    std::uint64_t digits;
    if (u >= 100000000) {
        const std::uint32_t high = u / 100000000;  // at most 42
        const bool one = high < 10;
        p[0] = static_cast<char>('0' + (one ? high : high / 10));
        p[1] = static_cast<char>('0' + high % 10);
        p += 2 - one;
        digits = eight_digits(u % 100000000) | 0x3030303030303030;
        std::memcpy(p, &digits, 8);
        return p + 8;
    }
    digits = eight_digits(u);
    // Drop the leading zeros, but keep the one digit of 0.
    const int zeros = digits ? __builtin_ctzll(digits) / 8 : 7;
    digits = digits >> 8 * zeros | 0x3030303030303030;
    std::memcpy(p, &digits, 8);
    return p + 8 - zeros;
}

}  // namespace detail

template <typename... Pieces>
inline void write(const Pieces&... pieces)
{
    // One check for the whole call: the pieces then go in without another.
    static_assert(((detail::room<Pieces> > 0) && ...),
                  "io::write takes string literals and 32-bit numbers");
    constexpr std::size_t need = (detail::room<Pieces> + ...);
    if (static_cast<std::size_t>(detail::out_end - detail::out_pos) < need)
        detail::flush();
    char* p = detail::out_pos;
    ((p = detail::put(p, pieces)), ...);
    detail::out_pos = p;
}

}  // namespace io
