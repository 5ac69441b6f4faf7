# cpack runs this once it has made a package (CPACK_POST_BUILD_SCRIPTS).
#
# A .deb is an ar archive of three files that cpack writes, debian-binary,
# control.tar.gz and data.tar.gz, and it gives each the mode that the umask
# gave the file (0600 under umask 077): here the archive is written again,
# the same but for those modes, 0644 whoever builds it. Its headers are
# cpack's, the mode field (bytes 40 to 47) replaced; the members follow them
# as they are, each padded to an even length.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    set(parts "${CPACK_TEMPORARY_DIRECTORY}/ar-magic")
    file(READ "${package}" magic LIMIT 8)
    file(WRITE ${parts} "${magic}")
    set(offset 8)
    foreach(member IN ITEMS debian-binary control.tar.gz data.tar.gz)
        file(READ "${package}" header OFFSET ${offset} LIMIT 60)
        string(SUBSTRING "${header}" 0 40 before_mode)
        string(SUBSTRING "${header}" 48 12 after_mode)
        string(SUBSTRING "${after_mode}" 0 10 size)
        string(STRIP "${size}" size)
        set(part "${CPACK_TEMPORARY_DIRECTORY}/ar-${member}")
        file(WRITE ${part} "${before_mode}100644  ${after_mode}")
        list(APPEND parts ${part} "${CPACK_TEMPORARY_DIRECTORY}/${member}")
        math(EXPR padding "${size} % 2")
        if(padding)
            file(WRITE ${part}-padding "\n")
            list(APPEND parts ${part}-padding)
        endif()
        math(EXPR offset "${offset} + 60 + ${size} + ${padding}")
    endforeach()
    file(SIZE "${package}" size)
    if(NOT offset EQUAL size)
        message(FATAL_ERROR "${package} is not the ar archive of three files expected")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E cat ${parts} OUTPUT_FILE "${package}"
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
