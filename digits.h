// The number core: signed 32-bit numbers to decimal text and back, several
// digits at a time in a machine word. tests/test_digits.cpp checks both word
// sizes, on every signed 32-bit value.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace digits {

// The word numbers are read in: a register's width. Digits are written eight
// at a time, in 64 bits, on either.
using Word = std::conditional_t<sizeof(std::size_t) >= 8, std::uint64_t, std::uint32_t>;

template <typename W>
inline constexpr int bits = std::numeric_limits<W>::digits;

// lanes<std::uint32_t>(0x30) is 0x30303030.
template <typename W>
constexpr W lanes(unsigned b)
{
    return static_cast<W>(~W{0}) / 0xff * b;
}

inline constexpr std::uint32_t powers_of_ten[] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

template <typename W>
constexpr W reverse_bytes(W x)
{
    W reversed = 0;
    for (std::size_t k = 0; k < sizeof x; ++k, x >>= 8)
        reversed = static_cast<W>(reversed << 8 | (x & 0xff));
    return reversed;
}

// Little-endian loads and stores on either byte order: the tricks below
// take the first byte of text as the word's lowest.
template <typename W>
inline W load(const char* p)
{
    W x;
    std::memcpy(&x, p, sizeof x);
    if constexpr (std::endian::native == std::endian::big)
        x = reverse_bytes(x);
    return x;
}

template <typename W>
inline void store(char* p, W x)
{
    if constexpr (std::endian::native == std::endian::big)
        x = reverse_bytes(x);
    std::memcpy(p, &x, sizeof x);
}

// The zero bytes at the low end of x, counted a word of W at a time.
template <typename W>
inline int low_zero_bytes(std::uint64_t x)
{
    assert(x != 0);
    int zero_bits = 0;
    for (int k = 0; k < 64; k += bits<W>) {
        const int zeros = std::countr_zero(static_cast<W>(x >> k));
        zero_bits += zeros;
        if (zeros < bits<W>)
            break;
    }
    return zero_bits / 8;
}

// The four digits of u < 10,000, leading zeros included, the first lowest.
constexpr std::uint32_t four_digits(std::uint32_t u)
{
    return (u / 1000 | (u / 100 % 10) << 8 | (u / 10 % 10) << 16 | (u % 10) << 24) +
           lanes<std::uint32_t>('0');
}

// The fast formatters' digit-pair table taken to four digits (40,000
// bytes): eight digits are two loads, not a chain of divisions.
struct FourDigitTable {
    std::uint32_t digits[10000];
};
inline constexpr FourDigitTable four_digit_table = [] {
    FourDigitTable table{};
    for (std::uint32_t u = 0; u < 10000; ++u)
        table.digits[u] = four_digits(u);
    return table;
}();

inline std::uint64_t eight_digits(std::uint32_t u)
{
    return four_digit_table.digits[u / 10000] |
           std::uint64_t{four_digit_table.digits[u % 10000]} << 32;
}

// The hundreds of millions of a number up to 2^31, 1 to 21, as two bytes:
// a single digit twice.
struct LeadingDigits {
    char text[22][2];
};
inline constexpr LeadingDigits leading_digits = [] {
    LeadingDigits table{};
    for (int k = 0; k < 22; ++k) {
        table.text[k][0] = static_cast<char>('0' + (k < 10 ? k : k / 10));
        table.text[k][1] = static_cast<char>('0' + k % 10);
    }
    return table;
}();

// The longest number, "-2147483648".
inline constexpr int decimal_room = 11;

// Writes n in decimal at p and returns the end. It may store bytes past the
// end, up to decimal_room bytes from p.
template <typename W = Word>
inline char* put_decimal(char* p, std::int32_t n)
{
    // The sign is stored always and stepped over without a branch: mixed
    // signs cost no more than one.
    auto u = static_cast<std::uint32_t>(n);
    *p = '-';
    p += n < 0;
    u = n < 0 ? 0u - u : u;
    if (u >= powers_of_ten[8]) {
        // The first one or two digits as two bytes, the last eight stored
        // over the second after a single one: no branch on the length.
        const std::uint32_t high = u / powers_of_ten[8];
        std::memcpy(p, leading_digits.text[high], 2);
        p += 1 + (high >= 10);
        store(p, eight_digits(u % powers_of_ten[8]));
        return p + 8;
    }
    // Drop the leading zeros, but keep the one digit of 0.
    const std::uint64_t text = eight_digits(u);
    const std::uint64_t values = text ^ lanes<std::uint64_t>('0');
    const int zeros = values ? low_zero_bytes<W>(values) : 7;
    store(p, text >> 8 * zeros);
    return p + 8 - zeros;
}

