// Standard error (standard_error.h).

#include "standard_error.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string_view>

#include "digits.h"
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

// Whether the character is a control: C0, DEL, or C1 (U+0080 to U+009F,
// C2 80 to C2 9F in UTF-8).
bool is_control(std::string_view character)
{
    const auto lead = static_cast<unsigned char>(character[0]);
    return lead < 0x20 || lead == 0x7f || (lead == 0xc2 && static_cast<unsigned char>(character[1]) < 0xa0);
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

bool lost = false;

// A line, "extremes: " and what is added, written as it ends, or in parts
// where it is longer than the buffer.
class Message {
public:
    Message() { add("extremes: "); }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    Message& add(const char* piece)
    {
        for (std::size_t size = std::strlen(piece); size > 0;) {
            if (length == sizeof text)
                write();
            const std::size_t n = std::min(size, sizeof text - length);
            std::memcpy(text + length, piece, n);
            length += n;
            piece += n;
            size -= n;
        }
        return *this;
    }

    Message& add(std::int32_t n)
    {
        char decimal[digits::decimal_room + 1];
        *digits::put_decimal(decimal, n) = '\0';
        return add(decimal);
    }

    // text in single quotes, as ls -q shows a file name: a control, or a
    // byte of no whole UTF-8 character, shown as '?', so that the line
    // stays one line and no terminal takes it for a command. Not utf8,
    // every byte outside ASCII is '?'.
    Message& add_quoted(std::string_view text, bool utf8)
    {
        put('\'');
        while (!text.empty()) {
            const std::size_t n = utf8 ? utf8_length(text) : static_cast<unsigned char>(text[0]) < 0x80;
            const std::string_view character = text.substr(0, std::max<std::size_t>(n, 1));
            if (n == 0 || is_control(character))
                put('?');
            else
                for (const char c : character)
                    put(c);
            text.remove_prefix(character.size());
        }
        put('\'');
        return *this;
    }

    // Ends the line and writes it.
    void send()
    {
        add(platform::eol);
        write();
    }

private:
    void put(char c)
    {
        if (length == sizeof text)
            write();
        text[length++] = c;
    }

    void write()
    {
        if (!platform::write_error(text, length))
            lost = true;
        length = 0;
    }

    char text[detail::message_piece];
    std::size_t length = 0;
};

}  // namespace

void name_ignored(int count, const char* const arguments[])
{
    Message message;
    message.add("ignoring ");
    for (int k = 0; k < count; ++k)
        (k > 0 ? message.add(", ") : message).add_quoted(arguments[k], platform::utf8_arguments);
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
            .add_quoted(quote.substr(0, shown), true)
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
