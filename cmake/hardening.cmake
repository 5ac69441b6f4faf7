# The protections that Debian 13's dpkg-buildflags gives packages with
# hardening=+all (Debian 12's lacks stack clash and branch protection), and
# the defaults of Microsoft's linker, each where the compiler and the linker
# take it, as CMake's own checks find: a toolchain that lacks one still
# builds the program, without it. Placing the program at random is part of
# how it is linked, in flags.cmake.
include(CheckLinkerFlag)

if(MSVC)
    # Control-flow guard; address space layout randomisation and no code run
    # from data, which the linker has on by default, said all the same.
    target_compile_options(extremes PRIVATE /guard:cf)
    target_link_options(extremes PRIVATE /guard:cf /DYNAMICBASE /NXCOMPAT)
elseif(MINGW)
    # Address space layout randomisation and no code run from data. (Their
    # companion --high-entropy-va is for 64-bit programs.)
    target_link_options(extremes PRIVATE LINKER:--dynamicbase LINKER:--nxcompat)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # Stack canaries, stack clash protection, and branch protection: on x86,
    # CET's ENDBR landing pads and shadow stack; on 64-bit ARM, pointer
    # authentication of return addresses and BTI landing pads, no-ops on
    # processors without them. GCC for another processor rejects the last
    # two flags, but Clang takes the ARM one with a mere warning: it is asked
    # for on ARM alone.
    set(flags -fstack-protector-strong -fstack-clash-protection -fcf-protection)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
        list(APPEND flags -mbranch-protection=standard)
    endif()
    foreach(flag IN LISTS flags)
        string(MAKE_C_IDENTIFIER "EXTREMES_HAS${flag}" has_flag)
        check_cxx_compiler_flag(${flag} ${has_flag})
        if(${has_flag})
            target_compile_options(extremes PRIVATE ${flag})
        endif()
    endforeach()

    # Relocations made read-only, all of them at start-up.
    check_linker_flag(CXX LINKER:-z,relro,-z,now EXTREMES_HAS_RELRO_NOW)
    if(EXTREMES_HAS_RELRO_NOW)
        target_link_options(extremes PRIVATE LINKER:-z,relro,-z,now)
    endif()

    # The C library's checked string and I/O functions, which need the
    # optimiser: level 3 (dpkg's is 2) where the compiler and the C library
    # have it (an older glibc warns that it takes it as 2). The compiler or the caller's
    # flags may have chosen a level already: ours replaces it.
    set(CMAKE_REQUIRED_FLAGS "-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3 -Werror")
    check_cxx_source_compiles("#include <cstring>\nint main() { return 0; }" EXTREMES_HAS_FORTIFY_3)
    unset(CMAKE_REQUIRED_FLAGS)
    if(EXTREMES_HAS_FORTIFY_3)
        set(fortify_level 3)
    else()
        set(fortify_level 2)
    endif()
    target_compile_options(extremes PRIVATE
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${fortify_level}>")
endif()
