// The values read so far, by position.
//
// They are kept in blocks of fixed size, taken one at a time as values
// arrive: memory follows the values actually read, never the count that
// promised them, and growing never copies what is already held. A position
// past the last value held reads as 0, the value of every read that failed.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "streams.h"

class Values {
public:
    Values() = default;
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;
    ~Values()
    {
        for (std::int32_t* block : blocks)
            std::free(block);
    }

    void push_back(std::int32_t value)
    {
        if ((size & block_mask) == 0) {
            auto* block = static_cast<std::int32_t*>(std::malloc(block_size * sizeof value));
            if (!block)
                io::fail("out of memory");
            blocks[size >> block_bits] = block;
        }
        blocks[size >> block_bits][size & block_mask] = value;
        ++size;
    }

    std::int32_t operator[](std::int32_t position) const
    {
        if (position >= size)
            return 0;
        return blocks[position >> block_bits][position & block_mask];
    }

private:
    // 1 MiB blocks: a block's allocation is nothing beside the 262,144
    // values it holds, and the part of the last one not yet written is never
    // touched, so costs no memory. The table of blocks covers every position
    // a signed 32-bit count can name.
    static constexpr int block_bits = 18;
    static constexpr std::int32_t block_size = std::int32_t{1} << block_bits;
    static constexpr std::int32_t block_mask = block_size - 1;

    std::int32_t* blocks[(std::uint32_t{1} << 31) >> block_bits] = {};
    std::int32_t size = 0;
};
