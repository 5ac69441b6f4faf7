// How a run ends (finish.h).

#include "finish.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform.h"
#include "standard_error.h"
#include "standard_input.h"
#include "standard_output.h"

namespace io {

namespace {

// Seeks standard input back before a held SIGPIPE can end the process.
void leave()
{
    detail::standard_input.seek_back();
    platform::release_held_signal();
}

[[noreturn]] void end(int status)
{
    leave();
    std::_Exit(status);
}

}  // namespace

int finish()
{
    return finish(true, 0, 0);
}

int finish(bool counted, std::int32_t values_held, std::int32_t count)
{
    detail::standard_output.close();
    int status = 0;
    if (const int error = detail::standard_input.error()) {
        report("read error", std::strerror(error));
        status = 1;
    } else if (detail::standard_input.failure() != detail::Failure::none) {
        name_failed_read(detail::standard_input, counted, values_held, count);
    }
    if (error_lost())
        status = 1;
    leave();
    return status;
}

void fail(const char* what, const char* reason)
{
    // The output first, as the standard tools' error routines do; a write
    // that fails on the way is reported after what ended the run.
    const int write_error = detail::standard_output.write_buffered();
    report(what, reason);
    if (write_error != 0 && write_error != EPIPE)
        report("write error", std::strerror(write_error));
    end(1);
}

namespace detail {

// Quietly on EPIPE, as nobody is left to tell.
void fail_writing(int error)
{
    if (error != EPIPE)
        report("write error", std::strerror(error));
    end(1);
}

}  // namespace detail

}  // namespace io
