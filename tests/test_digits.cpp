// Checks the number core over its whole range, in both word sizes: every
// eight-digit group formatted and joined back, put_decimal against
// std::to_chars at every length and boundary, the counter against
// put_decimal over each length, and take_number on every sign and count of
// digits before every kind of byte that stops them, and on every number
// that put_decimal is checked on.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "digits.h"

namespace {

// The digit routines in both word sizes.
constexpr auto take_numbers = {digits::take_number<std::uint64_t>, digits::take_number<std::uint32_t>};
constexpr auto join_digits = {digits::join_digits<std::uint64_t>, digits::join_digits<std::uint32_t>};

long checks = 0;
long failures = 0;

void check(bool ok, const char* what, long long n)
{
    ++checks;
    if (!ok && ++failures <= 10)
        std::printf("wrong: %s for %lld\n", what, n);
}

void check_put_decimal(std::int32_t n)
{
    // take_number may read two bytes before the number: digits, here.
    char text[26] = {'9', '9'};
    char* want = text + 2;
    const auto [want_end, error] = std::to_chars(want, want + 16, n);
    for (auto put_decimal : {digits::put_decimal<std::uint64_t>, digits::put_decimal<std::uint32_t>}) {
        char got[digits::decimal_room + 1];
        std::memset(got, '#', sizeof got);
        const char* end = put_decimal(got, n);
        check(error == std::errc{} && end - got == want_end - want &&
                  std::memcmp(got, want, static_cast<std::size_t>(end - got)) == 0,
              "put_decimal", n);
        check(got[digits::decimal_room] == '#', "put_decimal past its room", n);
    }
    // And back again.
    std::memcpy(want_end, "\n99999", 6);
    for (auto take_number : take_numbers) {
        std::int32_t back = 0;
        check(take_number(want, back) == want_end && back == n, "take_number", n);
    }
}

}  // namespace

int main()
{
    // Every group of eight digits, against a counter kept in decimal text.
    char counter[8] = {'0', '0', '0', '0', '0', '0', '0', '0'};
    char text[8];
    for (std::uint32_t u = 0; u < 100000000; ++u) {
        digits::store(text, digits::eight_digits(u));
        if (std::memcmp(text, counter, 8) != 0)
            check(false, "eight digits", u);
        for (auto join : join_digits)
            if (join(text, 8) != u)
                check(false, "eight digits joined back", u);
        for (int k = 7; k >= 0 && ++counter[k] > '9'; --k)
            counter[k] = '0';
    }
    check(true, "eight digits there and back", 0);

    // Each side of every power of ten, of either sign, the limits, and a
    // sweep over the whole range.
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    for (std::int64_t power = 1; power <= highest; power *= 10)
        for (std::int64_t n : {power - 1, power, power + 1})
            for (std::int64_t signed_n : {n, -n})
                if (signed_n >= lowest && signed_n <= highest)
                    check_put_decimal(static_cast<std::int32_t>(signed_n));
    for (std::int32_t n : {lowest, lowest + 1, highest - 1, highest})
        check_put_decimal(n);
    for (std::int64_t n = lowest; n <= highest; n += 65521)
        check_put_decimal(static_cast<std::int32_t>(n));
    for (std::int32_t n = -1000000; n <= 1000000; ++n)
        check_put_decimal(n);

    // The counter from 0 up past every length up to eight digits, and from
    // a few starts to the largest count, against put_decimal.
    for (std::int32_t start : {0, 99990000, 999990000, highest - 25000}) {
        digits::Counter count(start);
        for (std::int64_t n = start; n <= highest && n < std::int64_t{start} + 20000000; ++n, ++count) {
            char got[digits::Counter::room + 1];
            char want[digits::decimal_room];
            got[digits::Counter::room] = '#';
            const char* end = count.put(got);
            const char* want_end = digits::put_decimal(want, static_cast<std::int32_t>(n));
            if (count != n || end - got != want_end - want ||
                std::memcmp(got, want, static_cast<std::size_t>(end - got)) != 0 ||
                got[digits::Counter::room] != '#')
                check(false, "counter", n);
            if (n == highest)
                break;
        }
        check(true, "counter", start);
    }

    // A sign or none, then every count of digits up to sixteen, then every
    // byte that is not a digit: more than ten digits are not taken, nor a
    // number out of range.
    for (const char* sign : {"", "-", "+"}) {
        for (const char* run : {"1234567890123456", "9999999999999999", "0000000000000000",
                                "2147483648000000", "2147483649000000"}) {
            for (int count = 0; count <= 16; ++count) {
                std::int64_t want = 0;
                for (int k = 0; k < count; ++k)
                    want = want * 10 + (run[k] - '0');
                want = *sign == '-' ? -want : want;
                const int sign_length = *sign ? 1 : 0;
                const bool fits = want >= std::numeric_limits<std::int32_t>::min() &&
                                  want <= std::numeric_limits<std::int32_t>::max();
                const int want_length = count == 0 || count > 10 || !fits ? 0 : sign_length + count;
                for (int stop = 0; stop < 256; ++stop) {
                    if (stop >= '0' && stop <= '9')
                        continue;
                    char text[42];
                    std::memset(text, '9', sizeof text);
                    char* number = text + 2;
                    std::memcpy(number, sign, static_cast<std::size_t>(sign_length));
                    std::memcpy(number + sign_length, run, static_cast<std::size_t>(count));
                    number[sign_length + count] = static_cast<char>(stop);
                    for (auto take_number : take_numbers) {
                        std::int32_t got = 12345;
                        const char* end = take_number(number, got);
                        const long taken = end ? end - number : 0;
                        check(taken == want_length && (taken == 0 || got == want), "take_number",
                              (sign_length * 100 + count) * 1000 + stop);
                    }
                }
            }
        }
    }

    std::printf("%ld checks, %ld failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
