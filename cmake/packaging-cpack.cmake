# cpack reads this before it makes each package (CPACK_PROJECT_CONFIG_FILE).
#
# The package holds the install component named after its generator, laid
# out in packaging.cmake.
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
        # " -- name <address>  Mon, 07 Dec 2026 10:00:00 +0000", turned into
        # seconds since 1970 by the days_from_civil reckoning of the
        # Gregorian calendar (Howard Hinnant, "chrono-Compatible Low-Level
        # Date Algorithms"), with the year taken to start in March.
        file(STRINGS "${CPACK_EXTREMES_SOURCE_DIR}/changelog" signature REGEX "^ -- " LIMIT_COUNT 1)
        if(NOT signature MATCHES
           " ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ([0-9]+):([0-9]+):([0-9]+) ([-+])([0-9][0-9])([0-9][0-9])$")
            message(FATAL_ERROR "no date in the changelog's latest entry: ${signature}")
        endif()
        set(months Mar Apr May Jun Jul Aug Sep Oct Nov Dec Jan Feb)
        list(FIND months ${CMAKE_MATCH_2} month)
        math(EXPR year "${CMAKE_MATCH_3} - (${month} + 2) / 12")  # Jan and Feb: the year before
        math(EXPR days "${year} * 365 + ${year} / 4 - ${year} / 100 + ${year} / 400
                        + (153 * ${month} + 2) / 5 + ${CMAKE_MATCH_1} - 1 - 719468")
        math(EXPR epoch "${days} * 86400 + ${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60
                         + ${CMAKE_MATCH_6} - (${CMAKE_MATCH_7}1) * (${CMAKE_MATCH_8} * 3600
                         + ${CMAKE_MATCH_9} * 60)")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
