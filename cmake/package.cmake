# CPack: the release build as a tarball (tgakit-<version>.tar.gz, a bin/ lib/ share/ tree that
# works wherever it is unpacked), and the package build (prefix /usr) as a Debian package,
# tgakit_<version>_<arch>.deb, with its libraries in the multiarch directory.
#   cpack --preset release      (after cmake --preset release && cmake --build --preset release)
#   cmake --workflow --preset package
set(TGAKIT_MAINTAINER "Seed 705e2c7e maintainers <maintainers@users.noreply.c-seed-705e2c7e.example>"
    CACHE STRING "Maintainer of the Debian package, \"Name <address>\"")
set(CPACK_PACKAGE_NAME tgakit)
set(CPACK_PACKAGE_VENDOR "the tgakit authors")
# The package's one-line synopsis, and the extended description in lines Debian shows whole.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TGA image size classes, bar charts and a chat")
set(CPACK_PACKAGE_DESCRIPTION
    "tgakit sorts the TGA images of a directory into size classes
(tgakit-sizeAnalyser), draws bar charts into new TGA files (tgakit-histoDemo),
and lets two users chat over TCP with an image transfer on request
(tgakit-server, tgakit-client).

Its C++ modules (imgfile, bankList, chartPainter, textUtil, lineInput, client)
are installed as static libraries with their headers, a CMake package and a
pkg-config file.")
set(CPACK_PACKAGE_CONTACT "${TGAKIT_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_FILE_NAME tgakit-${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Programs and libraries without their debugging symbols, as Debian ships them.
set(CPACK_STRIP_FILES ON)
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr/?$")
    set(CPACK_GENERATOR DEB)
else()
    set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The licence, as Debian names it: /usr/share/doc/tgakit/copyright (installed by install.cmake),
# and the changelog, whose latest entry must be this version.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/changelog _latest LIMIT_COUNT 1)
if(NOT _latest MATCHES "^tgakit \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/changelog: the latest entry is not version ${PROJECT_VERSION}: ${_latest}")
endif()
include(CPack)
