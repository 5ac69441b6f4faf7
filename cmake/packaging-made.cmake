# cpack runs this once it has made a package (CPACK_POST_BUILD_SCRIPTS).
#
# The .deb is made again from the files cpack staged for it, by Debian's own
# dpkg-deb, as root's files whoever builds it, with SOURCE_DATE_EPOCH for
# the times of the archive and of the control files written here. cpack's
# own .deb gives its members, debian-binary and the two archives, the modes
# the umask gave those files (0600 under umask 077), and counts in
# Installed-Size each folder's size as the file system reports it (4 KiB on
# ext4, less on a tmpfs).
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

# The .tar.gz and the .zip are packed again from the same files by the
# ecosystem's own tools, as cpack cannot make them the same whoever builds
# them and wherever: it lists the files in the order the file system gives
# them and records their owner, the user who built them. GNU tar lists them
# by name and records them as root's, gzip -n leaving out the time and the
# name; Info-ZIP's zip, given the names in order, records no owner with -X.
# The times are the staged files' (packaging-staged.cmake). Each archive
# holds one folder, named after the package, without an entry of its own,
# as cpack's did.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.(tar\\.gz|zip)$")
        continue()
    endif()
    cmake_path(GET CPACK_TEMPORARY_DIRECTORY PARENT_PATH top)
    if(package MATCHES "\\.tar\\.gz$")
        file(GLOB entries RELATIVE "${top}" "${CPACK_TEMPORARY_DIRECTORY}/*")
        execute_process(COMMAND tar --create --file=- --format=gnu --sort=name --owner=0 --group=0
                                --numeric-owner ${entries}
                        COMMAND gzip -9n
                        WORKING_DIRECTORY "${top}" OUTPUT_FILE "${package}" COMMAND_ERROR_IS_FATAL ANY)
    else()
        # zip writes each file's time as MS-DOS did, a local time of day to
        # the even second: in UTC, in whatever time zone the package is made.
        find_program(zip zip REQUIRED)
        file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${top}" "${CPACK_TEMPORARY_DIRECTORY}/*")
        file(REMOVE "${package}")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0 "${zip}" -X -q "${package}" ${entries}
                        WORKING_DIRECTORY "${top}" COMMAND_ERROR_IS_FATAL ANY)
    endif()
endforeach()
