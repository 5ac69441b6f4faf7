# The release, made by the release target (packaging.cmake):
#   cmake -D SOURCE_DIR=... -D RELEASE_DIR=... -D CXX_COMPILER=... \
#         -D GENERATOR=... -D WERROR=ON|OFF -P release.cmake
# builds SOURCE_DIR afresh for each package, in a folder of its own in
# RELEASE_DIR, with the generator given, EXTREMES_WERROR=WERROR and, for
# the x86-64 program and the .deb, the compiler given; then copies the
# packages beside those folders and writes SHA256SUMS, as sha256sum writes
# it. Nothing of an earlier run is kept.

# What the builds need beyond CMake and the compiler given, with the Debian
# package that has it: all that is missing is named at once.
set(missing "")
foreach(need IN ITEMS aarch64-linux-gnu-g++:g++-aarch64-linux-gnu i686-linux-gnu-g++:g++-i686-linux-gnu
                      i686-w64-mingw32-g++:g++-mingw-w64-i686 dpkg-shlibdeps:dpkg-dev)
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
    set(dir ${RELEASE_DIR}/${name})
    message(STATUS "release: ${name}")
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${dir} -G ${GENERATOR}
                            -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DEXTREMES_WERROR=${WERROR} ${ARGN}
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir} --config Release COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -C Release WORKING_DIRECTORY ${dir}
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB made LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*.tar.gz ${dir}/*.deb ${dir}/*.zip)
    foreach(package IN LISTS made)
        file(COPY_FILE ${dir}/${package} ${RELEASE_DIR}/${package})
    endforeach()
    set(packages ${packages} ${made} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${RELEASE_DIR})
set(packages "")
# The Linux programs self-contained, linked statically and placed at random,
# for x86-64 with the compiler given and for the others with their cross
# compilers; the .deb, linked with the system's libraries as Debian's policy
# wants; the .zip for 32-bit Windows.
set(self_contained -DEXTREMES_STATIC=ON -DCMAKE_POSITION_INDEPENDENT_CODE=ON)
build(linux-x86_64 -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${self_contained})
build(linux-aarch64 --toolchain ${SOURCE_DIR}/cmake/aarch64-linux-gnu.cmake ${self_contained})
build(linux-i686 --toolchain ${SOURCE_DIR}/cmake/i686-linux-gnu.cmake ${self_contained})
build(deb -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
build(win32 --toolchain ${SOURCE_DIR}/cmake/mingw-w64-i686.cmake)

list(SORT packages)
set(sums "")
foreach(package IN LISTS packages)
    file(SHA256 ${RELEASE_DIR}/${package} sum)
    string(APPEND sums "${sum}  ${package}\n")
endforeach()
file(WRITE ${RELEASE_DIR}/SHA256SUMS "${sums}")
message(STATUS "release: ${RELEASE_DIR}: ${packages}, SHA256SUMS")
