# cpack runs this once a package's files are installed in its staging folder
# (CPACK_PRE_BUILD_SCRIPTS). The files have the modes that install() gives
# them, whatever the umask, but the folders made on the way take their mode
# from the umask (0700 under umask 077, which lintian calls non-standard):
# the package's folders are 0755, whoever builds it.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
