// The values read so far, by position.
//
// They are kept in blocks of fixed size, taken one at a time as values
// arrive: memory follows the values actually read, never the count that
// promised them, and growing never copies what is already held.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

class Values {
public:
    // 1 MiB blocks: one allocation per 262,144 values; the part of the last
    // block not yet written is never touched, so costs no memory.
    static constexpr int block_bits = 18;
    static constexpr std::int32_t block_size = std::int32_t{1} << block_bits;

    Values() = default;
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;
    ~Values()
    {
        for (std::size_t k = 0; blocks && k < max_blocks && blocks[k]; ++k)
            std::free(blocks[k]);
        std::free(blocks);
    }

    // Adds value after the last one held; false when memory has run out.
    bool append(std::int32_t value)
    {
        if (next == block_end) {
            if (!blocks) {
                blocks = static_cast<std::int32_t**>(std::calloc(max_blocks, sizeof *blocks));
                if (!blocks)
                    return false;
            }
            next = blocks[held >> block_bits] =
                static_cast<std::int32_t*>(std::malloc(block_size * sizeof value));
            if (!next)
                return false;
            block_end = next + block_size;
        }
        *next++ = value;
        ++held;
        return true;
    }

    // The value at position, or 0 at a position past the last value held.
    std::int32_t at_or_zero(std::int32_t position) const
    {
        if (position >= held)
            return 0;
        return blocks[position >> block_bits][position & block_mask];
    }

    // The values from position on, before count, that stand one after
    // another in memory: to the end of position's block or of the values
    // held. Past the last value held, where every value is 0, a run of 0s.
    // Its size counts in std::int32_t, as the positions do, where a
    // std::span's would be a std::size_t.
    struct Run {
        const std::int32_t* first;
        std::int32_t size;
        const std::int32_t* begin() const { return first; }
        const std::int32_t* end() const { return first + size; }
    };
    Run run_from(std::int32_t position, std::int32_t count) const
    {
        if (position >= held)
            return {zeros, std::min(count - position, zeros_size)};
        const std::int32_t offset = position & block_mask;
        return {blocks[position >> block_bits] + offset,
                std::min({block_size - offset, held - position, count - position})};
    }

private:
    // The table of blocks covers every position a signed 32-bit count can
    // name: 8,192 pointers, too many for the stack, allocated with the first
    // block.
    static constexpr std::int32_t block_mask = block_size - 1;
    static constexpr std::size_t max_blocks = (std::uint32_t{1} << 31) >> block_bits;

    static constexpr std::int32_t zeros_size = 1024;
    static constexpr std::int32_t zeros[zeros_size] = {};

    std::int32_t** blocks = nullptr;
    std::int32_t held = 0;
    std::int32_t* next = nullptr;       // where the next value goes
    std::int32_t* block_end = nullptr;  // the end of the block it goes in
};
