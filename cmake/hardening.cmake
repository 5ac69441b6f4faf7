# The protections that the systems extremes is installed on give their own
# programs (Debian's dpkg-buildflags with hardening=+all; the defaults of
# Microsoft's linker), each where the compiler and the linker take it, as
# CMake's own checks find: a toolchain that lacks one still builds the
# program, without it.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

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
    # Position independence lets the program be placed at random: by the
    # loader, or, linked with EXTREMES_STATIC, by its own start-up code
    # (-static-pie) where the toolchain can link that. Linked with a -static
    # among the linker flags (the cross toolchain files'), it stays where it
    # was linked: -static and -static-pie together make no working program,
    # as GCC then starts it with the start-up code for -static.
    if(NOT static_flag)
        if(EXTREMES_STATIC)
            set(CMAKE_REQUIRED_FLAGS -fPIE)
            set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
            check_cxx_source_compiles("int main() { return 0; }" EXTREMES_HAS_STATIC_PIE)
            unset(CMAKE_REQUIRED_FLAGS)
            unset(CMAKE_REQUIRED_LINK_OPTIONS)
            if(EXTREMES_HAS_STATIC_PIE)
                target_compile_options(extremes PRIVATE -fPIE)
                target_link_options(extremes PRIVATE -static-pie)
            else()
                target_link_options(extremes PRIVATE -static)
            endif()
        else()
            check_pie_supported()
            set_target_properties(extremes PROPERTIES POSITION_INDEPENDENT_CODE ON)
        endif()
    endif()

    # A guard before each return of a function with an array on its stack;
    # a stack grown a page at a time, never past its guard page; and on x86,
    # a mark at every place an indirect jump may land (no other processor's
    # compiler takes the flag).
    foreach(flag IN ITEMS -fstack-protector-strong -fstack-clash-protection -fcf-protection)
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
    # optimiser: level 3 where the compiler and the C library have it (an
    # older glibc warns that it takes it as 2). The compiler or the caller's
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
