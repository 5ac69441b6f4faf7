# The packages for the Linux systems' own installers (included by
# packaging.cmake). From a build linked statically: the .deb and the .rpm of
# its processor, named as Debian and RPM name it, holding the program of the
# .tar.gz, which needs no library of the system and so runs on every
# release of every distribution of that processor; one program per
# processor, whichever package it comes in. From the native build linked
# with the system's libraries: the .deb alone, its dependencies computed
# from the program by dpkg-shlibdeps, for the system that built it, and its
# version <version>~local, which apt tells from the release's .deb of that
# processor and takes for the older.
#
# Each holds /usr/bin/extremes, the manual page, the licence and the
# changelog where its system keeps them: in the .deb, the manual page and
# the changelog compressed with gzip -9n (at configure time, which runs
# again whenever either file changes) and the licence as
# share/doc/extremes/copyright, as Debian's policy wants (lintian checks);
# in the .rpm, the licence marked as such and the changelog as a document,
# and the changelog's entries as the package's own (rpm -q --changelog;
# rpmlint checks), read as the .rpm is made (packaging-cpack.cmake).

# The processor's names as Debian and RPM give them, from the table in
# linux-processors.txt; a processor not named there gets the .tar.gz alone.
set(processors_table ${CMAKE_CURRENT_LIST_DIR}/linux-processors.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${processors_table})
file(STRINGS ${processors_table} processors REGEX "^[^#]")

if(EXTREMES_STATIC)
    foreach(names IN LISTS processors)
        string(REGEX MATCHALL "[^ ]+" names "${names}")
        list(GET names 0 processor)
        if(processor STREQUAL CMAKE_SYSTEM_PROCESSOR)
            list(GET names 1 CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
            list(GET names 2 CPACK_RPM_PACKAGE_ARCHITECTURE)
            list(APPEND CPACK_GENERATOR DEB RPM)
        endif()
    endforeach()
elseif(NOT CMAKE_CROSSCOMPILING)
    # dpkg takes the architecture and the dependencies from this machine.
    list(APPEND CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}~local")
endif()

foreach(file IN ITEMS extremes.1 changelog)
    execute_process(COMMAND gzip -9n INPUT_FILE ${CMAKE_CURRENT_SOURCE_DIR}/${file}
                    OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
foreach(component IN ITEMS DEB RPM)
    install(TARGETS extremes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/extremes.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT DEB EXCLUDE_FROM_ALL)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright
        COMPONENT DEB EXCLUDE_FROM_ALL)
if(EXTREMES_STATIC)
    # What lintian reports of the program, and why it is so; lintian shows
    # the comment beside the tag.
    set(overrides [[
# Linked statically, the program needs no library of the system and the
# package depends on nothing: one program for every Debian and Ubuntu
# release of this processor, the same as in the .tar.gz and the .rpm.
]])
    if(CMAKE_POSITION_INDEPENDENT_CODE)  # linked as a static PIE (flags.cmake)
        string(APPEND overrides [[
# lintian takes a static position-independent program for a shared library,
# the two being the same kind of file.
extremes: shared-library-lacks-prerequisites [usr/bin/extremes]
]])
    else()
        string(APPEND overrides "extremes: statically-linked-binary [usr/bin/extremes]\n")
    endif()
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/lintian-overrides "${overrides}")
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME extremes
            COMPONENT DEB EXCLUDE_FROM_ALL)
endif()

# The .rpm: named by rpmbuild, extremes-<version>-1.<architecture>.rpm, its
# files under /usr.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_SUMMARY "Report the largest and the smallest of a list of whole numbers")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP Applications/Text)
set(CPACK_RPM_COMPRESSION_TYPE xz)
# rpmbuild would make the program of a build linked as a static PIE require
# rtld(GNU_HASH), the dynamic loader, which it does not use: like the .deb,
# the package depends on nothing but rpm.
set(CPACK_RPM_PACKAGE_AUTOREQ no)
set(licensedir ${CMAKE_INSTALL_DATAROOTDIR}/licenses/${PROJECT_NAME})
install(FILES changelog DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT RPM EXCLUDE_FROM_ALL)
install(FILES LICENSE DESTINATION ${licensedir} COMPONENT RPM EXCLUDE_FROM_ALL)
set(CPACK_RPM_USER_FILELIST "%doc /usr/${CMAKE_INSTALL_DOCDIR}/changelog"
                            "%license /usr/${licensedir}/LICENSE")
# Folders that the system's own packages hold, which would otherwise be
# listed as this package's.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1 /usr/share/licenses)
# rpmbuild's settings: the packager; a fixed name for the machine that
# built the package (openSUSE's) and SOURCE_DATE_EPOCH for the time it was
# built, so that neither varies; no links to the program by its build ID
# under /usr/lib/.build-id; and none of the scripts it runs once the files
# are in place, which would strip the program with this machine's strip
# (cpack strips it with the toolchain's).
string(JOIN "\n" CPACK_RPM_SPEC_MORE_DEFINE
       "%define packager ${CPACK_PACKAGE_CONTACT}"
       "%define _buildhost reproducible"
       "%define use_source_date_epoch_as_buildtime 1"
       "%define _build_id_links none"
       "%define __spec_install_post %{nil}")
