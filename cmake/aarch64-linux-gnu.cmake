# Cross-compiles extremes for Linux on 64-bit ARM:
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(cross_triplet aarch64-linux-gnu)
set(cross_qemu aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
