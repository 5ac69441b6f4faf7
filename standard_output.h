// Standard output: text out, through a large buffer, written a block at a
// time, and before a read that would block (standard_input.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "digits.h"
#include "platform.h"

namespace io {

using platform::eol;

namespace detail {

// The buffer holds a block, of the size that start_output gives, and room
// past it for one write (--help's text is the largest): a write that
// reaches the block's end sends the block and moves what it put past it to
// the front. Until started, the block is empty, so that the first write
// starts standard output. A pipe is grown, and the block with it, where a
// block would take the output past what the pipe holds: a short run leaves
// its caller's pipe as it found it.
class StandardOutput {
public:
    static constexpr std::size_t most_block = 512 * 1024;
    static constexpr std::size_t room_past_block = 1024;
    static constexpr std::size_t buffer_size = most_block + room_past_block;

    // buffer: buffer_size bytes.
    constexpr explicit StandardOutput(char* buffer)
        : buffer(buffer), next(buffer), block_end(buffer)
    {
    }
    // One writer: a copy would fill the same buffer from a position of its own.
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    // One check of the block's end for the whole call.
    template <typename... Pieces>
    void put(const Pieces&... pieces);

    // Ends the run if the write fails.
    void flush();

    // 0, or the errno of the write that failed.
    int write_buffered();

    // Flushes and closes standard output; ends the run if either fails.
    void close();

private:
    char* send_block(char* end);
    int start();
    int write_out(const char* end);

    char* const buffer;
    char* next;
    char* block_end;
    bool started = false;
    long pipe_size = 0;          // while the pipe may be grown, what it holds
    std::uint64_t written = 0;  // the bytes of output written so far
};

extern StandardOutput standard_output;

// The most bytes a piece takes; 0 for a type that write refuses.
template <typename T>
inline constexpr std::size_t room = 0;
template <>
inline constexpr std::size_t room<std::int32_t> = digits::decimal_room;
template <std::size_t N>
inline constexpr std::size_t room<char[N]> = N - 1;
template <>
inline constexpr std::size_t room<digits::Counter> = digits::Counter::room;

// The output position is passed and returned, a local of the write: in
// memory, it would be reloaded after every byte stored, as a char may alias
// it.
template <std::size_t N>
inline char* put(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

inline char* put(char* p, std::int32_t n)
{
    return digits::put_decimal(p, n);
}

inline char* put(char* p, const digits::Counter& count)
{
    return count.put(p);
}

template <typename... Pieces>
inline void StandardOutput::put(const Pieces&... pieces)
{
    static_assert(((room<Pieces> > 0) && ...), "io::write takes string literals and 32-bit numbers");
    static_assert((room<Pieces> + ...) <= room_past_block,
                  "io::write takes no more than fits past the end of a block");
    char* p = next;
    ((p = detail::put(p, pieces)), ...);
    if (p >= block_end)
        p = send_block(p);
    next = p;
}

}  // namespace detail

// Writes string literals, numbers and counters, one after another.
template <typename... Pieces>
inline void write(const Pieces&... pieces)
{
    detail::standard_output.put(pieces...);
}

}  // namespace io
