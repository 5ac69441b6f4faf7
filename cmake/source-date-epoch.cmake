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
    # Named outright (--git-dir), a checkout is read whoever owns it: git
    # checks the owner only of one that it finds by looking up from a
    # folder, and takes safe.directory from the command line only from 2.38
    # on. Its owner may name commands in its .git/config for git to run,
    # though, and git status runs some (core.fsmonitor, clean filters) and
    # rewrites a stale index: only commands that read objects, refs and the
    # checkout's files are run, which neither write into the checkout nor
    # run a hook, a filter, an fsmonitor or gpg.
    set(checkout "--git-dir=${EXTREMES_SOURCE}/.git" "--work-tree=${EXTREMES_SOURCE}")
    function(ask_git answer)
        execute_process(COMMAND "${git}" ${checkout} ${ARGN} WORKING_DIRECTORY "${EXTREMES_SOURCE}"
                        OUTPUT_VARIABLE said ERROR_VARIABLE why RESULT_VARIABLE failed
                        OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(failed)
            message(FATAL_ERROR "the last commit of ${EXTREMES_SOURCE}, which the packages are "
                                "made from, cannot be read: ${why}")
        endif()
        set(${answer} "${said}" PARENT_SCOPE)
    endfunction()
    # log.showSignature in that config would have log run gpg.
    ask_git(commit log -1 --no-show-signature --format=%H%n%ct)
    string(REPLACE "\n" ";" commit "${commit}")
    list(GET commit 0 source_commit)
    list(GET commit 1 commit_time)
    # The files differ from the commit where one of them is gone from the
    # checkout or holds other bytes there, as the build reads them (git's
    # filters and line-end conversion not applied); files that the commit
    # does not hold are not looked at. ls-tree lists the commit's files,
    # hash-object hashes the checkout's, up to one that it cannot read.
    ask_git(tree ls-tree -r ${source_commit})
    string(REGEX REPLACE "[^\n]* ([0-9a-f]+)\t[^\n]*" "\\1" committed "${tree}")
    execute_process(COMMAND "${git}" ${checkout} ls-tree -r --name-only ${source_commit}
                    COMMAND "${git}" ${checkout} hash-object --no-filters --stdin-paths
                    WORKING_DIRECTORY "${EXTREMES_SOURCE}" OUTPUT_VARIABLE checked_out
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT checked_out STREQUAL committed)
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
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C
                            "${parsechangelog}" -l "${EXTREMES_SOURCE}/changelog" -STimestamp
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
