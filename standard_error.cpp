// Standard error (standard_error.h).

#include "standard_error.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>
#include <string_view>

#include "digits.h"
#include "finish.h"
#include "platform.h"

namespace io {

namespace {

// The bytes of the UTF-8 character that text starts with, 1 to 4, or 0
// where none stands whole: the well-formed sequences of the Unicode
// Standard's table 3-7, which leave out overlong forms, surrogates and code
// points past U+10FFFF.
std::size_t utf8_length(std::string_view text)
{
    struct Form {
        unsigned char first, last;  // the range of the leading byte
        unsigned char low, high;    // and of the second
        std::size_t length;
    };
    constexpr Form forms[] = {
        {0x00, 0x7f, 0x00, 0x00, 1}, {0xc2, 0xdf, 0x80, 0xbf, 2}, {0xe0, 0xe0, 0xa0, 0xbf, 3},
        {0xe1, 0xec, 0x80, 0xbf, 3}, {0xed, 0xed, 0x80, 0x9f, 3}, {0xee, 0xef, 0x80, 0xbf, 3},
        {0xf0, 0xf0, 0x90, 0xbf, 4}, {0xf1, 0xf3, 0x80, 0xbf, 4}, {0xf4, 0xf4, 0x80, 0x8f, 4},
    };
    assert(!text.empty());
    const auto byte = [text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    for (const Form& form : forms) {
        if (byte(0) < form.first || byte(0) > form.last)
            continue;
        if (text.size() < form.length || (form.length > 1 && (byte(1) < form.low || byte(1) > form.high)))
            return 0;
        for (std::size_t k = 2; k < form.length; ++k)
            if ((byte(k) & 0xc0) != 0x80)
                return 0;
        return form.length;
    }
    return 0;
}

// What would break the line, or hide or reorder what it quotes: Unicode
// 15.0's controls (Cc: C0, DEL and C1), format characters (Cf, among them
// the bidirectional controls, the zero-width characters and the BOM), and
// line and paragraph separators (Zl, Zp), as UnicodeData.txt lists them.
constexpr char32_t unshown[][2] = {
    {0x0, 0x1f},        {0x7f, 0x9f},       {0xad, 0xad},       {0x600, 0x605},     {0x61c, 0x61c},
    {0x6dd, 0x6dd},     {0x70f, 0x70f},     {0x890, 0x891},     {0x8e2, 0x8e2},     {0x180e, 0x180e},
    {0x200b, 0x200f},   {0x2028, 0x202e},   {0x2060, 0x2064},   {0x2066, 0x206f},   {0xfeff, 0xfeff},
    {0xfff9, 0xfffb},   {0x110bd, 0x110bd}, {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3},
    {0x1d173, 0x1d17a}, {0xe0001, 0xe0001}, {0xe0020, 0xe007f},
};

// Whether a whole UTF-8 character is shown as '?'. Its code point is the
// bits of its lead byte below the length marker, then six bits from each
// byte after it.
bool is_unshown(std::string_view character)
{
    const std::size_t n = character.size();
    char32_t c = static_cast<unsigned char>(character[0]) & (0xffu >> (n + (n > 1)));
    for (const char byte : character.substr(1))
        c = c << 6 | (static_cast<unsigned char>(byte) & 0x3f);
    return std::any_of(std::begin(unshown), std::end(unshown),
                       [c](const auto& range) { return range[0] <= c && c <= range[1]; });
}

// The bytes of text's whole UTF-8 characters, and bytes of none, that end
// within room bytes.
std::size_t whole_within(std::string_view text, std::size_t room)
{
    std::size_t n = 0;
    for (std::size_t k = 0; n < text.size(); n += k) {
        k = std::max<std::size_t>(utf8_length(text.substr(n)), 1);
        if (n + k > room)
            break;
    }
    return n;
}

// Whether a line could not be written whole.
bool lost = false;

// A line, "extremes: " and what is added, written as it ends, or where it
// is longer, in pieces that end between characters, so that no other
// writer to standard error can land inside one.
class Message {
public:
    Message() { add("extremes: "); }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    // piece: ASCII.
    Message& add(const char* piece)
    {
        for (; *piece; ++piece)
            put({piece, 1});
        return *this;
    }

    Message& add(std::int32_t n)
    {
        char decimal[digits::decimal_room + 1];
        *digits::put_decimal(decimal, n) = '\0';
        return add(decimal);
    }

    // text in single quotes, as ls -q shows a file name: each byte of no
    // whole UTF-8 character, and each character that is_unshown, as '?', so
    // that the line stays one line, shows what it quotes in order, and no
    // terminal takes it for a command.
    Message& add_quoted(std::string_view text)
    {
        put("'");
        while (!text.empty()) {
            const std::size_t n = utf8_length(text);
            const std::string_view character = text.substr(0, std::max<std::size_t>(n, 1));
            put(n == 0 || is_unshown(character) ? "?" : character);
            text.remove_prefix(character.size());
        }
        put("'");
        return *this;
    }

    // Ends the line and writes it.
    void send()
    {
        add(platform::eol);
        write();
    }

private:
    void put(std::string_view character)
    {
        if (length + character.size() > sizeof text)
            write();
        std::memcpy(text + length, character.data(), character.size());
        length += character.size();
    }

    void write()
    {
        if (!platform::write_error(text, length))
            lost = true;
        length = 0;
    }

    char text[platform::error_piece];
    std::size_t length = 0;
};

}  // namespace

void name_ignored(int count, const char* const arguments[])
{
    const char* const* const utf8 = platform::utf8_arguments(count, arguments);
    if (!utf8)
        fail("out of memory");
    Message message;
    message.add("ignoring ");
    for (int k = 0; k < count; ++k)
        (k > 0 ? message.add(", ") : message).add_quoted(utf8[k]);
    message.add(": the numbers are read from standard input; see extremes --help").send();
}

void name_failed_read(const detail::StandardInput& input, bool counted, std::int32_t values_held,
                      std::int32_t count)
{
    using detail::Failure;
    const Failure failure = input.failure();
    assert(failure != Failure::none && (!counted || values_held < count));
    Message message;
    if (failure == Failure::end_of_input)
        message.add("the input ends before ");
    if (counted)
        message.add("value ").add(values_held);
    else
        message.add("the count");
    if (failure == Failure::not_a_number) {
        const std::string_view quote = input.quote();
        const std::size_t shown = whole_within(quote, detail::StandardInput::quote_room);
        message.add(" is not a number: ")
            .add_quoted(quote.substr(0, shown))
            .add(shown < quote.size() || input.quote_goes_on() ? "..." : "");
    } else if (failure == Failure::out_of_range) {
        message.add(" is out of range");
    }
    if (!counted || values_held == count - 1)
        message.add("; it is 0");
    else
        message.add("; it and the values after it are 0");
    message.send();
}

void report(const char* what, const char* reason)
{
    Message message;
    message.add(what);
    if (reason)
        message.add(": ").add(reason);
    message.send();
}

bool error_lost()
{
    return lost;
}

}  // namespace io
