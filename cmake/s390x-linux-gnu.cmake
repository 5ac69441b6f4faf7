# Cross-compiles extremes for Linux on IBM Z, a big-endian machine, with Debian's
# g++-s390x-linux-gnu:
#   cmake -S . -B build-s390x --toolchain cmake/s390x-linux-gnu.cmake
# The program is linked statically, so it runs without the target's shared
# libraries installed; where qemu-user is installed (Debian: qemu-user-static), ctest
# runs the test suite on it through qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QEMU NAMES qemu-s390x-static qemu-s390x)
if(QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU})
endif()
