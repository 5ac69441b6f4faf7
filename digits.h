// The number core of extremes: signed 32-bit numbers to decimal text, and
// runs of decimal digits to numbers, eight digits at a time in one 64-bit
// word. Nothing here reads or writes a stream: the routines work on bytes in
// memory, and tests/test_digits.cpp checks them over their whole range.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace digits {

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

// The eight decimal digits of u < 100,000,000, leading zeros included, one
// to a byte as the numbers 0 to 9, the first digit in the lowest byte: two
// halves of four digits, each split into two pairs, each pair into two
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

// The most bytes that put_decimal writes for a number: "-2147483648".
inline constexpr int decimal_room = 11;

// Writes n in decimal at p, a minus sign before a negative number, and
// returns the end of what it wrote. It may store bytes past that end, up to
// decimal_room bytes from p: whatever is written next goes over them.
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
        const std::uint32_t high = u / 100000000;  // at most 42
        const bool one = high < 10;
        p[0] = static_cast<char>('0' + (one ? high : high / 10));
        p[1] = static_cast<char>('0' + high % 10);
        p += 2 - one;
        text = eight_digits(u % 100000000) | 0x3030303030303030;
        store8(p, text);
        return p + 8;
    }
    text = eight_digits(u);
    // Drop the leading zeros, but keep the one digit of 0.
    const int zeros = text ? std::countr_zero(text) / 8 : 7;
    text = text >> 8 * zeros | 0x3030303030303030;
    store8(p, text);
    return p + 8 - zeros;
}

// Takes the decimal digits among the eight bytes at p, up to the first
// other byte, all at once: returns how many there are (0 to 8) and puts
// their value in value. All eight bytes are read; those past the digits do
// not count.
inline int take_digits(const char* p, std::uint32_t& value)
{
    std::uint64_t x = load8(p) ^ 0x3030303030303030;  // digits become 0 to 9
    // A byte over 9 sets its top bit in x + 0x76 or already has it in x. A
    // carry out of a byte can only spoil the bytes after it.
    const std::uint64_t other = (x | (x + 0x7676767676767676)) & 0x8080808080808080;
    if (other & 0x80) {
        value = 0;
        return 0;
    }
    const int n = other ? std::countr_zero(other) / 8 : 8;
    // The first byte is the lowest: shifting the digits up to the top puts
    // zero digits in front of them. Then pairs of digits are joined, then
    // pairs of pairs, then the two halves.
    x <<= 64 - 8 * n;
    x = (x * 10 + (x >> 8)) & 0x00ff00ff00ff00ff;
    x = (x * 100 + (x >> 16)) & 0x0000ffff0000ffff;
    value = static_cast<std::uint32_t>(x * 10000 + (x >> 32));
    return n;
}

}  // namespace digits
