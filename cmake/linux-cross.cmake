# What the toolchain files for Linux on other processors share; each sets
# cross_arch to the processor, as uname -m names it there, and cross_triplet
# to the GNU triplet of its Debian cross compiler, g++-<cross_triplet>,
# where that is not <cross_arch>-linux-gnu, and includes this file. The
# program is linked statically, so it runs without the target's shared
# libraries installed: with -static, or as EXTREMES_STATIC links it
# (CMakeLists.txt). Where qemu-user is installed (Debian:
# qemu-user-static), ctest runs the test suite on it through qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${cross_arch})
if(NOT DEFINED cross_triplet)
    set(cross_triplet ${cross_arch}-linux-gnu)
endif()

set(CMAKE_C_COMPILER ${cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triplet}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

if(NOT EXTREMES_STATIC)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# qemu-user's programs take the triplet's name of the processor (qemu-arm
# for arm-linux-gnueabihf); there is none named i686, which runs here as it is.
string(REGEX MATCH "^[^-]+" qemu_arch ${cross_triplet})
find_program(QEMU NAMES qemu-${qemu_arch}-static qemu-${qemu_arch})
if(QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU})
endif()
