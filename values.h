// The values read so far, by position, in blocks allocated as values
// arrive: memory follows the values read, not the count, and growing never
// copies.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

class Values {
public:
    // 1 MiB blocks; the pages of the last one not yet written cost nothing.
    static constexpr int block_bits = 18;
    static constexpr std::int32_t block_size = std::int32_t{1} << block_bits;

    Values() = default;
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;
    ~Values()
    {
        for (std::int32_t k = 0; k < blocks_held; ++k)
            std::free(blocks[k]);
        std::free(blocks);
    }

    // Adds value after the last one held; false when memory has run out.
    bool append(std::int32_t value)
    {
        if (next == block_end && !add_block())
            return false;
        *next++ = value;
        ++held;
        return true;
    }

    // The number of values held.
    std::int32_t size() const { return held; }

    // The value at position, or 0 at a position past the last value held.
    std::int32_t at_or_zero(std::int32_t position) const
    {
        if (position >= held)
            return 0;
        return blocks[position >> block_bits][position & block_mask];
    }

    // The contiguous values from position on, before count: to the end of
    // position's block or of the values held; past them, a run of 0s. Not a
    // std::span, whose size is a std::size_t: positions are std::int32_t.
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
    static constexpr std::int32_t block_mask = block_size - 1;

    // The table of blocks doubles as it fills, from one block up to one for
    // every position below 2^31: a short run neither clears nor touches the
    // 64 KiB that the whole table would take.
    static constexpr std::int32_t max_blocks = std::int32_t{1} << (31 - block_bits);

    bool add_block()
    {
        if (blocks_held == table_size) {
            const std::int32_t size = std::max(1, 2 * table_size);
            assert(size <= max_blocks);
            void* const table = std::realloc(blocks, static_cast<std::size_t>(size) * sizeof *blocks);
            if (!table)
                return false;
            blocks = static_cast<std::int32_t**>(table);
            table_size = size;
        }
        std::int32_t* const block = static_cast<std::int32_t*>(std::malloc(block_size * sizeof *block));
        if (!block)
            return false;
        blocks[blocks_held++] = next = block;
        block_end = block + block_size;
        return true;
    }

    static constexpr std::int32_t zeros_size = 1024;
    static constexpr std::int32_t zeros[zeros_size] = {};

    std::int32_t** blocks = nullptr;
    std::int32_t table_size = 0;   // the blocks the table has room for
    std::int32_t blocks_held = 0;  // the blocks allocated
    std::int32_t held = 0;
    std::int32_t* next = nullptr;       // where the next value goes
    std::int32_t* block_end = nullptr;  // the end of the block it goes in
};
