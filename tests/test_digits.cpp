// Checks the number core in both word sizes: every eight-digit group, the
// counter up to eight digits, take_number on every sign and count of digits
// before every byte that stops them, and add_digits at every length and
// both limits; with --every-value K/N, the Kth of N parts of every signed
// 32-bit value, written by put_decimal and read back by take_number, and
// the counter on to the largest count, checked where it wraps.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "digits.h"

namespace {

// The digit routines in both word sizes.
constexpr auto take_numbers = {digits::take_number<std::uint64_t>, digits::take_number<std::uint32_t>};
constexpr auto join_digits = {digits::join_digits<std::uint64_t>, digits::join_digits<std::uint32_t>};

// The failures by kind, a routine and whether it was to find a number and
// whether it found one: how many, and the first, so that a fault that fails
// many checks alike is told once.
std::map<std::string, std::pair<long, std::string>> failures;

// What a routine was to find, or found: a number, and where it ends, or none.
std::string outcome(const char* end, const char* start, long long n)
{
    return end ? std::to_string(n) + ", ending at byte " + std::to_string(end - start) : "no number";
}

// text: what the routine read, or the number it wrote, shown as a C string.
void fail(const char* routine, std::string_view text, const std::string& expected, const std::string& got)
{
    std::string shown = "\"";
    for (const unsigned char c : text) {
        char escaped[5];
        const bool plain = c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
        std::snprintf(escaped, sizeof escaped, plain ? "%c" : "\\x%02x", c);
        shown += escaped;
    }
    const std::string kind = std::string(routine) + (expected == "no number" ? ", no number expected" : "");
    auto& [count, first] = failures[kind + (got == "no number" ? ", no number found" : "")];
    if (count++ == 0)
        first = shown + "\": expected " + expected + ", got " + got;
}

// A counter, counted up from 0, must write what put_decimal writes, and
// nothing past its room, at each count from first up to last, or with
// wraps_only at the first and last of each 10,000 (where it writes its
// leading digits again) and at the last; it stops at its first failure.
void check_counter(std::int64_t first, std::int64_t last, bool wraps_only = false)
{
    digits::Counter count;
    for (std::int64_t n = 0; n < last; ++n) {
        if (n >= first && (!wraps_only || (n + 1) % 10000 < 2 || n + 1 == last)) {
            char want[digits::decimal_room], got[digits::Counter::room + 1];
            got[digits::Counter::room] = '#';
            const std::string wanted(want, digits::put_decimal(want, static_cast<std::int32_t>(n)));
            const std::string text(got, count.put(got));
            if (count != n || text != wanted || got[digits::Counter::room] != '#')
                return fail("Counter", wanted, wanted,
                            text + (got[digits::Counter::room] != '#' ? ", past its room" : ""));
        }
        if (n + 1 < last)
            ++count;
    }
}

// Every value from first up to last (2^32 for all), as unsigned, a batch at
// a time: put_decimal must write the text std::to_chars writes, a line each,
// and take_number read it back, long after it was written, as the program
// does. Digits stand before the text, for take_number to leave alone. Then
// the counter where it wraps, below 2^31.
void check_every_value(std::uint64_t first, std::uint64_t last)
{
    constexpr int batch = 4096;
    constexpr int line = digits::decimal_room + 1;
    static char theirs[digits::reach_before + batch * line + digits::reach_after];
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
            const char* t = text;
            for (int j = 0; j < count; ++j) {
                char ours[line] = {};
                ours[digits::decimal_room] = '#';
                const char* end = digits::put_decimal<W>(ours, n(j));
                const std::string_view got(ours, static_cast<std::size_t>(end - ours));
                const std::string_view want(t, static_cast<std::size_t>(std::strchr(t, '\n') - t));
                if (got != want || ours[line - 1] != '#')
                    fail("put_decimal", want, std::string(want),
                         std::string(got) + (ours[line - 1] != '#' ? " and more" : ""));
                t += want.size() + 1;
            }
            const char* q = text;
            for (int j = 0; j < count; ++j) {
                std::int32_t back = 0;
                const char* line = q;
                q = digits::take_number<W>(q, back);
                if (!q || *q != '\n' || back != n(j)) {
                    const std::string want = std::to_string(n(j));
                    fail("take_number", want + "\n", outcome(line + want.size(), line, n(j)),
                         outcome(q, line, back));
                }
                if (!q)
                    return;
                ++q;
            }
        };
        check_word(std::uint64_t{});
        check_word(std::uint32_t{});
    }

    constexpr std::uint64_t counts = std::uint64_t{1} << 31;
    if (first < counts)
        check_counter(static_cast<std::int64_t>(first), static_cast<std::int64_t>(std::min(last, counts)), true);
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
            if (end != number.data() + number.size() || !parts_end_right || value != want_value)
                fail(negative ? "add_digits, after a minus" : "add_digits",
                     text.substr(0, cut) + "|" + text.substr(cut), std::to_string(want_value),
                     std::to_string(value) + (parts_end_right ? "" : ", the parts ended early"));
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
            fail("eight_digits", std::to_string(u), std::string(counter, 8), std::string(text, 8));
        for (auto join : join_digits)
            if (join(text, 8) != u)
                fail("join_digits", std::string(text, 8), std::to_string(u), std::to_string(join(text, 8)));
        for (int k = 7; k >= 0 && ++counter[k] > '9'; --k)
            counter[k] = '0';
    }

    // The counter from 0 up past every length up to eight digits.
    check_counter(0, 20000000);

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
                        if (taken != want_length || (taken != 0 && got != want))
                            fail("take_number", {number, static_cast<std::size_t>(sign_length + count + 1)},
                                 outcome(want_length ? number + want_length : nullptr, number, want),
                                 outcome(end, number, got));
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
    long failed = 0;
    for (const auto& [kind, alike] : failures) {
        std::printf("%s: %s (%ld alike)\n", kind.c_str(), alike.second.c_str(), alike.first);
        failed += alike.first;
    }
    std::printf("%ld failed\n", failed);
    return failed == 0 ? 0 : 1;
}
