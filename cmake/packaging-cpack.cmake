# cpack reads this before it makes each package (CPACK_PROJECT_CONFIG_FILE).
#
# The package holds the install component named after its generator, laid
# out in packaging.cmake. A package that this build does not make (cpack -G
# TGZ after a native build) has no component to hold: it is refused here.
# (cpack reads this with CMake's oldest policies, which lack IN_LIST.)
list(FIND CPACK_EXTREMES_GENERATORS "${CPACK_GENERATOR}" made_here)
if(made_here EQUAL -1)
    list(JOIN CPACK_EXTREMES_GENERATORS ", " made)
    message(FATAL_ERROR "this build makes no ${CPACK_GENERATOR} package, only ${made}: "
                        "README.md, Packages, says which build makes which")
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_EXTREMES_BINARY_DIR};extremes;${CPACK_GENERATOR};/")

# Every time in the packages (their files', which packaging-staged.cmake
# sets, the archives' own, the Windows program's link time, which strip
# sets) is SOURCE_DATE_EPOCH, which the scripts, strip, dpkg-deb and
# rpmbuild take from the environment: the caller's, when set (the
# reproducible-builds.org convention), otherwise the time of the last
# commit, or, outside a git checkout, the date of the changelog's latest
# entry.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "")
    if(CPACK_EXTREMES_GIT)
        execute_process(COMMAND "${CPACK_EXTREMES_GIT}" -C "${CPACK_EXTREMES_SOURCE_DIR}"
                                log -1 --format=%ct
                        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(NOT epoch MATCHES "^[0-9]+$")
        # The date of the latest entry, as Debian's dpkg-parsechangelog
        # (dpkg-dev) reads it. Where that is missing, cpack stops here and
        # says so: a package made with the time it was made could not be
        # made again the same.
        find_program(parsechangelog dpkg-parsechangelog)
        if(NOT parsechangelog)
            message(FATAL_ERROR "outside a git checkout, the packages take their time from the "
                                "changelog, read by dpkg-parsechangelog (Debian package dpkg-dev): "
                                "install it, or set SOURCE_DATE_EPOCH")
        endif()
        execute_process(COMMAND "${parsechangelog}" -l "${CPACK_EXTREMES_SOURCE_DIR}/changelog" -STimestamp
                        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()

# The .rpm's changelog: the entries of the changelog, as RPM has them.
if(CPACK_GENERATOR STREQUAL "RPM")
    set(CHANGELOG "${CPACK_EXTREMES_SOURCE_DIR}/changelog")
    set(RPM_RELEASE ${CPACK_RPM_PACKAGE_RELEASE})
    set(OUTPUT "${CPACK_EXTREMES_BINARY_DIR}/rpm-changelog")
    include("${CPACK_EXTREMES_SOURCE_DIR}/cmake/rpm-changelog.cmake")
    set(CPACK_RPM_CHANGELOG_FILE "${OUTPUT}")
endif()
