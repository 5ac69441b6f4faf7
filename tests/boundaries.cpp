// Prints the boundaries that the end-to-end tests aim at, as this build
// compiles them, a "name value" line each.

#include <iostream>

#include "values.h"

int main()
{
    std::cout << "values_per_block " << Values::block_size << '\n';
}
