# What the toolchain files for Linux on other processors share. Each sets
# CMAKE_SYSTEM_PROCESSOR; cross_triplet, the GNU triplet of its Debian cross
# compiler (g++-<triplet>, which installs <triplet>-g++ and the target's C
# library in /usr/<triplet>); and, where this machine cannot run the
# target's programs itself, cross_qemu, qemu's name for the processor.
# Where qemu-user is installed (Debian: qemu-user-static), ctest then runs
# the test suite through it.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triplet}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

if(cross_qemu)
    find_program(QEMU NAMES qemu-${cross_qemu}-static qemu-${cross_qemu})
    if(QEMU)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU})
    endif()
endif()
