// Checks the number core in both word sizes: every eight-digit group, the
// counter over each length, take_number on every sign and count of digits
// before every byte that stops them, and add_digits at every length and
// both limits; with --every-value K/N, the Kth of N parts of every signed
// 32-bit value, written by put_decimal and read back by take_number.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "digits.h"

namespace {

// The digit routines in both word sizes.
constexpr auto take_numbers = {digits::take_number<std::uint64_t>, digits::take_number<std::uint32_t>};
constexpr auto join_digits = {digits::join_digits<std::uint64_t>, digits::join_digits<std::uint32_t>};

long failures = 0;

void check(bool ok, const char* what, long long n)
{
    if (!ok && ++failures <= 10)
        std::printf("wrong: %s for %lld\n", what, n);
}

// Every value from first up to last (2^32 for all), as unsigned, a batch at
// a time: put_decimal must write the text std::to_chars writes, a line each,
// and take_number read it back, long after it was written, as the program
// does. Digits stand before the text, for take_number to leave alone.
void check_every_value(std::uint64_t first, std::uint64_t last)
{
    constexpr int batch = 4096;
    constexpr int line = digits::decimal_room + 1;
    static char theirs[digits::reach_before + batch * line + digits::reach_after];
    static char ours[batch * line + digits::decimal_room];
    std::memset(theirs, '9', sizeof theirs);
    char* const text = theirs + digits::reach_before;
    for (std::uint64_t k = first; k < last; k += batch) {
        const int count = static_cast<int>(std::min<std::uint64_t>(batch, last - k));
        const auto n = [k](int j) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(k + j)); };
        char* text_end = text;
        for (int j = 0; j < count; ++j) {
            text_end = std::to_chars(text_end, text_end + line, n(j)).ptr;
            *text_end++ = '\n';
        }
        const auto check_word = [&]<typename W>(W) {
            char* p = ours;
            for (int j = 0; j < count; ++j) {
                p[digits::decimal_room] = '#';
                char* end = digits::put_decimal<W>(p, n(j));
                check(p[digits::decimal_room] == '#', "put_decimal past its room", n(j));
                *end = '\n';
                p = end + 1;
            }
            check(p - ours == text_end - text && std::memcmp(ours, text, static_cast<std::size_t>(p - ours)) == 0,
                  "put_decimal, in the batch from", n(0));
            const char* q = text;
            for (int j = 0; j < count; ++j) {
                std::int32_t back = 0;
                q = digits::take_number<W>(q, back);
                check(q && *q == '\n' && back == n(j), "take_number", n(j));
                if (!q)
                    return;
                ++q;
            }
            check(q == text_end, "take_number, in the batch from", n(0));
        };
        check_word(std::uint64_t{});
        check_word(std::uint32_t{});
    }
}

// add_digits on text, cut in two at every place as the end of a block may
// cut it, after no sign and after a minus, against std::from_chars.
void check_add_digits(const std::string& text)
{
    for (const bool negative : {false, true}) {
        const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
        const std::string number = (negative ? "-" : "") + text;
        std::int32_t want = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), want);
        const std::uint64_t want_value = error == std::errc::result_out_of_range
                                             ? std::uint64_t{limit} + 1
                                             : static_cast<std::uint64_t>(std::abs(std::int64_t{want}));
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            std::uint64_t value = 0;
            bool parts_end_right = true;
            for (const std::string& part : {text.substr(0, cut), text.substr(cut)})
                parts_end_right &= digits::add_digits(part.c_str(), value, limit) == part.c_str() + part.size();
            check(end == number.data() + number.size() && parts_end_right && value == want_value,
                  negative ? "add_digits after a minus, length and cut" : "add_digits, length and cut",
                  static_cast<long long>(text.size() * 100 + cut));
        }
    }
}

void check_quickly()
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

    // The counter from 0 up past every length up to eight digits, and from
    // a few starts to the largest count, against put_decimal.
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
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
                    char* number = text + digits::reach_before;
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

    // add_digits at every length up to 40 digits: digits that run up, 0s,
    // 9s, and each side of both limits, behind as many 0s as that takes.
    for (std::size_t length = 1; length <= 40; ++length) {
        check_add_digits(std::string("1234567890123456789012345678901234567890").substr(0, length));
        check_add_digits(std::string(length, '0'));
        check_add_digits(std::string(length, '9'));
        for (const std::string limit : {"2147483647", "2147483648", "2147483649"})
            if (length >= limit.size())
                check_add_digits(std::string(length - limit.size(), '0') + limit);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    // --every-value K/N: the Kth of N parts, 1 <= K <= N.
    char* slash = nullptr;
    char* end = nullptr;
    const std::uint64_t part = argc == 3 ? std::strtoull(argv[2], &slash, 10) : 0;
    const std::uint64_t parts = part > 0 && *slash == '/' ? std::strtoull(slash + 1, &end, 10) : 0;
    if (argc == 1) {
        check_quickly();
    } else if (std::strcmp(argv[1], "--every-value") == 0 && part > 0 && part <= parts && *end == '\0') {
        constexpr std::uint64_t all = std::uint64_t{1} << 32;
        check_every_value(all * (part - 1) / parts, all * part / parts);
    } else {
        std::printf("usage: test_digits [--every-value K/N]\n");
        return 2;
    }
    std::printf("%ld failed\n", failures);
    return failures == 0 ? 0 : 1;
}
