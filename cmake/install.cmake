# The exported CMake package `tgakit`: every module registered by tgakit_add_module.
include(CMakePackageConfigHelpers)

get_property(_tgakit_targets GLOBAL PROPERTY TGAKIT_EXPORTED_TARGETS)
if(_tgakit_targets)
    install(TARGETS ${_tgakit_targets}
            EXPORT tgakitTargets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(EXPORT tgakitTargets
            NAMESPACE tgakit::
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tgakit)
endif()

configure_package_config_file(
    ${PROJECT_SOURCE_DIR}/cmake/tgakitConfig.cmake.in
    ${PROJECT_BINARY_DIR}/tgakitConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tgakit)
write_basic_package_version_file(
    ${PROJECT_BINARY_DIR}/tgakitConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tgakitConfig.cmake
              ${PROJECT_BINARY_DIR}/tgakitConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tgakit)
