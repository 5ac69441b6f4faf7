// Standard output (standard_output.h).

#include "standard_output.h"

#include <algorithm>
#include <cerrno>

#include "finish.h"

namespace io::detail {

namespace {

// All zeros, the buffer goes in .bss and takes no room in the program file;
// inside the object, which holds pointers, it would go in .data.
char output_space[StandardOutput::buffer_size];

}  // namespace

constinit StandardOutput standard_output{output_space};

int StandardOutput::start()
{
    started = true;
    const long block = platform::start_output(pipe_size);
    if (block < 0)
        return errno;
    block_end = buffer + std::min(static_cast<std::size_t>(block), most_block);
    return 0;
}

// 0, or the errno of the write that failed.
int StandardOutput::write_out(const char* end)
{
    for (const char* p = buffer; p < end;) {
        const long put = platform::write_output(p, static_cast<std::size_t>(end - p));
        if (put <= 0)
            return put == 0 ? ENOSPC : errno;
        p += put;
        written += static_cast<std::uint64_t>(put);
    }
    return 0;
}

int StandardOutput::write_buffered()
{
    int error = started ? 0 : start();
    if (error == 0)
        error = write_out(next);
    next = buffer;
    return error;
}

void StandardOutput::flush()
{
    if (const int error = write_buffered())
        fail_writing(error);
}

char* StandardOutput::send_block(char* end)
{
    if (!started) {
        if (const int error = start())
            fail_writing(error);
    }
    // Where the block would take the output past what the pipe holds, the
    // pipe is grown, and the block with it, which may then hold all that is
    // buffered.
    const auto output = written + static_cast<std::uint64_t>(end - buffer);
    if (pipe_size > 0 && output > static_cast<std::uint64_t>(pipe_size)) {
        pipe_size = 0;
        block_end = buffer + std::min(static_cast<std::size_t>(platform::grow_output()), most_block);
    }
    if (end < block_end)
        return end;
    if (const int error = write_out(block_end))
        fail_writing(error);
    const auto past = static_cast<std::size_t>(end - block_end);
    std::memmove(buffer, block_end, past);
    return buffer + past;
}

void StandardOutput::close()
{
    flush();
    if (platform::close_output() < 0)
        fail_writing(errno);
}

}  // namespace io::detail
