// The number core of extremes: signed 32-bit numbers to decimal text, and
// runs of decimal digits to numbers, eight digits at a time. Nothing here
// reads or writes a stream: the routines work on bytes in memory, and
// tests/test_digits.cpp checks them over their whole range, in both the
// forms chosen below.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace digits {

// A machine with 64-bit registers works on eight digits in one word. On a
// 32-bit one, such as the x86 that the Windows build is for, a 64-bit word
// takes two registers, and some of its operations call into the compiler's
// runtime: there the digits go four to a 32-bit word. The routines that
// differ take the choice as a parameter, so that the tests check both.
inline constexpr bool wide = sizeof(std::size_t) >= 8;

// The digit tricks below see eight bytes of text as one word whose lowest
// byte is the first in memory. These two move such a word to and from memory
// on a machine of either byte order.
inline std::uint64_t swap_bytes(std::uint64_t x)
{
    x = (x & 0x00ff00ff00ff00ff) << 8 | (x >> 8 & 0x00ff00ff00ff00ff);
    x = (x & 0x0000ffff0000ffff) << 16 | (x >> 16 & 0x0000ffff0000ffff);
    return x << 32 | x >> 32;
}

inline std::uint64_t load8(const char* p)
{
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        x = swap_bytes(x);
    return x;
}

inline void store8(char* p, std::uint64_t x)
{
    if constexpr (std::endian::native == std::endian::big)
        x = swap_bytes(x);
    std::memcpy(p, &x, 8);
}

