# Writes the entries of CHANGELOG, a Debian changelog, as the .rpm's
# changelog to OUTPUT, for release RPM_RELEASE of each version: included by
# packaging-cpack.cmake, or run as
#   cmake -D CHANGELOG=... -D RPM_RELEASE=... -D OUTPUT=... -P rpm-changelog.cmake
#
# The entries are read by Debian's dpkg-parsechangelog, which reads the
# packages' time too (source-date-epoch.cmake), one paragraph each. They are
# written newest first, as RPM has them: "* <day> <name> <address> -
# <version>-<release>" on top, the day of the entry's time in UTC as GNU
# date writes it, then each line of the changes without the two spaces
# that indent it, an item's "* " written "- ", a blank line kept (rpm gives
# it back).
# A % is doubled, which rpmbuild would take for a macro. An entry that
# dpkg-parsechangelog warns about, or that lacks a field, stops the package
# and is named; so are the lines that rpm cannot hold as they stand.

find_program(parsechangelog dpkg-parsechangelog)
if(NOT parsechangelog)
    message(FATAL_ERROR "the .rpm's changelog is read from ${CHANGELOG} by dpkg-parsechangelog "
                        "(Debian package dpkg-dev): install it")
endif()
# LC_ALL=C: dpkg's warnings, and date's names of days and months, in English.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C
                        "${parsechangelog}" -l "${CHANGELOG}" --all --format rfc822
                OUTPUT_VARIABLE text ERROR_VARIABLE warnings COMMAND_ERROR_IS_FATAL ANY)
if(warnings)
    message(FATAL_ERROR "${CHANGELOG} has an entry that dpkg-parsechangelog cannot read:\n${warnings}")
endif()

# The text is walked with string(FIND), never held as a CMake list, whose
# syntax its brackets, backslashes and semicolons would be taken for; each
# paragraph made to end with a blank line.
if(NOT text STREQUAL "")
    string(APPEND text "\n")
endif()
set(written "")
set(unplaced "")
while(NOT text STREQUAL "")
    string(FIND "${text}" "\n\n" end)
    string(SUBSTRING "${text}" 0 ${end} entry)
    math(EXPR end "${end} + 2")
    string(SUBSTRING "${text}" ${end} -1 text)

    string(REGEX MATCH "[^\n]*" first_line "${entry}")
    foreach(field IN ITEMS Version Maintainer Timestamp)
        if(NOT entry MATCHES "(^|\n)${field}: ([^\n]+)")
            message(FATAL_ERROR "${CHANGELOG}: the entry of ${first_line} has no ${field}")
        endif()
        set(${field} "${CMAKE_MATCH_2}")
    endforeach()
    # Changes: the entry's heading, " .", then its lines, each after a
    # blank, a blank one as " .". A field may follow (a keyword of the
    # heading's), which starts with no blank.
    if(NOT entry MATCHES "\nChanges:\n[^\n]*\n \\.\n(.*)")
        message(FATAL_ERROR "${CHANGELOG}: the entry of ${first_line} has no Changes")
    endif()
    string(REGEX REPLACE "\n[^ ].*" "\n" changes "${CMAKE_MATCH_1}\n")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C date -u -d @${Timestamp} "+%a %b %d %Y"
                    OUTPUT_VARIABLE day OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND written "* ${day} ${Maintainer} - ${Version}-${RPM_RELEASE}\n")

    # A line as the changelog has it, the field's blank taken off.
    # dpkg-parsechangelog takes any two blank characters for the indent, not
    # only the two spaces that start a change line. rpm takes a line that
    # starts with * for an entry, with # (after blanks) for a comment, with
    # %word for a section if the word names one: any %word stops here.
    while(NOT changes STREQUAL "")
        string(FIND "${changes}" "\n" end)
        math(EXPR length "${end} - 1")
        string(SUBSTRING "${changes}" 1 ${length} line)
        math(EXPR end "${end} + 1")
        string(SUBSTRING "${changes}" ${end} -1 changes)
        if(line STREQUAL ".")
            string(APPEND written "\n")
        elseif(line MATCHES "^  \\* (.*)")
            string(APPEND written "- ${CMAKE_MATCH_1}\n")
        elseif(NOT line MATCHES "^  " OR line MATCHES "^  (\\*|[ \t]*#|%[A-Za-z_]+([ \t]|$))")
            string(APPEND unplaced "\n${Version}: ${line}")
        else()
            string(SUBSTRING "${line}" 2 -1 line)
            string(APPEND written "${line}\n")
        endif()
    endwhile()
    string(APPEND written "\n")
endwhile()
if(NOT unplaced STREQUAL "")
    message(FATAL_ERROR "${CHANGELOG} has change lines that the .rpm's changelog cannot hold: "
                        "a change line starts with two spaces, then not with * (but an item's "
                        "\"* \"), # or %word, which rpm would read as its own:${unplaced}")
endif()
string(REPLACE "%" "%%" written "${written}")
file(WRITE "${OUTPUT}" "${written}")
