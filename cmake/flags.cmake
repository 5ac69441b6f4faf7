# How every program of the project is compiled and linked, the tests too:
# the language, the build type, the definitions and the flags, each decided
# here once (the program's own protections are in hardening.cmake).
# Included before any program is defined: the settings below are the
# directory's, which each program takes when it is defined.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

# Standard C++20, without the compiler's extensions.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# An optimised build unless another is asked for.
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

# Files past 2 GiB where off_t would be 32 bits wide (32-bit Linux); no
# effect where it is 64 bits already.
if(NOT WIN32)
    add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

# The warnings stay on for everyone; as errors only where asked for (CI),
# so that a newer compiler's new warning never breaks a user's build.
# strerror is standard C, which MSVC would call unsafe.
option(EXTREMES_WERROR "Treat compiler warnings as errors" OFF)
if(MSVC)
    set(EXTREMES_WARNINGS /W4 $<$<BOOL:${EXTREMES_WERROR}>:/WX>)
    add_compile_definitions(_CRT_SECURE_NO_WARNINGS)
else()
    set(EXTREMES_WARNINGS -Wall -Wextra -Wpedantic $<$<BOOL:${EXTREMES_WERROR}>:-Werror>)
endif()

# Nothing throws or catches: without exception support the program calls
# nothing of the C++ runtime, and, linked dynamically on Linux, needs the C
# library alone, as a C program does (--as-needed, below). Loading
# libstdc++ and libgcc_s took longer than all of a run on a few numbers.
# MSVC's switch is as its documentation gives it, untested.
if(MSVC)
    add_compile_options(/EHs-c-)
else()
    add_compile_options(-fno-exceptions)
endif()

# The number core's tables are built while compiling; the largest takes
# more steps than MSVC allows by default (100,000).
if(MSVC)
    add_compile_options(/constexpr:steps10000000)
endif()

# On 32-bit x86, GCC and Clang make code for the Pentium Pro unless told
# otherwise: the scan for the extremes then compares one value at a time, and
# text moves four bytes at a time. These builds use SSE2, as MSVC's do by
# default: Windows has needed it since Windows 8, and nearly every x86
# processor of the last twenty years has it, though not every one made
# after the Pentium 4, which brought it (the Athlon XP lacks it). Switched
# off, they build for a processor without it.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^([iI][3-6]86|[xX]86)$")
    set(x86_32 ON)
else()
    set(x86_32 OFF)
endif()
option(EXTREMES_SSE2 "On 32-bit x86, build for processors with SSE2" ON)
if(EXTREMES_SSE2 AND x86_32 AND NOT MSVC)
    add_compile_options(-msse2)
endif()

# A build for finding faults (CI's): AddressSanitizer and
# UndefinedBehaviorSanitizer, each stopping the program at the first fault it
# finds, and the assertions checked in every build type, the optimised ones
# too, whose flags define NDEBUG. The tests then skip what the sanitizers'
# own memory and stack would spoil.
option(EXTREMES_SANITIZE
       "Build with AddressSanitizer and UndefinedBehaviorSanitizer (GCC, Clang), assertions checked" OFF)
if(EXTREMES_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
                        -UNDEBUG)
    add_link_options(-fsanitize=address,undefined)
endif()

# On Linux, EXTREMES_STATIC links the programs statically, so that they need
# no library of the machine they run on. A cross build for Linux cannot count
# on the target's libraries being there, nor can its tests run on an
# emulator without them: it is static unless told otherwise.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(static_by_default ON)
else()
    set(static_by_default OFF)
endif()
option(EXTREMES_STATIC "On Linux, link the programs statically" ${static_by_default})

if(MINGW)
    # The C++ runtime linked in: the .exe needs no DLL that Windows lacks.
    add_link_options(-static)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # A position-independent program is placed at random where it runs: by
    # the loader, or, linked statically, by its own start-up code
    # (-static-pie), where the toolchain can link that. On 32-bit x86,
    # position-independent code ties up one of the processor's few
    # registers to find its data, so a static build for it is placed where it
    # was linked unless CMAKE_POSITION_INDEPENDENT_CODE asks otherwise (the
    # release does). Debian's compilers make position-independent code
    # unless told otherwise: a program placed where it was linked is
    # compiled without it.
    if(NOT DEFINED CMAKE_POSITION_INDEPENDENT_CODE)
        if(EXTREMES_STATIC AND x86_32)
            set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
        else()
            set(CMAKE_POSITION_INDEPENDENT_CODE ON)
        endif()
    endif()
    if(EXTREMES_STATIC AND CMAKE_POSITION_INDEPENDENT_CODE)
        set(CMAKE_REQUIRED_FLAGS -fPIE)
        set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
        check_cxx_source_compiles("int main() { return 0; }" EXTREMES_HAS_STATIC_PIE)
        unset(CMAKE_REQUIRED_FLAGS)
        unset(CMAKE_REQUIRED_LINK_OPTIONS)
        if(NOT EXTREMES_HAS_STATIC_PIE)
            set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
        endif()
    endif()

    if(NOT CMAKE_POSITION_INDEPENDENT_CODE)
        add_compile_options(-fno-pie)
    endif()
    # Only the libraries a program calls: the compiler driver names the C++
    # runtime's too, and Clang and some distributions' GCC keep them all.
    check_linker_flag(CXX LINKER:--as-needed EXTREMES_HAS_AS_NEEDED)
    if(EXTREMES_HAS_AS_NEEDED)
        add_link_options(LINKER:--as-needed)
    endif()
    if(EXTREMES_STATIC AND CMAKE_POSITION_INDEPENDENT_CODE)
        add_link_options(-static-pie)
    elseif(EXTREMES_STATIC)
        add_link_options(-static)
    else()
        check_pie_supported()
    endif()
endif()

# A 32-bit Windows program is given 2 GiB of address space unless it is
# marked as able to use addresses past 2 GiB (large address aware): so
# marked, it has 4 GiB on 64-bit Windows, twice the values. Nothing in the
# program takes an address for a signed number.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    if(MSVC)
        add_link_options(/LARGEADDRESSAWARE)
    else()
        add_link_options(LINKER:--large-address-aware)
    endif()
endif()

# Two builds of one commit make the same program, whatever their folders and
# time: wherever it would name the source and build folders (debugging
# information, whose checksum, the build ID, stays after stripping; a failed
# assertion's message), it names them ".", and the Windows program holds no
# time of linking.
check_cxx_compiler_flag(-ffile-prefix-map=old=new EXTREMES_HAS_FILE_PREFIX_MAP)
if(EXTREMES_HAS_FILE_PREFIX_MAP)
    add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
endif()
if(MINGW)
    add_link_options(LINKER:--no-insert-timestamp)
endif()