inline std::uint32_t load4(const char* p)
{
    std::uint32_t x;
    std::memcpy(&x, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        x = static_cast<std::uint32_t>(swap_bytes(x) >> 32);
    return x;
}

// The number of zero bytes at the low end of x, which is not 0.
template <bool wide_word = wide>
inline int low_zero_bytes(std::uint64_t x)
{
    if constexpr (wide_word)
        return std::countr_zero(x) / 8;
    const auto low = static_cast<std::uint32_t>(x);
    return low ? std::countr_zero(low) / 8 : 4 + std::countr_zero(static_cast<std::uint32_t>(x >> 32)) / 8;
}

inline void store4_reversed(char* p, std::uint32_t x)
{
    if constexpr (std::endian::native == std::endian::little)
        x = x >> 24 | (x >> 8 & 0xff00) | (x << 8 & 0xff0000) | x << 24;
    std::memcpy(p, &x, 4);
}

// The four decimal digits of u < 10,000, leading zeros included, one to a
// byte as the numbers 0 to 9, the first digit in the lowest byte.
inline std::uint32_t four_digits(std::uint32_t u)
{
    return u / 1000 | (u / 100 % 10) << 8 | (u / 10 % 10) << 16 | (u % 10) << 24;
}

// four_digits of every number below 10,000: the eight digits of a number
// are then two loads rather than a chain of divisions. The table takes
// 40,000 bytes, much of which stays in the processor's first cache while
// numbers are written.
struct FourDigitTable {
    std::uint32_t digits[10000];
    FourDigitTable()
    {
        for (std::uint32_t u = 0; u < 10000; ++u)
            digits[u] = four_digits(u);
    }
};
inline const FourDigitTable four_digit_table;

// The eight decimal digits of u < 100,000,000, as four_digits gives four.
inline std::uint64_t eight_digits(std::uint32_t u)
{
    return four_digit_table.digits[u / 10000] |
           std::uint64_t{four_digit_table.digits[u % 10000]} << 32;
}

// The first digits of a nine- or ten-digit number of at most 2^31, that
// is its hundreds of millions, 1 to 21, as two bytes: the one digit twice up
// to 9.
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

// The most bytes that put_decimal writes for a number: "-2147483648".
inline constexpr int decimal_room = 11;

// Writes n in decimal at p, a minus sign before a negative number, and
// returns the end of what it wrote. It may store bytes past that end, up to
// decimal_room bytes from p: whatever is written next goes over them.
template <bool wide_word = wide>
inline char* put_decimal(char* p, std::int32_t n)
{
    // Signs vary at random among the values read: the sign is written
    // always and stepped over without a branch, which would be guessed wrong
    // half the time.
    auto u = static_cast<std::uint32_t>(n);
    *p = '-';
    p += n < 0;
    u = n < 0 ? 0u - u : u;
    std::uint64_t text;
    if (u >= 100000000) {
        // Nine digits or ten, at random: the first one or two are written as
        // two bytes, the second of which the eight digits after a single
        // first digit go over.
        const std::uint32_t high = u / 100000000;
        std::memcpy(p, leading_digits.text[high], 2);
        p += 1 + (high >= 10);
        text = eight_digits(u % 100000000) | 0x3030303030303030;
        store8(p, text);
        return p + 8;
    }
    text = eight_digits(u);
    // Drop the leading zeros, but keep the one digit of 0.
    const int zeros = text ? low_zero_bytes<wide_word>(text) : 7;
    text = text >> 8 * zeros | 0x3030303030303030;
    store8(p, text);
    return p + 8 - zeros;
}

// A count from 0 up to 2,147,483,647 that keeps its own decimal text: the
// positions of the values, written twice each, cost a copy and no division.
// The last four digits are held one to a byte, the last digit lowest, each
// as 0xf6 plus the digit, so that adding 1 carries out of a 9 into the next
// digit by itself; the digits before them change every 10,000 counts and are
// then written out again.
class Counter {
public:
    Counter() = default;

    explicit Counter(std::int32_t start) : count(start)
    {
        std::uint32_t low = static_cast<std::uint32_t>(start) % 10000;
        for (int k = 0; k < 4; ++k, low /= 10)
            last_four += (low % 10) << 8 * k;
        low_length = start >= 1000 ? 4 : start >= 100 ? 3 : start >= 10 ? 2 : 1;
        high = text_of(static_cast<std::uint32_t>(start) / 10000);
    }

    operator std::int32_t() const { return count; }

    Counter& operator++()
    {
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

    // The most bytes that put writes: ten digits.
    static constexpr int room = 10;

    // Writes the count in decimal at p and returns the end of what it wrote;
    // it may store bytes past that end, up to room bytes from p.
    char* put(char* p) const
    {
        std::memcpy(p, &high.bytes, 8);
        p += high.length;
        // Each byte less 0xc6 is the digit's character, with no borrow.
        store4_reversed(p, (last_four - 0xc6c6c6c6) << 8 * (4 - low_length));
        return p + low_length;
    }

private:
    // The digits before the last four, as text: at most 214748. They are
    // held in a word, not an array, and the counter's address is never
    // taken, so that the compiler can keep all of it in registers while
    // output is stored byte by byte.
    struct Text {
        std::uint64_t bytes = 0;
        int length = 0;
    };

    static Text text_of(std::uint32_t high)
    {
        char text[decimal_room];
        const char* end = put_decimal(text, static_cast<std::int32_t>(high));
        Text t;
        std::memcpy(&t.bytes, text, 8);
        t.length = high ? static_cast<int>(end - text) : 0;
        return t;
    }

    std::int32_t count = 0;
    std::uint32_t last_four = 0xf6f6f6f6;
    int low_length = 1;
    Text high;
};

// The bytes of x that are not digits, x being text with each byte xored with
// '0', so that the digits are 0 to 9: their top bits set, the rest clear. A
// byte over 9 sets its top bit in x + 0x76 or already has it in x. A carry out
// of a byte can only spoil the bytes after it, which never count.
inline std::uint64_t other_bytes(std::uint64_t x)
{
    return (x | (x + 0x7676767676767676)) & 0x8080808080808080;
}

inline std::uint32_t other_bytes(std::uint32_t x)
{
    return (x | (x + 0x76767676)) & 0x80808080;
}

// The value of the n decimal digits at p, 1 <= n <= 4, in a 32-bit word; as
// join_digits below.
inline std::uint32_t join_four(const char* p, int n)
{
    std::uint32_t x = (load4(p) ^ 0x30303030) << (32 - 8 * n);
    x = (x * 10 + (x >> 8)) & 0x00ff00ff;
    return (x * 100 + (x >> 16)) & 0xffff;
}

// The value of the n decimal digits at p, 1 <= n <= 8. All eight bytes may
// be read; those past the digits do not count.
template <bool wide_word = wide>
inline std::uint32_t join_digits(const char* p, int n)
{
    if constexpr (!wide_word) {
        if (n <= 4)
            return join_four(p, n);
        static constexpr std::uint32_t scale[] = {1, 10, 100, 1000, 10000};
        return join_four(p, 4) * scale[n - 4] + join_four(p + 4, n - 4);
    }
    // The digits become the numbers 0 to 9, the first in the lowest byte:
    // shifting them up to the top puts zero digits in front of them. Then
    // pairs of digits are joined, then pairs of pairs, then the two halves.
    std::uint64_t x = (load8(p) ^ 0x3030303030303030) << (64 - 8 * n);
    x = (x * 10 + (x >> 8)) & 0x00ff00ff00ff00ff;
    x = (x * 100 + (x >> 16)) & 0x0000ffff0000ffff;
    return static_cast<std::uint32_t>(x * 10000 + (x >> 32));
}

// Takes the decimal digits among the four bytes at p, up to the first other
// byte, all at once: returns how many there are (0 to 4) and puts their
// value in value. As take_digits below, in a 32-bit word.
inline int take_four_digits(const char* p, std::uint32_t& value)
{
    const std::uint32_t other = other_bytes(load4(p) ^ 0x30303030);
    if (other & 0x80) {
        value = 0;
        return 0;
    }
    const int n = other ? std::countr_zero(other) / 8 : 4;
    value = join_four(p, n);
    return n;
}

// Takes the decimal digits among the eight bytes at p, up to the first
// other byte, all at once: returns how many there are (0 to 8) and puts
// their value in value. All eight bytes are read; those past the digits do
// not count.
template <bool wide_word = wide>
inline int take_digits(const char* p, std::uint32_t& value)
{
    if constexpr (!wide_word) {
        const int n = take_four_digits(p, value);
        if (n < 4)
            return n;
        static constexpr std::uint32_t scale[] = {1, 10, 100, 1000, 10000};
        std::uint32_t more = 0;
        const int m = take_four_digits(p + 4, more);
        value = value * scale[m] + more;
        return n + m;
    }
    const std::uint64_t other = other_bytes(load8(p) ^ 0x3030303030303030);
    if (other & 0x80) {
        value = 0;
        return 0;
    }
    const int n = other ? std::countr_zero(other) / 8 : 8;
    value = join_digits<true>(p, n);
    return n;
}

// Takes a whole number among the sixteen bytes at p, an optional sign and
// then decimal digits up to the first other byte: returns how many bytes the
// sign and digits take, and puts the number in value. Returns 0 when no digit
// follows the sign, when more than ten do, leading zeros included, or when
// the number is outside the signed 32-bit range: such text is left to a
// slower reading. All sixteen bytes are read.
//
// Where the number ends is found straight from the bytes, apart from its
// value: reading one number after another then waits on that alone, while
// the values are worked out alongside.
template <bool wide_word = wide>
inline int take_number(const char* p, std::int32_t& value)
{
    // A sign is not a digit: its top bit is set in the masks below, and
    // cleared again. It carries into no other byte.
    const bool negative = p[0] == '-';
    const int sign = negative | (p[0] == '+');
    const std::uint32_t sign_bit = static_cast<std::uint32_t>(sign) << 7;
    int length;
    if constexpr (wide_word) {
        const std::uint64_t other = other_bytes(load8(p) ^ 0x3030303030303030) ^ sign_bit;
        length = other ? std::countr_zero(other) / 8
                       : 8 + std::countr_zero(other_bytes(load8(p + 8) ^ 0x3030303030303030)) / 8;
    } else {
        std::uint32_t other = other_bytes(load4(p) ^ 0x30303030) ^ sign_bit;
        length = 0;
        for (int k = 4; other == 0 && k < 16; k += 4) {
            other = other_bytes(load4(p + k) ^ 0x30303030);
            length = k;
        }
        length += other ? std::countr_zero(other) / 8 : 4;
    }
    const int count = length - sign;
    if (count == 0 || count > 10)
        return 0;

    // Eight digits or more, as most numbers have, are the last eight joined
    // as they stand, and before them the first one or two, if any, taken
    // without a branch: nine digits and ten come at random, and a branch
    // between them would be guessed wrong half the time.
    const char* start = p + sign;
    using Word = std::conditional_t<wide_word, std::uint64_t, std::uint32_t>;
    Word magnitude = 0;
    std::uint32_t lead = 0;
    if (count >= 8) {
        const auto first = static_cast<std::uint32_t>(static_cast<unsigned char>(start[0]) ^ '0');
        const auto second = static_cast<std::uint32_t>(static_cast<unsigned char>(start[1]) ^ '0');
        const std::uint32_t both = (first | second << 8) << 8 * (10 - count) & 0xffff;
        lead = (both * 10 + (both >> 8)) & 0xff;
        magnitude = Word{lead} * 100000000 + join_digits<wide_word>(start + count - 8, 8);
    } else {
        magnitude = join_digits<wide_word>(start, count);
    }
    bool fits = magnitude <= 0x7fffffffu + Word{negative};
    // In a 32-bit word, a number whose first two of ten digits are over 21
    // may wrap around; it is out of range anyway.
    if constexpr (!wide_word)
        fits = fits && lead <= 21;
    if (!fits)
        return 0;
    const auto low = static_cast<std::uint32_t>(magnitude);
    value = static_cast<std::int32_t>(negative ? 0u - low : low);
    return length;
}

}  // namespace digits
