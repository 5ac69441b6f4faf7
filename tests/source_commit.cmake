# Checks that cmake/source-date-epoch.cmake says "and changes not committed"
# after the commit where the checkout differs from it, and only there, on a
# checkout that holds a file, a symlink and a submodule.
#   cmake -D SOURCE_DIR=... -D WORK_DIR=... -P source_commit.cmake
find_program(git git)
if(NOT git)
    message("skipped: the commit is read by git (Debian package git)")
    return()
endif()

# This machine's git config, or the lack of one, plays no part.
set(ENV{HOME} "${WORK_DIR}")
set(ENV{GIT_CONFIG_NOSYSTEM} 1)
unset(ENV{XDG_CONFIG_HOME})
set(repo "${WORK_DIR}/source-commit")
file(REMOVE_RECURSE "${repo}" "${repo}-module")
file(MAKE_DIRECTORY "${repo}" "${repo}-module")
function(git)
    execute_process(COMMAND "${git}" -c user.name=A -c user.email=a@b.org ${ARGN}
                    WORKING_DIRECTORY "${repo}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
git(-C "${repo}-module" init -q)
git(-C "${repo}-module" commit -q --allow-empty -m 1)
git(-C "${repo}-module" commit -q --allow-empty -m 2)
file(WRITE "${repo}/file" "bytes\n")
file(CREATE_LINK file "${repo}/link" SYMBOLIC)
git(init -q)
git(-c protocol.file.allow=always submodule add -q "${repo}-module" module)
git(add file link)
git(commit -q -m commit)
execute_process(COMMAND "${git}" -C "${repo}" rev-parse HEAD OUTPUT_VARIABLE head
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# What is done to the checkout, as CMake code (none at first, an empty item
# that CMP0007 keeps); then whether the commit reads as changed.
cmake_policy(SET CMP0007 NEW)
set(rows
    "nothing" "" NO
    "a file written again, its bytes the same, its index entry stale" [[
        file(COPY_FILE "${repo}/file" "${repo}/copy")
        file(RENAME "${repo}/copy" "${repo}/file")]] NO
    "a file's bytes changed" [[file(APPEND "${repo}/file" "more\n")]] YES
    "the symlink pointed elsewhere" [[file(CREATE_LINK module "${repo}/link" SYMBOLIC)]] YES
    "the symlink a file holding its target, as core.symlinks=false checks it out" [[
        file(WRITE "${repo}/copy" file)
        file(RENAME "${repo}/copy" "${repo}/link")]] NO
    "the submodule at another commit" [[git(-C module checkout -q HEAD~)]] YES
    "the submodule not checked out: an empty folder" [[file(REMOVE "${repo}/module/.git")]] NO
    "the submodule's folder gone" [[file(REMOVE_RECURSE "${repo}/module")]] YES)
function(source_commit)
    set(EXTREMES_SOURCE "${repo}")
    include("${SOURCE_DIR}/cmake/source-date-epoch.cmake")
    set(source_commit "${source_commit}" PARENT_SCOPE)
endfunction()
while(rows)
    list(POP_FRONT rows what done changed)
    cmake_language(EVAL CODE "${done}")
    source_commit()
    set(expected "${head}")
    if(changed)
        string(APPEND expected " and changes not committed")
    endif()
    if(NOT source_commit STREQUAL expected)
        message(SEND_ERROR "${what}: expected\n  ${expected}\ngot\n  ${source_commit}")
    endif()
    git(reset -q --hard)
    git(submodule update -q)
endwhile()
