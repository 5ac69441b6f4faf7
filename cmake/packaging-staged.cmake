# cpack runs this once a package's files are installed in its staging folder
# (CPACK_PRE_BUILD_SCRIPTS). The files have the modes that install() gives
# them, whatever the umask, but the folders made on the way take their mode
# from the umask (0700 under umask 077, which lintian calls non-standard),
# CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS set or not (CMake 3.25): the
# package's folders are 0755, whoever builds it.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Every file and folder staged gets SOURCE_DATE_EPOCH for its time, which
# the tools that pack them then record. dpkg-deb and rpmbuild
# (%clamp_mtime_to_source_date_epoch) would only bring a later time down to
# it: a file that install() copied from a checkout made before the last
# commit, with the time it was checked out, or a program built before it,
# would keep its own, and a fresh clone's build would differ. Info-ZIP's zip
# takes each file's time and has no setting for it at all.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
execute_process(COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} ${staged}
                COMMAND_ERROR_IS_FATAL ANY)
