# What `cmake --install` puts under the prefix, besides the programs, libraries, headers and
# sample images that the folders install:
#   lib/cmake/tgakit/       the CMake package tgakit, one component per module
#   lib/pkgconfig/tgakit.pc the same modules for pkg-config
#   share/man/man1, man3    the manual pages
#   share/doc/tgakit/       LICENSE, copyright (the same licence, Debian's format), README.md
include(CMakePackageConfigHelpers)

get_property(_tgakit_targets GLOBAL PROPERTY TGAKIT_EXPORTED_TARGETS)
get_property(TGAKIT_MODULES GLOBAL PROPERTY TGAKIT_MODULES)
install(TARGETS ${_tgakit_targets}
        EXPORT tgakitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tgakit)
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
# imgfile). Written at install time so that its prefix is the one installed to.
set(_pc_libs "")
foreach(m IN LISTS TGAKIT_MODULES)
    list(PREPEND _pc_libs -ltgakit_${m})
endforeach()
list(JOIN _pc_libs " " TGAKIT_PC_LIBS)
set(TGAKIT_PC_PREFIX @TGAKIT_PC_PREFIX@)  # kept for the install-time pass
configure_file(${PROJECT_SOURCE_DIR}/cmake/tgakit.pc.in ${PROJECT_BINARY_DIR}/tgakit.pc.in @ONLY)
install(CODE "
    set(TGAKIT_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_BINARY_DIR}/tgakit.pc.in\" \"${PROJECT_BINARY_DIR}/tgakit.pc\" @ONLY)")
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

# The licence also in Debian's machine-readable copyright format, where packages name it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/cmake/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
