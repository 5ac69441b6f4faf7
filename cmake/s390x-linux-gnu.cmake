# Cross-compiles extremes for Linux on IBM Z, a big-endian machine:
#   cmake -S . -B build-s390x --toolchain cmake/s390x-linux-gnu.cmake
set(cross_arch s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
