# Writes the entries of CHANGELOG, a Debian changelog, as the .rpm's
# changelog to OUTPUT, for release RPM_RELEASE of each version: included by
# packaging-cpack.cmake, or run as
#   cmake -D CHANGELOG=... -D RPM_RELEASE=... -D OUTPUT=... -P rpm-changelog.cmake
#
# The entries are read by Debian's dpkg-parsechangelog, which reads the
# packages' time too (source-date-epoch.cmake), one paragraph each. They are
# written newest first, as RPM has them: "* <day> <name> <address> -
# <version>-<release>" on top, the day of the entry's time in UTC as GNU
# date writes it, then each item marked "-". A % is doubled, which rpmbuild
# would take for a macro. An entry that dpkg-parsechangelog warns about, or
# that lacks a field, stops the package and is named.

find_program(parsechangelog dpkg-parsechangelog)
if(NOT parsechangelog)
    message(FATAL_ERROR "the .rpm's changelog is read from ${CHANGELOG} by dpkg-parsechangelog "
                        "(Debian package dpkg-dev): install it")
endif()
execute_process(COMMAND "${parsechangelog}" -l "${CHANGELOG}" --all --format rfc822
                OUTPUT_VARIABLE text ERROR_VARIABLE warnings OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
if(warnings)
    message(FATAL_ERROR "${CHANGELOG} has an entry that dpkg-parsechangelog cannot read:\n${warnings}")
endif()

# The paragraphs as a CMake list: the text's semicolons are held as a control
# character meanwhile, and each blank line between paragraphs is one.
string(ASCII 31 semicolon)
string(REPLACE ";" "${semicolon}" text "${text}")
string(REPLACE "%" "%%" text "${text}")
string(REPLACE "\n\n" ";" entries "${text}")
set(written "")
foreach(entry IN LISTS entries)
    set(fields "")
    foreach(field IN ITEMS Version Maintainer Timestamp)
        if(NOT entry MATCHES "(^|\n)${field}: ([^\n]+)")
            string(REGEX MATCH "[^\n]*" first_line "${entry}")
            message(FATAL_ERROR "${CHANGELOG}: the entry of ${first_line} has no ${field}")
        endif()
        list(APPEND fields "${CMAKE_MATCH_2}")
    endforeach()
    list(POP_FRONT fields version maintainer timestamp)
    execute_process(COMMAND date -u -d @${timestamp} "+%a %b %d %Y"
                    OUTPUT_VARIABLE day OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND written "* ${day} ${maintainer} - ${version}-${RPM_RELEASE}\n")

    # The changes, a line each after "Changes:", one blank before each:
    # the items ("  * ") and their continued lines ("    ").
    string(REGEX REPLACE ".*\nChanges:\n" "" changes "${entry}\n")
    string(REGEX MATCHALL "[^\n]*\n" lines "${changes}")
    foreach(line IN LISTS lines)
        if(line MATCHES "^   \\* (.*)")
            string(APPEND written "- ${CMAKE_MATCH_1}")
        elseif(line MATCHES "^     (.*)")
            string(APPEND written "  ${CMAKE_MATCH_1}")
        endif()
    endforeach()
    string(APPEND written "\n")
endforeach()
string(REPLACE "${semicolon}" ";" written "${written}")
file(WRITE "${OUTPUT}" "${written}")
