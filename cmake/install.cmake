# What `cmake --install` puts under the prefix, besides the programs, libraries, headers and
# sample images that the folders install:
#   lib/cmake/tgakit/       the CMake package tgakit, one component per module
#   lib/pkgconfig/tgakit.pc the same modules for pkg-config
# (lib is the multiarch lib/<triplet> where GNUInstallDirs gives it: prefix /usr on Debian)
#   share/man/man1, man3    the manual pages
#   share/doc/tgakit/       LICENSE, README.md
include(CMakePackageConfigHelpers)

get_property(_tgakit_targets GLOBAL PROPERTY TGAKIT_EXPORTED_TARGETS)
get_property(TGAKIT_MODULES GLOBAL PROPERTY TGAKIT_MODULES)
install(TARGETS ${_tgakit_targets}
        EXPORT tgakitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT tgakitTargets
        NAMESPACE tgakit::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tgakit)

configure_package_config_file(
    ${PROJECT_SOURCE_DIR}/cmake/tgakitConfig.cmake.in
    ${PROJECT_BINARY_DIR}/tgakitConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tgakit)
# 0.x: a minor release may change the interfaces, so only the same minor version matches.
write_basic_package_version_file(
    ${PROJECT_BINARY_DIR}/tgakitConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tgakitConfig.cmake
              ${PROJECT_BINARY_DIR}/tgakitConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tgakit)

# pkg-config: every module's library, dependents before what they link (bankList before
# imgfile). The prefix is found from the file's own place (${pcfiledir}), so the installed tree
# can move: an unpacked tarball works wherever it lies.
set(_pc_libs "")
foreach(m IN LISTS TGAKIT_MODULES)
    list(PREPEND _pc_libs -ltgakit_${m})
endforeach()
list(JOIN _pc_libs " " TGAKIT_PC_LIBS)
cmake_path(RELATIVE_PATH CMAKE_INSTALL_PREFIX BASE_DIRECTORY "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig"
           OUTPUT_VARIABLE TGAKIT_PC_UP)
string(REGEX REPLACE "/$" "" TGAKIT_PC_UP "${TGAKIT_PC_UP}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tgakit.pc.in ${PROJECT_BINARY_DIR}/tgakit.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tgakit.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Manual pages, compressed as Debian ships them: one per installed program, and tgakit(3).
get_property(_programs GLOBAL PROPERTY TGAKIT_PROGRAMS)
set(_pages "")
foreach(p IN LISTS _programs)
    list(APPEND _pages tgakit-${p}.1)
endforeach()
list(APPEND _pages tgakit.3)
foreach(page IN LISTS _pages)
    set(_src ${PROJECT_SOURCE_DIR}/man/${page})
    if(NOT EXISTS ${_src})
        message(FATAL_ERROR "no manual page man/${page}")
    endif()
    set(_gz ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${_gz}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                       COMMAND gzip -9n -c ${_src} > ${_gz}
                       DEPENDS ${_src} VERBATIM)
    list(APPEND _gzipped ${_gz})
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" _section ${page})
    install(FILES ${_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
add_custom_target(tgakit_man ALL DEPENDS ${_gzipped})

# The licence and the README. (A Debian package takes its changelog and copyright from debian/.)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
