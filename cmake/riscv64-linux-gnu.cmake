# Cross-compiles extremes for Linux on 64-bit RISC-V:
#   cmake -S . -B build-riscv64 --toolchain cmake/riscv64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(cross_triplet riscv64-linux-gnu)
set(cross_qemu riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
