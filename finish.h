// How a run ends: its output out, what it could not read named, its input
// left where the next reader of a file starts, and its exit status.
#pragma once

#include <cstdint>

namespace io {

// Flushes and closes standard output, reports a read error, seeks standard
// input back to the first byte not taken, and returns the exit status: 0,
// or 1 after a read error or a line on standard error that could not be
// written. A SIGPIPE held since a write to a closed pipe, of standard
// output or of standard error, ends the process here; where SIGPIPE was
// ignored or blocked at the start, the status is 1.
int finish();

// As finish, for a run that read the count (counted: whether it found it)
// and then values_held of its count values: after the output, the first
// read that found no number, if one did, is named on standard error, which
// leaves the status 0 unless the line cannot be written.
int finish(bool counted, std::int32_t values_held, std::int32_t count);

// Ends the run with status 1 after flushing standard output and reporting
// "extremes: <what>[: <reason>]"; standard input is left as finish leaves it.
[[noreturn]] void fail(const char* what, const char* reason = nullptr);

namespace detail {

// Ends the run with status 1 after a write to standard output failed with
// error, reported unless it is EPIPE.
[[noreturn]] void fail_writing(int error);

}  // namespace detail

}  // namespace io
