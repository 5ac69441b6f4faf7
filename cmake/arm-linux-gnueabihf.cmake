# Cross-compiles extremes for Linux on 32-bit ARM, ARMv7 with hard float
# (Debian's armhf; a Raspberry Pi 2 or later on a 32-bit system):
#   cmake -S . -B build-armhf --toolchain cmake/arm-linux-gnueabihf.cmake
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(cross_triplet arm-linux-gnueabihf)
set(cross_qemu arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
