# Cross-compiles extremes for Linux on 64-bit ARM, with Debian's
# g++-aarch64-linux-gnu:
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
# The program is linked statically, so it runs without the target's shared
# libraries installed; where qemu-user is installed (Debian: qemu-user-static), ctest
# runs the test suite on it through qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QEMU NAMES qemu-aarch64-static qemu-aarch64)
if(QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU})
endif()
