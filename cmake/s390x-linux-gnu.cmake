# Cross-compiles extremes for Linux on IBM Z, a big-endian machine:
#   cmake -S . -B build-s390x --toolchain cmake/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(cross_triplet s390x-linux-gnu)
set(cross_qemu s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
