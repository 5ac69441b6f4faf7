// extremes: asks how many whole numbers follow, asks for each one by its
// position and reads it, then writes the largest and the smallest and lists
// every number with its position.

#include <cstdint>

#include "streams.h"
#include "values.h"

int main()
{
    io::Input input;
    io::write("enter the array length : ");
    std::int32_t uno = 0;  // a count that cannot be read is 0
    input.read(uno);

    // A value that cannot be read is 0, and so is every one after it: once a
    // read fails the input gives nothing more, and no value is held for it.
    // The positions i and a count up with their decimal text at hand.
    Values values;
    for (digits::Counter i; i < uno; ++i) {
        io::write("Enter your ", i, " number : ");
        std::int32_t value = 0;
        if (input.read(value) && !values.append(value))
            io::fail("out of memory");
    }

    // With no values at all, both extremes are 0.
    std::int32_t max = values.at_or_zero(0);
    std::int32_t min = values.at_or_zero(0);
    for (std::int32_t b = 0; b < uno; b++) {
        if (values.at_or_zero(b) > max)
            max = values.at_or_zero(b);
        if (values.at_or_zero(b) < min)
            min = values.at_or_zero(b);
    }

    io::write("max is ", max, io::eol);
    io::write("min is ", min, io::eol);
    for (digits::Counter a; a < uno; ++a)
        io::write(a, " value you have entered is : ", values.at_or_zero(a), io::eol);

    return io::finish(input);
}
