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

// 64 KiB is what a Linux pipe holds: each write fills the reader's pipe
// without splitting it, and the buffer stays in the first-level cache.
inline constexpr std::size_t out_size = 64 * 1024;
extern char out[out_size];
extern char* out_pos;
void flush();

// The most bytes a piece can take: 0 marks what write does not take.
template <typename T>
inline constexpr std::size_t room = 0;
template <>
inline constexpr std::size_t room<std::int32_t> = 11;  // "-2147483648"
template <std::size_t N>
inline constexpr std::size_t room<char[N]> = N - 1;

// The put routines write at p and return the end of what they wrote: the
// output position stays in a register for the whole of a write, where as a
// variable in memory it would be read again after every byte stored.
template <std::size_t N>
inline char* put(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the last 2 * Pairs digits of u in front of end: the pairs of a
// group come from independent divisions, so they are worked out side by side.
template <int Pairs>
inline void put_group(char* end, std::uint32_t u)
{
    if constexpr (Pairs == 1) {
        std::memcpy(end - 2, digit_pairs + u % 100 * 2, 2);
    } else {
        constexpr std::uint32_t half = Pairs == 4 ? 10000 : 100;
        put_group<Pairs / 2>(end, u % half);
        put_group<Pairs / 2>(end - Pairs, u / half % half);
    }
}

inline char* put(char* p, std::int32_t n)
{
    auto u = static_cast<std::uint32_t>(n);
    if (n < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    const std::size_t len = 1 + (u >= 10) + (u >= 100) + (u >= 1000) + (u >= 10000) +
                            (u >= 100000) + (u >= 1000000) + (u >= 10000000) +
                            (u >= 100000000) + (u >= 1000000000);
    char* const after = p + len;
    char* end = after;
    // Eight digits at a time, then four, then two: far fewer steps that wait
    // on each other than one division by 10 after another.
    if (u >= 100000000) {
        put_group<4>(end, u % 100000000);
        u /= 100000000;
        end -= 8;
    }
    if (u >= 10000) {
        put_group<2>(end, u % 10000);
        u /= 10000;
        end -= 4;
    }
    if (u >= 100) {
        put_group<1>(end, u % 100);
        u /= 100;
        end -= 2;
    }
    if (u >= 10)
        std::memcpy(end - 2, digit_pairs + u * 2, 2);
    else
        end[-1] = static_cast<char>('0' + u);
    return after;
}

}  // namespace detail

template <typename... Pieces>
inline void write(const Pieces&... pieces)
{
    // One check for the whole call: the pieces then go in without another.
    static_assert(((detail::room<Pieces> > 0) && ...),
                  "io::write takes string literals and 32-bit numbers");
    constexpr std::size_t need = (detail::room<Pieces> + ...);
    if (static_cast<std::size_t>(detail::out + detail::out_size - detail::out_pos) < need)
        detail::flush();
    char* p = detail::out_pos;
    ((p = detail::put(p, pieces)), ...);
    detail::out_pos = p;
}

}  // namespace io
