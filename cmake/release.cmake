# The release, made by the release target (packaging.cmake):
#   cmake -D SOURCE_DIR=... -D RELEASE_DIR=... -D BUILDS_DIR=... \
#         -D CXX_COMPILER=... -D GENERATOR=... -D WERROR=ON|OFF -P release.cmake
# builds SOURCE_DIR afresh for each package, in a folder of its own in
# BUILDS_DIR, with the generator given and EXTREMES_WERROR=WERROR; then puts
# the packages in RELEASE_DIR with SHA256SUMS, as sha256sum writes it, so
# that RELEASE_DIR holds what is published and nothing else. Nothing of an
# earlier run is kept.

# The builds, each: the name of its folder; the toolchain file in cmake/ it
# is built with, or "native" for this machine's compiler, the one given;
# what it needs beyond CMake, as program:Debian package, or "-"; its
# options. First, one for each processor of linux-processors.txt that the
# release holds, built with Debian's cross compiler of its toolchain's name
# (g++-<triplet>): each makes the .tar.gz, the .deb and the .rpm of its
# processor (packaging-linux.cmake), around one program, self-contained:
# linked statically, and placed at random where the toolchain can link it
# so. Then the one for Windows.
set(self_contained "-DEXTREMES_STATIC=ON -DCMAKE_POSITION_INDEPENDENT_CODE=ON")
set(builds "")
file(STRINGS ${SOURCE_DIR}/cmake/linux-processors.txt processors REGEX "^[^#]")
foreach(processor IN LISTS processors)
    string(REGEX MATCHALL "[^ ]+" processor "${processor}")
    list(GET processor 0 name)
    list(GET processor 3 toolchain)
    list(GET processor 4 released)
    if(NOT released STREQUAL "yes")
        continue()
    elseif(toolchain STREQUAL "native")
        list(APPEND builds "linux-${name} native - ${self_contained}")
    else()
        list(APPEND builds "linux-${name} ${toolchain} ${toolchain}-g++:g++-${toolchain} ${self_contained}")
    endif()
endforeach()
list(APPEND builds "win32 mingw-w64-i686 i686-w64-mingw32-g++:g++-mingw-w64-i686")
# What the packages need besides: rpmbuild, for the .rpm; Info-ZIP's zip,
# for the .zip.
set(needs rpmbuild:rpm zip:zip)

# All that is missing is named at once, before anything is built.
foreach(build IN LISTS builds)
    separate_arguments(build UNIX_COMMAND "${build}")
    list(GET build 2 need)
    if(NOT need STREQUAL "-")
        list(APPEND needs ${need})
    endif()
endforeach()
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

file(REMOVE_RECURSE ${RELEASE_DIR} ${BUILDS_DIR})
file(MAKE_DIRECTORY ${RELEASE_DIR})
set(packages "")
foreach(build IN LISTS builds)
    separate_arguments(build UNIX_COMMAND "${build}")
    list(POP_FRONT build name toolchain need)
    if(toolchain STREQUAL "native")
        set(toolchain -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
    else()
        set(toolchain --toolchain ${SOURCE_DIR}/cmake/${toolchain}.cmake)
    endif()
    set(dir ${BUILDS_DIR}/${name})
    message(STATUS "release: ${name}")
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${dir} -G ${GENERATOR} ${toolchain}
                            -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DEXTREMES_WERROR=${WERROR} ${build}
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir} --config Release COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -C Release WORKING_DIRECTORY ${dir}
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB made LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*.tar.gz ${dir}/*.deb ${dir}/*.rpm
         ${dir}/*.zip)
    foreach(package IN LISTS made)
        file(COPY_FILE ${dir}/${package} ${RELEASE_DIR}/${package})
    endforeach()
    list(APPEND packages ${made})
endforeach()

list(SORT packages)
set(sums "")
foreach(package IN LISTS packages)
    file(SHA256 ${RELEASE_DIR}/${package} sum)
    string(APPEND sums "${sum}  ${package}\n")
endforeach()
file(WRITE ${RELEASE_DIR}/SHA256SUMS "${sums}")
message(STATUS "release: ${RELEASE_DIR}: ${packages}, SHA256SUMS")
