# Cross-compiles extremes for Linux on 32-bit x86, with Debian's
# g++-i686-linux-gnu:
#   cmake -S . -B build-i686 --toolchain cmake/i686-linux-gnu.cmake
# The program is linked statically, so it runs without the target's shared
# libraries installed: on an x86-64 Linux it runs as it is.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Linked statically, the program is not position-independent, so neither
# need its code be: that would cost one of the few registers of 32-bit x86.
set(CMAKE_CXX_FLAGS_INIT "-fno-pie")
