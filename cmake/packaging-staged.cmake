# cpack runs this once a package's files are installed in its staging folder
# (CPACK_PRE_BUILD_SCRIPTS). The files have the modes that install() gives
# them, whatever the umask, but the folders made on the way take their mode
# from the umask (0700 under umask 077, which lintian calls non-standard):
# the package's folders are 0755, whoever builds it.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# cpack writes SOURCE_DATE_EPOCH for every time in the .tar.gz, the .deb and
# the .zip, but rpmbuild takes each file's own: for the .rpm, the files and
# folders get that time here.
if(CPACK_GENERATOR STREQUAL "RPM")
    file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
    execute_process(COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} ${staged}
                    COMMAND_ERROR_IS_FATAL ANY)
endif()
