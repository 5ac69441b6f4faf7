# cpack reads this before it makes each package (CPACK_PROJECT_CONFIG_FILE):
# the package holds the install component named after its generator, laid
# out in packaging.cmake.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_EXTREMES_BINARY_DIR};extremes;${CPACK_GENERATOR};/")
