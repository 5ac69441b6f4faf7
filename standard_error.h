// Standard error: a line for each thing that the run passed over or could
// not do, "extremes: " first, as the standard tools write theirs.
#pragma once

#include <cstdint>

#include "standard_input.h"

namespace io {

// Names, before the first prompt, the arguments that the run ignores.
void name_ignored(int count, const char* const arguments[]);

// Names the first read of input that found no number, for a run that read
// the count (counted: whether it found it) and then values_held of its
// count values, quoting what stopped it.
void name_failed_read(const detail::StandardInput& input, bool counted, std::int32_t values_held,
                      std::int32_t count);

// "extremes: <what>[: <reason>]".
void report(const char* what, const char* reason = nullptr);

// Whether a line could not be written whole.
bool error_lost();

}  // namespace io
