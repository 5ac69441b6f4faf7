# The release, made by the release target (packaging.cmake):
#   cmake -D SOURCE_DIR=... -D VERSION=... -D RELEASE_DIR=... -D BUILDS_DIR=... \
#         -D CXX_COMPILER=... -D GENERATOR=... -D WERROR=ON|OFF -P release.cmake
# builds SOURCE_DIR afresh for each package, in a folder of its own in
# BUILDS_DIR, with the generator given and EXTREMES_WERROR=WERROR; then puts
# the packages in RELEASE_DIR with extremes-VERSION-buildinfo.txt, which
# says what made them, and SHA256SUMS, as sha256sum writes it, so that
# RELEASE_DIR holds what is published and nothing else. Nothing of an
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
# What the packages need besides: dpkg-deb, for the .deb; rpmbuild and
# dpkg-parsechangelog, for the .rpm; Info-ZIP's zip, for the .zip; and
# dpkg-query, for the build information.
set(needs dpkg-deb:dpkg rpmbuild:rpm dpkg-parsechangelog:dpkg-dev zip:zip dpkg-query:dpkg)

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

# One time for every package: the caller's SOURCE_DATE_EPOCH, or the one
# read from the source, which the builds take from the environment.
set(EXTREMES_SOURCE ${SOURCE_DIR})
include(${SOURCE_DIR}/cmake/source-date-epoch.cmake)

# What made the release, as reproducible-builds.org asks, for anyone who
# would make it again: the source, the time, the tools that wrote it, the
# libraries linked into its programs and those that compress its .deb and
# .rpm, each as "<what>: <file> (<package> <version>)", the Debian package
# that holds it and that package's version, or where no package does, what
# the file says of its own version.
find_program(dpkg_query dpkg-query REQUIRED)
function(tool_line what file)
    file(REAL_PATH "${file}" file)
    # Merged /usr: a package may name /bin/tar for what lies at /usr/bin/tar.
    string(REGEX REPLACE "^/usr/" "/" unmerged "${file}")
    foreach(path IN ITEMS "${file}" "${unmerged}")
        execute_process(COMMAND ${dpkg_query} --search "${path}" OUTPUT_VARIABLE holder
                        RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed AND holder MATCHES "^([^ ,]+): ")
            set(package ${CMAKE_MATCH_1})
            execute_process(COMMAND ${dpkg_query} --show --showformat=\${Version} ${package}
                            OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
            string(APPEND buildinfo "${what}: ${file} (${package} ${version})\n")
            set(buildinfo "${buildinfo}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    execute_process(COMMAND "${file}" --version OUTPUT_VARIABLE said ERROR_QUIET)
    string(REGEX REPLACE "\n.*" "" said "${said}")
    string(APPEND buildinfo "${what}: ${file} (in no Debian package: ${said})\n")
    set(buildinfo "${buildinfo}" PARENT_SCOPE)
endfunction()

if(source_commit)
    set(buildinfo "extremes ${VERSION}, made from commit ${source_commit}\n")
else()
    set(buildinfo "extremes ${VERSION}, made from a source outside a git checkout\n")
endif()
string(APPEND buildinfo "SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}\n\n")
tool_line(cmake ${CMAKE_COMMAND})
foreach(tool IN ITEMS dpkg-deb dpkg-parsechangelog rpmbuild tar gzip zip)
    find_program(found ${tool} NO_CACHE REQUIRED)
    tool_line(${tool} ${found})
    unset(found)
endforeach()
# dpkg-deb -Zgzip compresses with zlib, rpmbuild its xz payload with
# liblzma: each library as its tool loads it, which ldd tells.
foreach(use IN ITEMS dpkg-deb:libz.so rpmbuild:liblzma.so)
    string(REPLACE ":" ";" use ${use})
    list(GET use 0 tool)
    list(GET use 1 library)
    find_program(found ${tool} NO_CACHE REQUIRED)
    execute_process(COMMAND ldd ${found} OUTPUT_VARIABLE loaded COMMAND_ERROR_IS_FATAL ANY)
    unset(found)
    if(NOT loaded MATCHES "${library}[^ ]* => ([^ ]+)")
        message(FATAL_ERROR "${tool} does not load ${library}, which the release names")
    endif()
    tool_line("${tool} ${library}" ${CMAKE_MATCH_1})
endforeach()

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

    # The build's compiler, the libraries linked into its program (the C++
    # library, GCC's own, and glibc's libc.a, or for Windows MinGW-w64's
    # libmingwex.a), the linker, and the strip that cpack ran.
    unset(compiler)
    unset(linker)
    if(need STREQUAL "-")
        set(compiler ${CXX_COMPILER})
    else()
        string(REGEX REPLACE ":.*" "" program ${need})
        find_program(compiler ${program} NO_CACHE REQUIRED)
    endif()
    file(STRINGS ${dir}/CMakeCache.txt strip REGEX "^CMAKE_STRIP:")
    string(REGEX REPLACE "^[^=]*=" "" strip "${strip}")
    execute_process(COMMAND ${compiler} -print-prog-name=ld OUTPUT_VARIABLE ld
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    find_program(linker ${ld} NO_CACHE REQUIRED)
    string(APPEND buildinfo "\n")
    tool_line("${name} compiler" ${compiler})
    foreach(library IN ITEMS libstdc++.a libgcc.a libgcc_eh.a libc.a libmingwex.a)
        execute_process(COMMAND ${compiler} -print-file-name=${library} OUTPUT_VARIABLE path
                        OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        if(IS_ABSOLUTE "${path}")
            tool_line("${name} ${library}" ${path})
        endif()
    endforeach()
    tool_line("${name} linker" ${linker})
    tool_line("${name} strip" ${strip})
endforeach()

set(buildinfo_file extremes-${VERSION}-buildinfo.txt)
file(WRITE ${RELEASE_DIR}/${buildinfo_file} "${buildinfo}")
list(APPEND packages ${buildinfo_file})
list(SORT packages)
set(sums "")
foreach(package IN LISTS packages)
    file(SHA256 ${RELEASE_DIR}/${package} sum)
    string(APPEND sums "${sum}  ${package}\n")
endforeach()
file(WRITE ${RELEASE_DIR}/SHA256SUMS "${sums}")
message(STATUS "release: ${RELEASE_DIR}: ${packages}, SHA256SUMS")
