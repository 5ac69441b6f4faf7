# Checks cmake/rpm-changelog.cmake on changelogs, each with the .rpm's
# changelog that it must write, or the words it must stop with.
#   cmake -D SOURCE_DIR=... -D WORK_DIR=... -P rpm_changelog.cmake
find_program(parsechangelog dpkg-parsechangelog)
if(NOT parsechangelog)
    message("skipped: the .rpm's changelog is read by dpkg-parsechangelog (Debian package dpkg-dev)")
    return()
endif()

# The changelog given is written as the .rpm's changelog expected, or, with
# STOPS, stops with words that match the regular expression expected.
function(check name changelog expected)
    file(WRITE "${WORK_DIR}/changelog" "${changelog}")
    file(REMOVE "${WORK_DIR}/rpm-changelog")
    execute_process(COMMAND ${CMAKE_COMMAND} -D CHANGELOG=${WORK_DIR}/changelog -D RPM_RELEASE=1
                            -D OUTPUT=${WORK_DIR}/rpm-changelog -P ${SOURCE_DIR}/cmake/rpm-changelog.cmake
                    RESULT_VARIABLE failed ERROR_VARIABLE words)
    if(NOT failed AND NOT ARGN)
        file(READ "${WORK_DIR}/rpm-changelog" written)
        if(written STREQUAL expected)
            return()
        endif()
    elseif(failed AND ARGN STREQUAL "STOPS")
        if(words MATCHES "${expected}")
            return()
        endif()
    endif()
    message(SEND_ERROR "${name}: expected ${ARGN}\n${expected}\ngot\n${written}${words}")
endfunction()

check("a day of one digit, a % and a ;" [[
extremes (1.2.0) unstable; urgency=medium

  * Days of one digit; 100% kept.
    Continued.
  * Second.

 -- A B <a@b.org>  Tue, 8 Dec 2026 09:30:00 +0000

extremes (1.1.0) unstable; urgency=medium

  * First.

 -- A B <a@b.org>  Mon, 07 Dec 2026 15:15:00 +0000
]] [[
* Tue Dec 08 2026 A B <a@b.org> - 1.2.0-1
- Days of one digit; 100%% kept.
  Continued.
- Second.

* Mon Dec 07 2026 A B <a@b.org> - 1.1.0-1
- First.

]])

check("a trailer without its seconds" [[
extremes (1.1.0) unstable; urgency=medium

  * First.

 -- A B <a@b.org>  Tue, 8 Dec 2026 09:30 +0000
]] "\\(l5\\):[ \n]+badly[ \n]+formatted" STOPS)

check("every line as it stands: brackets, a backslash ending an entry, lines other than items" [[
extremes (1.2.0) unstable; urgency=medium

  [ C D ]
  * Reads values[0,
    not values[1.
    - A sub-item.
  - Removed.
  + Added.

  [ A B ]
  * Reads paths such as C:\

 -- A B <a@b.org>  Tue, 8 Dec 2026 09:30:00 +0000

extremes (1.1.0) unstable; urgency=medium, XS-Extra=x

  * First.

 -- A B <a@b.org>  Mon, 07 Dec 2026 15:15:00 +0000
]] [[
* Tue Dec 08 2026 A B <a@b.org> - 1.2.0-1
[ C D ]
- Reads values[0,
  not values[1.
  - A sub-item.
- Removed.
+ Added.

[ A B ]
- Reads paths such as C:\

* Mon Dec 07 2026 A B <a@b.org> - 1.1.0-1
- First.

]])

check("lines that the .rpm's changelog cannot hold as they stand" "\
extremes (1.2.0) unstable; urgency=medium

  * First.
\t  Indented by a tab.
  *Starred.
    # 12 fixed.
  %pre scripts.

 -- A B <a@b.org>  Tue, 8 Dec 2026 09:30:00 +0000
" "1\\.2\\.0: \t +Indented by a tab\\.[ \n]+1\\.2\\.0: \\*Starred\\.[ \n]+\
1\\.2\\.0: # 12 fixed\\.[ \n]+1\\.2\\.0: %pre scripts\\." STOPS)
