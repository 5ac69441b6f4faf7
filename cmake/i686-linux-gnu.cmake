# Cross-compiles extremes for Linux on 32-bit x86, which runs as it is on an
# x86-64 Linux:
#   cmake -S . -B build-i686 --toolchain cmake/i686-linux-gnu.cmake
set(cross_arch i686)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
# Linked with -static, the program is not position-independent, so neither
# need its code be: that would cost one of the few registers of 32-bit x86.
if(NOT EXTREMES_STATIC)
    set(CMAKE_CXX_FLAGS_INIT "-fno-pie")
endif()
