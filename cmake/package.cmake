# CPack: the release build as a Debian package (tgakit_<version>_<arch>.deb, installed under
# /usr) and a tarball of the same tree under usr/local, to unpack at /.
#   cpack --preset release      (after cmake --preset release && cmake --build --preset release)
set(CPACK_PACKAGE_NAME tgakit)
set(CPACK_PACKAGE_VENDOR "the tgakit authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "tgakit sorts the TGA images of a directory into size classes (tgakit-sizeAnalyser), draws \
bar charts into new TGA files (tgakit-histoDemo), and lets two users chat over TCP with an \
image transfer on request (tgakit-server, tgakit-client). Its C++ modules (imgfile, \
bankList, chartPainter, textUtil, lineInput, client) are installed as static libraries with \
their headers, a CMake package and a pkg-config file.")
set(CPACK_PACKAGE_CONTACT "the tgakit authors <tgakit@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_FILE_NAME tgakit-${PROJECT_VERSION})
# The installed sizeAnalyser and tgakit.pc take the install prefix of the package, not of the
# staging folder: install with DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The licence, as Debian names it: /usr/share/doc/tgakit/copyright (installed by install.cmake).

# Per generator: the .deb installs under /usr, the tarball under the configured prefix.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackGenerators.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "
if(CPACK_GENERATOR STREQUAL \"DEB\")
    set(CPACK_INSTALL_PREFIX /usr)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
")
include(CPack)
