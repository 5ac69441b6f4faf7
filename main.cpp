// extremes: asks how many whole numbers follow, asks for each one by its
// position and reads it, then writes the largest and the smallest and lists
// every number with its position.

#include <cstdint>
#include <cstring>

#include "finish.h"
#include "standard_error.h"
#include "standard_input.h"
#include "standard_output.h"
#include "values.h"

static bool answer_option(const char* argument);

int main(int argc, char* argv[])
{
    if (argc > 1) {
        if (answer_option(argv[1]))
            return io::finish();
        io::name_ignored(argc - 1, argv + 1);
    }

    io::write("enter the array length : ");
    std::int32_t uno = 0;  // a count that cannot be read is 0
    const bool counted = io::read(uno);

    // Once a read fails, every later one does: the values not held read as
    // 0. The positions i and a keep their decimal text (digits::Counter).
    Values values;
    for (digits::Counter i; i < uno; ++i) {
        io::write("Enter your ", i, " number : ");
        std::int32_t value = 0;
        if (io::read(value) && !values.append(value))
            io::fail("out of memory");
    }

    std::int32_t max = values.at_or_zero(0);
    std::int32_t min = values.at_or_zero(0);
    // Segmented iteration: a run of contiguous values at a time. The run's
    // extremes are locals, so that the loop reads nothing else and can be
    // vectorised.
    for (std::int32_t b = 0; b < uno;) {
        const Values::Run run = values.run_from(b, uno);
        std::int32_t run_max = max;
        std::int32_t run_min = min;
        for (const std::int32_t value : run) {
            if (value > run_max)
                run_max = value;
            if (value < run_min)
                run_min = value;
        }
        max = run_max;
        min = run_min;
        b += run.size;
    }

    io::write("max is ", max, io::eol);
    io::write("min is ", min, io::eol);
    for (digits::Counter a; a < uno;) {
        for (const std::int32_t value : values.run_from(a, uno)) {
            io::write(a, " value you have entered is : ", value, io::eol);
            ++a;
        }
    }

    // The first read that found no number, if one did, is named after the
    // report.
    return io::finish(counted, values.size(), uno);
}

// Answers --help or --version, and says whether argument was one of them.
static bool answer_option(const char* argument)
{
    using io::eol;
    if (std::strcmp(argument, "--help") == 0) {
        io::write("Usage: extremes [--help | --version]", eol,
                  "Reads a count and that many whole numbers from standard input, asking for", eol,
                  "each by its position, then writes the largest and the smallest and lists", eol,
                  "every number with its position on standard output.", eol,
                  eol,
                  "  --help     show this help and exit", eol,
                  "  --version  show the version and exit", eol,
                  eol,
                  "An option is taken only as the first argument; any other argument is", eol,
                  "ignored. Read more in ", platform::manual, ".", eol);
        return true;
    }
    if (std::strcmp(argument, "--version") == 0) {
        io::write("extremes " EXTREMES_VERSION, eol,
                  "Released under the MIT licence, without warranty.", eol);
        return true;
    }
    return false;
}