// A count from 0 up to 2,147,483,647 that keeps its decimal text: the
// positions, written twice each, cost a copy and no division. The last four
// digits are a byte each, the last lowest, as 0xf6 plus the digit, so that
// adding 1 carries out of a 9 by itself, as packed BCD's excess-6 addition
// does with nibbles; the digits before them are written out again every
// 10,000 counts.
class Counter {
public:
    operator std::int32_t() const { return count; }

    Counter& operator++()
    {
        assert(count < std::numeric_limits<std::int32_t>::max());
        ++count;
        const std::uint32_t up = last_four + 1;
        if ((last_four & 0xff) != 0xff) {  // nine times in ten: no 9 to carry
            last_four = up;
            return *this;
        }
        // Each digit that was 9 is now the byte 0: it becomes the digit 0.
        const std::uint32_t wrapped = (up - 0x01010101) & ~up & 0x80808080;
        last_four = up | (wrapped >> 7) * 0xf6;
        if (wrapped) {
            if (up == 0) {  // out of the fourth digit
                low_length = 4;
                high = text_of(static_cast<std::uint32_t>(count) / 10000);
            } else if (low_length < 4 && (up >> 8 * low_length & 0xff) == 0xf7) {
                ++low_length;  // a 1 before the leading digit: 10, 100 or 1000
            }
        }
        return *this;
    }

    static constexpr int room = 10;

    // As put_decimal, up to room bytes from p.
    char* put(char* p) const
    {
        store(p, high.bytes);
        p += high.length;
        // Each byte less 0xc6 is the digit's character, with no borrow;
        // below 1000 the leading zeros are shifted out.
        std::uint32_t text = last_four - 0xc6c6c6c6;
        if (low_length < 4)
            text <<= 8 * (4 - low_length);
        store(p, reverse_bytes(text));
        return p + low_length;
    }

private:
    // The digits before the last four, at most 214748, in a word rather than
    // an array, so that it may stay in a register while output is stored.
    struct Text {
        std::uint64_t bytes = 0;
        int length = 0;
    };

    static Text text_of(std::uint32_t high)
    {
        char text[decimal_room];
        const char* end = put_decimal(text, static_cast<std::int32_t>(high));
        Text t;
        t.bytes = load<std::uint64_t>(text);
        t.length = high ? static_cast<int>(end - text) : 0;
        return t;
    }

    std::int32_t count = 0;
    std::uint32_t last_four = 0xf6f6f6f6;
    int low_length = 1;
    Text high;
};

inline bool is_digit(char c)
{
    return static_cast<unsigned>(c - '0') < 10;
}

// Adds the digits at p to value and returns where they end: for the numbers
// that take_number leaves, which may go on in the next block. Past limit,
// value stays at limit + 1, never wrapping.
inline const char* add_digits(const char* p, std::uint64_t& value, std::uint32_t limit)
{
    assert(value <= std::uint64_t{limit} + 1);
    while (is_digit(*p))
        value = std::min(value * 10 + static_cast<unsigned>(*p++ - '0'), std::uint64_t{limit} + 1);
    return p;
}

// From here on, SWAR (SIMD within a register): one operation on a word
// works on each of its bytes of text.

// The top bit of each byte of x that is not a digit, x being text xored
// with '0': a byte over 9 has its top bit set in x + 0x76 or in x (the
// "bit twiddling hacks" byte test). A carry spoils only later bytes, which
// never count.
template <typename W>
inline W non_digit_bytes(W x)
{
    return (x | (x + lanes<W>(0x76))) & lanes<W>(0x80);
}

