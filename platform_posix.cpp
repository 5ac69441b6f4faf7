// Standard input and output on POSIX systems.

#include "platform.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

// Waits until fd is ready for events, for a stream that was left
// non-blocking by whoever else uses it; -1 when that cannot be waited for.
int wait_until_ready(int fd, short events)
{
    for (;;) {
        pollfd stream{fd, events, 0};
        if (poll(&stream, 1, -1) >= 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// Makes the transfer that call makes on fd (a read or a write), again after
// an interruption, and once fd is ready when it is non-blocking.
template <typename Call>
long transfer(int fd, short events, Call call)
{
    for (;;) {
        const ssize_t done = call();
        if (done >= 0)
            return done;
        const bool would_block = errno == EAGAIN || errno == EWOULDBLOCK;
        if (would_block ? wait_until_ready(fd, events) < 0 : errno != EINTR)
            return -1;
    }
}

// The signal mask that the program started with, while SIGPIPE is held.
sigset_t mask_at_start;
bool holding_sigpipe = false;

}  // namespace

int start_input()
{
    return 0;
}

// Output goes out 64 KiB at a time: few enough writes that they cost
// little, from a block small enough to stay in the processor's caches. Where
// standard output is a pipe that can be grown (Linux), it is grown to 1 MiB,
// never shrunk, and written half a MiB at a time: the program fills one half
// while its reader drains the other, and wakes it an eighth as often.
long start_output()
{
    // A write to a pipe whose reader has gone raises SIGPIPE, whose default
    // action ends the process there, before it could give its input back.
    // Blocked, the signal waits, and the write fails with EPIPE instead;
    // release_held_signal unblocks it at the end.
    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    holding_sigpipe = sigprocmask(SIG_BLOCK, &sigpipe, &mask_at_start) == 0;
    // A write past the file-size limit (ulimit -f) raises SIGXFSZ, whose
    // default action ends the process with a core dump and nothing said;
    // ignored, the write fails with EFBIG, reported as any failed write.
    signal(SIGXFSZ, SIG_IGN);

    long block = 64 * 1024;
#ifdef F_SETPIPE_SZ
    int size = fcntl(1, F_GETPIPE_SZ);
    if (size >= 0 && size < grown_pipe && fcntl(1, F_SETPIPE_SZ, grown_pipe) >= grown_pipe)
        size = grown_pipe;
    if (size >= grown_pipe)
        block = grown_pipe / 2;
#endif
    return block;
}

bool input_would_wait()
{
    pollfd input{0, POLLIN, 0};
    return poll(&input, 1, 0) != 1;
}

long read_input(char* buffer, std::size_t size)
{
    return transfer(0, POLLIN, [=] { return ::read(0, buffer, size); });
}

long write_output(const char* bytes, std::size_t size)
{
    return transfer(1, POLLOUT, [=] { return ::write(1, bytes, size); });
}

void write_error(const char* bytes, std::size_t size)
{
    while (size > 0) {
        const long put = transfer(2, POLLOUT, [=] { return ::write(2, bytes, size); });
        if (put <= 0)
            return;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
}

void give_back_input(std::size_t unread)
{
    // Fails on a pipe or a terminal, which is as it should be.
    if (unread > 0)
        lseek(0, -static_cast<off_t>(unread), SEEK_CUR);
}

void release_held_signal()
{
    if (holding_sigpipe)
        sigprocmask(SIG_SETMASK, &mask_at_start, nullptr);
    holding_sigpipe = false;
}

int close_output()
{
    // An interrupted close is taken as done, which is right on Linux: the
    // descriptor is released before anything that can be interrupted, so
    // there is nothing left to retry, and a second close would fail, or
    // close a file opened since under the same number.
    return close(1) == 0 || errno == EINTR ? 0 : -1;
}

}  // namespace platform
