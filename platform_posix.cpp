// Standard input and output on POSIX systems.

#include "platform.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Waits in poll, for a descriptor that a process sharing it made non-blocking.
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

// A read or write, retried on EINTR, and on EAGAIN once fd is ready.
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

sigset_t mask_at_start;
bool holding_sigpipe = false;

}  // namespace

int start_input()
{
    return 0;
}

// 64 KiB writes cost little and stay in the processor's caches.
constexpr long write_size = 64 * 1024;

// A pipe of grown_pipe or more is written half of it at a time: the program
// fills one half while its reader drains the other, woken an eighth as often
// as by a 64 KiB pipe. A smaller one is left for grow_output to grow, never
// shrunk.
long start_output(long& pipe_size)
{
    // SIGPIPE blocked, a write to a closed pipe fails with EPIPE, and the
    // run seeks its input back before the signal, pending, ends it.
    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    holding_sigpipe = sigprocmask(SIG_BLOCK, &sigpipe, &mask_at_start) == 0;
    // SIGXFSZ's default action is a core dump, unexplained; ignored, a
    // write past RLIMIT_FSIZE fails with EFBIG, reported as any failed write.
    signal(SIGXFSZ, SIG_IGN);

    pipe_size = 0;
#ifdef F_SETPIPE_SZ
    const int size = fcntl(1, F_GETPIPE_SZ);
    if (size >= grown_pipe)
        return grown_pipe / 2;
    if (size > 0)
        pipe_size = size;
#endif
    return write_size;
}

long grow_output()
{
#ifdef F_SETPIPE_SZ
    if (fcntl(1, F_SETPIPE_SZ, grown_pipe) >= grown_pipe)
        return grown_pipe / 2;
#endif
    return write_size;
}

bool input_would_block()
{
    pollfd input{0, POLLIN, 0};
    return poll(&input, 1, 0) != 1;
}

bool input_read_to_end()
{
    struct stat input;
    return fstat(0, &input) == 0 && S_ISREG(input.st_mode) && lseek(0, 0, SEEK_CUR) >= input.st_size;
}

long read_input(char* buffer, std::size_t size)
{
    return transfer(0, POLLIN, [=] { return ::read(0, buffer, size); });
}

long write_output(const char* bytes, std::size_t size)
{
    return transfer(1, POLLOUT, [=] { return ::write(1, bytes, size); });
}

bool write_error(const char* bytes, std::size_t size)
{
    while (size > 0) {
        const long put = transfer(2, POLLOUT, [=] { return ::write(2, bytes, size); });
        if (put <= 0)
            return false;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

const char* const* utf8_arguments(int&, const char* const arguments[])
{
    return arguments;
}

void seek_back_input(std::size_t unread)
{
    // ESPIPE on a pipe or a terminal, which cannot give the bytes back.
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
    // Never retried on EINTR: Linux has released the descriptor by then.
    return close(1) == 0 || errno == EINTR ? 0 : -1;
}

}  // namespace platform
