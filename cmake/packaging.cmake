# Ready-made packages, made by running cpack in the build folder: from a
# Linux build linked statically (EXTREMES_STATIC, as a cross build is by
# default), extremes-<version>-linux-<processor>.tar.gz, a program for any
# Linux of its processor, and the same program in the .deb and the .rpm of
# that processor (packaging-linux.cmake); from the native Linux build,
# linked with the system's libraries as Debian's policy wants,
# extremes_<version>~local_amd64.deb; from the 32-bit Windows build,
# extremes-<version>-win32.zip.
#
# The packages lay the program out differently, so each holds one install
# component of its own, named after its CPack generator (TGZ, DEB, RPM,
# ZIP); packaging-cpack.cmake picks it as cpack makes each package. None of
# these components is part of a plain `cmake --install`.
#
# Two builds of one commit make the same packages, byte for byte, whoever
# makes them, whatever their folders, file system, time, umask or time zone:
# the scripts that cpack runs give every time in them one value
# (packaging-cpack.cmake, packaging-staged.cmake, and rpmbuild's settings in
# packaging-linux.cmake) and every folder in them mode 0755
# (packaging-staged.cmake), and pack the .deb, the .tar.gz and the .zip
# again with dpkg-deb, GNU tar and Info-ZIP's zip, their files in name order
# and as root's or no one's (packaging-made.cmake); the program holds
# neither the build's folders nor, for Windows, the time it was linked
# (flags.cmake).

set(CPACK_PACKAGE_VENDOR "the extremes authors")
set(CPACK_PACKAGE_CONTACT "extremes authors <extremes@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "report the largest and the smallest of a list of whole numbers")
set(CPACK_PACKAGE_DESCRIPTION [[
extremes asks how many whole numbers follow, asks for each one by its
position and reads it, then writes the largest and the smallest and lists
every number with its position. The numbers may be typed at the terminal or
come from a file or a pipe.]])
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging-cpack.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packaging-staged.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packaging-made.cmake)
set(CPACK_EXTREMES_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
set(CPACK_EXTREMES_BINARY_DIR ${CMAKE_BINARY_DIR})

if(WIN32)
    set(CPACK_GENERATOR ZIP)

    # Everything at the top of the unzipped folder, the text files with the
    # line ends Notepad expects.
    configure_file(cmake/README-windows.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
    install(TARGETS extremes RUNTIME DESTINATION . COMPONENT ZIP EXCLUDE_FROM_ALL)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
            DESTINATION . COMPONENT ZIP EXCLUDE_FROM_ALL)
elseif(EXTREMES_STATIC)
    string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} CPACK_SYSTEM_NAME)
    set(CPACK_GENERATOR TGZ)

    # The .tar.gz: what `cmake --install` installs, with README and LICENSE on top.
    install(TARGETS extremes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT TGZ EXCLUDE_FROM_ALL)
    install(FILES extremes.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT TGZ EXCLUDE_FROM_ALL)
    install(FILES README.md LICENSE DESTINATION . COMPONENT TGZ EXCLUDE_FROM_ALL)
endif()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    include(${CMAKE_CURRENT_LIST_DIR}/packaging-linux.cmake)
endif()

# The packages this build makes, which packaging-cpack.cmake holds a
# `cpack -G` to.
set(CPACK_EXTREMES_GENERATORS ${CPACK_GENERATOR})
include(CPack)

# The release (release.cmake): for Linux on x86-64, 64-bit ARM, 32-bit x86,
# 32-bit ARM and RISC-V, the .tar.gz, the .deb and the .rpm, and the .zip,
# from clean builds in release-builds/, put in release/ with their
# checksums. Only a native x86-64 Linux build has it: the x86-64 program is
# built with its compiler.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64"
   AND NOT CMAKE_CROSSCOMPILING)
    add_custom_target(release
        COMMAND ${CMAKE_COMMAND} -D SOURCE_DIR=${PROJECT_SOURCE_DIR} -D VERSION=${PROJECT_VERSION}
                -D RELEASE_DIR=${PROJECT_BINARY_DIR}/release
                -D BUILDS_DIR=${PROJECT_BINARY_DIR}/release-builds -D CXX_COMPILER=${CMAKE_CXX_COMPILER}
                -D GENERATOR=${CMAKE_GENERATOR} -D WERROR=${EXTREMES_WERROR}
                -P ${CMAKE_CURRENT_LIST_DIR}/release.cmake
        USES_TERMINAL VERBATIM)
endif()
