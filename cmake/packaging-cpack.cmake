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
                        "BUILDING.md, Packages, says which build makes which")
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_EXTREMES_BINARY_DIR};extremes;${CPACK_GENERATOR};/")

# Every time in the packages (their files', which packaging-staged.cmake
# sets, the archives' own, the Windows program's link time, which strip
# sets) is SOURCE_DATE_EPOCH, which the scripts, strip, dpkg-deb and
# rpmbuild take from the environment: the caller's, when set (the
# reproducible-builds.org convention), otherwise the one that
# source-date-epoch.cmake reads from the source.
set(source "${CPACK_EXTREMES_SOURCE_DIR}")
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(EXTREMES_SOURCE "${source}")
    include("${source}/cmake/source-date-epoch.cmake")
endif()

# The .rpm's changelog: the entries of the changelog, as RPM has them.
if(CPACK_GENERATOR STREQUAL "RPM")
    set(CHANGELOG "${source}/changelog")
    set(RPM_RELEASE ${CPACK_RPM_PACKAGE_RELEASE})
    set(OUTPUT "${CPACK_EXTREMES_BINARY_DIR}/rpm-changelog")
    include("${source}/cmake/rpm-changelog.cmake")
    set(CPACK_RPM_CHANGELOG_FILE "${OUTPUT}")
endif()
