# What the toolchain files for Linux on other processors share; each sets
# cross_arch to the processor of its Debian cross compiler,
# g++-<cross_arch>-linux-gnu, and includes this file. The program is linked
# statically, so it runs without the target's shared libraries installed:
# with -static, or as EXTREMES_STATIC links it (CMakeLists.txt). Where
# qemu-user is installed (Debian: qemu-user-static), ctest runs the test
# suite on it through qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${cross_arch})

set(CMAKE_C_COMPILER ${cross_arch}-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER ${cross_arch}-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_arch}-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

if(NOT EXTREMES_STATIC)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

find_program(QEMU NAMES qemu-${cross_arch}-static qemu-${cross_arch})
if(QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU})
endif()