// The value of the n digits at p, reading a whole word. Shifted to the top,
// the digits get zeros in front; then pairs, fours and eights are joined,
// one multiplication each (by 10 << 8 | 1 for pairs): Daniel Lemire's "SWAR
// explained: parsing eight digits" (2022), after Wojciech Mula's.
template <typename W>
inline std::uint32_t join_word(const char* p, int n)
{
    assert(1 <= n && n <= static_cast<int>(sizeof(W)));
    W x = static_cast<W>((load<W>(p) ^ lanes<W>('0')) << (bits<W> - 8 * n));
    for (int width = 8; width < bits<W>; width *= 2) {
        // 0x00ff00ff... for pairs.
        const W every_other = static_cast<W>(~W{0}) / ((W{1} << width) + 1);
        x = (x * (W{powers_of_ten[width / 8]} << width | 1) >> width) & every_other;
    }
    return static_cast<std::uint32_t>(x);
}

// As join_word, for up to eight digits; reads all eight bytes.
template <typename W>
inline std::uint32_t join_digits(const char* p, int n)
{
    assert(1 <= n && n <= 8);
    constexpr int per_word = sizeof(W);
    std::uint32_t value = 0;
    for (int k = 0; k < n; k += per_word) {
        const int m = std::min(per_word, n - k);
        value = value * powers_of_ten[m] + join_word<W>(p + k, m);
    }
    return value;
}

// How far take_number reads before and after p; a buffer it scans has room
// for both around its text.
inline constexpr std::size_t reach_before = 2;
inline constexpr std::size_t reach_after = 16;

// Takes an optional sign and the digits after it at p: returns where they
// end, the number in value; or nullptr, for add_digits to read, where no
// digit or more than ten follow the sign, or the number is out of range.
// The end is found from the bytes alone, so that the next number waits on
// that, not on the value.
template <typename W = Word>
inline const char* take_number(const char* p, std::int32_t& value)
{
    // Loaded from p, not after the sign, so that the end does not wait on
    // the sign either; the sign's bit in the mask is cleared again.
    const bool negative = p[0] == '-';
    const int sign = negative | (p[0] == '+');
    constexpr int per_word = sizeof(W);
    static_assert(reach_after % per_word == 0, "the last word loaded ends at the reach");
    W other = non_digit_bytes<W>(load<W>(p) ^ lanes<W>('0')) ^ static_cast<W>(sign << 7);
    int length = 0;
    while (other == 0 && length + per_word < static_cast<int>(reach_after)) {
        length += per_word;
        other = non_digit_bytes<W>(load<W>(p + length) ^ lanes<W>('0'));
    }
    length += std::countr_zero(other) / 8;  // a whole word where other is 0
    const int count = length - sign;
    const char* start = p + sign;
    if (static_cast<unsigned>(count - 1) >= 10)  // none, or more than ten
        return nullptr;

    // Eight digits or more: the last eight joined, and the one or two
    // before them taken without a branch from the two bytes there (as far
    // as reach_before before p), those before the number masked out.
    W magnitude = 0;
    std::uint32_t lead = 0;
    if (count >= 8) {
        const std::uint32_t both = (load<std::uint16_t>(start + count - 10) ^ 0x3030u) &
                                   (0xffff0000u >> 8 * (count - 8));
        lead = (both * 10 + (both >> 8)) & 0xff;
        magnitude = W{lead} * powers_of_ten[8] + join_digits<W>(start + count - 8, 8);
    } else {
        magnitude = join_digits<W>(start, count);
    }
    // A larger lead could wrap the magnitude in 32 bits (past 41); the number
    // is out of range anyway.
    constexpr std::uint64_t no_wrap_lead = (W(~W{0}) - (powers_of_ten[8] - 1)) / powers_of_ten[8];
    if (lead > no_wrap_lead || magnitude > 0x7fffffffu + W{negative})
        return nullptr;
    const auto low = static_cast<std::uint32_t>(magnitude);
    value = static_cast<std::int32_t>(negative ? 0u - low : low);
    return start + count;
}

}  // namespace digits
