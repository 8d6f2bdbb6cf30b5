# CPack: the release build as a tarball, tgakit-<version>.tar.gz, a bin/ lib/ share/ tree that
# works wherever it is unpacked. (The Debian packages are built from debian/ by
# dpkg-buildpackage.)
#   cpack --preset release      (after cmake --preset release && cmake --build --preset release)
set(CPACK_PACKAGE_NAME tgakit)
set(CPACK_PACKAGE_VENDOR "the tgakit authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TGA image size classes, bar charts and a chat")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_FILE_NAME tgakit-${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Programs and libraries without their debugging symbols.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR TGZ)
include(CPack)
