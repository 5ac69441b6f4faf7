# The source that packages are made from, and the time they are given:
# included with EXTREMES_SOURCE set to the source's folder, by
# packaging-cpack.cmake as each package is made, where the caller has set no
# time, and by release.cmake, once for the whole release. Sets
# source_commit, the commit checked out ("" outside a git checkout), with
# " and changes not committed" after it where the files differ from it;
# and, where the caller has not set SOURCE_DATE_EPOCH in the environment
# (the reproducible-builds.org convention), sets it there: the time of that
# commit, or, outside a git checkout, the date of the changelog's latest
# entry. Where either cannot be read, it stops and says why: packages made
# with another time would differ from those of the same source made
# elsewhere.

set(source_commit "")
if(EXISTS "${EXTREMES_SOURCE}/.git")
    find_program(git git)
    if(NOT git)
        message(FATAL_ERROR "${EXTREMES_SOURCE} is a git checkout, whose last commit the packages "
                            "are made from, but git is not found: install it")
    endif()
    # git refuses a checkout that another user owns (one that a container
    # mounts, sudo, a build farm), unless it is told that the checkout is
    # safe: it is, for these calls, as the build runs its scripts already.
    function(ask_git answer)
        execute_process(COMMAND "${git}" -c safe.directory=* -C "${EXTREMES_SOURCE}" ${ARGN}
                        OUTPUT_VARIABLE said ERROR_VARIABLE why RESULT_VARIABLE failed
                        OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(failed)
            message(FATAL_ERROR "the last commit of ${EXTREMES_SOURCE}, which the packages are "
                                "made from, cannot be read: ${why}")
        endif()
        set(${answer} "${said}" PARENT_SCOPE)
    endfunction()
    ask_git(source_commit log -1 --format=%H)
    ask_git(commit_time log -1 --format=%ct)
    ask_git(changes status --porcelain --untracked-files=no)
    if(changes)
        string(APPEND source_commit " and changes not committed")
    endif()
    if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
        set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
    endif()
elseif(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    # The date of the latest entry, as Debian's dpkg-parsechangelog reads it.
    find_program(parsechangelog dpkg-parsechangelog)
    if(NOT parsechangelog)
        message(FATAL_ERROR "outside a git checkout, the packages take their time from the "
                            "changelog, read by dpkg-parsechangelog (Debian package dpkg-dev): "
                            "install it, or set SOURCE_DATE_EPOCH")
    endif()
    execute_process(COMMAND "${parsechangelog}" -l "${EXTREMES_SOURCE}/changelog" -STimestamp
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
