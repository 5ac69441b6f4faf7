# cpack runs this once it has made a package (CPACK_POST_BUILD_SCRIPTS).
#
# The .deb is made again from the files cpack staged for it, by Debian's own
# dpkg-deb, as root's files whoever builds it. cpack's own .deb gives its
# members, debian-binary and the two archives, the modes the umask gave
# those files (0600 under umask 077), and counts in Installed-Size each
# folder's size as the file system reports it (4 KiB on ext4, less on a
# tmpfs).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    find_program(dpkg_deb dpkg-deb REQUIRED)
    set(tree "${CPACK_TEMPORARY_DIRECTORY}")
    file(READ "${tree}/control" control)
    file(READ "${tree}/md5sums" md5sums)
    file(REMOVE "${tree}/control" "${tree}/md5sums" "${tree}/debian-binary" "${tree}/control.tar.gz"
         "${tree}/data.tar.gz")

    # Installed-Size counted as dpkg-gencontrol counts it: each file's size in
    # KiB, rounded up, and 1 for each folder.
    file(GLOB_RECURSE staged LIST_DIRECTORIES true "${tree}/*")
    set(kib 0)
    foreach(path IN LISTS staged)
        if(IS_DIRECTORY "${path}")
            math(EXPR kib "${kib} + 1")
        else()
            file(SIZE "${path}" size)
            math(EXPR kib "${kib} + (${size} + 1023) / 1024")
        endif()
    endforeach()
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")

    file(WRITE "${tree}/DEBIAN/control" "${control}")
    file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")
    file(CHMOD "${tree}" "${tree}/DEBIAN" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    file(CHMOD "${tree}/DEBIAN/control" "${tree}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE
         GROUP_READ WORLD_READ)
    execute_process(COMMAND "${dpkg_deb}" --root-owner-group -Zgzip --build "${tree}" "${package}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
