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
    # The checkout differs from the commit where an entry of the commit is
    # gone or holds other than git stores, as the build reads it (no filter
    # or line-end conversion); untracked files do not count. hash-object,
    # which follows symlinks, is given the regular files alone.
    ask_git(tree ls-tree -r ${source_commit})
    string(REGEX REPLACE "\n1[26]0000 [^\n]*" "" files "\n${tree}")
    string(REGEX REPLACE "\n[^\n]* ([0-9a-f]+)\t[^\n]*" "\\1\n" committed "${files}")
    string(REGEX REPLACE "\n[^\n\t]*\t([^\n]*)" "\\1\n" paths "${files}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo_append "${paths}"
                    COMMAND "${git}" ${checkout} hash-object --no-filters --stdin-paths
                    WORKING_DIRECTORY "${EXTREMES_SOURCE}" OUTPUT_VARIABLE checked_out ERROR_QUIET)
    string(COMPARE NOTEQUAL "${checked_out}" "${committed}" changed)
    # A symlink is stored as a blob of its target, a submodule as a gitlink
    # to the commit checked out in it, read through its .git named outright.
    string(REGEX REPLACE "\n100[^\n]*" "" others "\n${tree}")
    while(NOT changed AND others MATCHES "^\n(1[26])0000 [a-z]+ ([0-9a-f]+)\t([^\n]*)(.*)")
        set(kind ${CMAKE_MATCH_1})
        set(committed ${CMAKE_MATCH_2})
        set(path "${EXTREMES_SOURCE}/${CMAKE_MATCH_3}")
        set(others "${CMAKE_MATCH_4}")
        if(kind EQUAL 12 AND IS_SYMLINK "${path}")
            file(READ_SYMLINK "${path}" checked_out)
            execute_process(COMMAND "${git}" ${checkout} cat-file blob ${committed}
                            OUTPUT_VARIABLE committed ERROR_QUIET)
        elseif(kind EQUAL 12)
            # core.symlinks=false: a file that holds the target.
            execute_process(COMMAND "${git}" ${checkout} hash-object --no-filters -- "${path}"
                            OUTPUT_VARIABLE checked_out ERROR_QUIET
                            OUTPUT_STRIP_TRAILING_WHITESPACE)
        elseif(IS_DIRECTORY "${path}" AND NOT EXISTS "${path}/.git")
            # A submodule not checked out: no change to git status either.
            set(checked_out ${committed})
        else()
            execute_process(COMMAND "${git}" "--git-dir=${path}/.git" rev-parse --verify HEAD
                            OUTPUT_VARIABLE checked_out ERROR_QUIET
                            OUTPUT_STRIP_TRAILING_WHITESPACE)
        endif()
        string(COMPARE NOTEQUAL "${checked_out}" "${committed}" changed)
    endwhile()
    if(changed)
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
