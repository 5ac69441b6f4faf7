# Cross-compiles extremes for Linux on 32-bit x86, whose programs run as
# they are on an x86-64 Linux:
#   cmake -S . -B build-i686 --toolchain cmake/i686-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(cross_triplet i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
