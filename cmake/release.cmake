# The release, made by the release target (packaging.cmake):
#   cmake -D SOURCE_DIR=... -D RELEASE_DIR=... -D BUILDS_DIR=... \
#         -D CXX_COMPILER=... -D GENERATOR=... -D WERROR=ON|OFF -P release.cmake
# builds SOURCE_DIR afresh for each processor and system, in a folder of its
# own in BUILDS_DIR, with the generator given, EXTREMES_WERROR=WERROR and,
# for x86-64, the compiler given; then copies the packages to RELEASE_DIR,
# which holds them alone, and writes SHA256SUMS there, as sha256sum writes
# it. Nothing of an earlier run is kept.

# The Linux builds, one line each: the name of its folder and, but for
# x86-64, the toolchain file, named after the GNU triplet of its Debian cross
# compiler, g++-<triplet>. Each is linked statically and makes the .tar.gz,
# the .deb and the .rpm of its processor (packaging-linux.cmake).
set(linux_builds
    "linux-x86_64"
    "linux-aarch64  aarch64-linux-gnu"
    "linux-i686     i686-linux-gnu"
    "linux-armv7l   arm-linux-gnueabihf"
    "linux-riscv64  riscv64-linux-gnu")

# What the builds need beyond CMake and the compiler given, with the Debian
# package that has it: all that is missing is named at once.
set(needs "")
foreach(line IN LISTS linux_builds)
    string(REGEX MATCHALL "[^ ]+" fields "${line}")
    list(POP_FRONT fields name triplet)
    if(triplet)
        list(APPEND needs ${triplet}-g++:g++-${triplet})
    endif()
endforeach()
list(APPEND needs i686-w64-mingw32-g++:g++-mingw-w64-i686 rpmbuild:rpm)
set(missing "")
foreach(need IN LISTS needs)
    string(REPLACE ":" ";" need ${need})
    list(GET need 0 program)
    find_program(found ${program} NO_CACHE)
    if(NOT found)
        list(GET need 1 package)
        list(APPEND missing "${program} (Debian package ${package})")
    endif()
    unset(found)
endforeach()
if(missing)
    list(JOIN missing ", " missing)
    message(FATAL_ERROR "the release needs ${missing}")
endif()

# The project's flags alone, whatever the caller's environment holds for
# builds of its own, and none of the calling make's (its -j comes with a job
# server that this command is not given).
unset(ENV{CXXFLAGS})
unset(ENV{LDFLAGS})
unset(ENV{MAKEFLAGS})

# A clean build named NAME, configured with the options that follow, and
# the packages it makes.
function(build name)
    set(dir ${BUILDS_DIR}/${name})
    message(STATUS "release: ${name}")
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${dir} -G ${GENERATOR}
                            -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DEXTREMES_WERROR=${WERROR} ${ARGN}
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir} --config Release COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -C Release WORKING_DIRECTORY ${dir}
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB made LIST_DIRECTORIES false RELATIVE ${dir}
         ${dir}/*.tar.gz ${dir}/*.deb ${dir}/*.rpm ${dir}/*.zip)
    foreach(package IN LISTS made)
        file(COPY_FILE ${dir}/${package} ${RELEASE_DIR}/${package})
    endforeach()
    set(packages ${packages} ${made} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${RELEASE_DIR} ${BUILDS_DIR})
file(MAKE_DIRECTORY ${RELEASE_DIR})
set(packages "")
foreach(line IN LISTS linux_builds)
    string(REGEX MATCHALL "[^ ]+" fields "${line}")
    list(POP_FRONT fields name triplet)
    if(triplet)
        build(${name} --toolchain ${SOURCE_DIR}/cmake/${triplet}.cmake -DEXTREMES_STATIC=ON)
    else()
        build(${name} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DEXTREMES_STATIC=ON)
    endif()
endforeach()
build(win32 --toolchain ${SOURCE_DIR}/cmake/mingw-w64-i686.cmake)

list(SORT packages)
set(sums "")
foreach(package IN LISTS packages)
    file(SHA256 ${RELEASE_DIR}/${package} sum)
    string(APPEND sums "${sum}  ${package}\n")
endforeach()
file(WRITE ${RELEASE_DIR}/SHA256SUMS "${sums}")
message(STATUS "release: ${RELEASE_DIR}: ${packages}, SHA256SUMS")
