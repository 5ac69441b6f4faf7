# Cross-compiles extremes for Linux on 64-bit RISC-V:
#   cmake -S . -B build-riscv64 --toolchain cmake/riscv64-linux-gnu.cmake
set(cross_arch riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
