# GoogleTest built inside this tree from its sources, for builds whose target (a cross build)
# has no matching prebuilt libgtest. Provides GTest::gtest and GTest::gtest_main.
if(NOT EXISTS ${TGAKIT_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "TGAKIT_GTEST_FROM_SOURCE: no GoogleTest sources in "
                        "${TGAKIT_GTEST_SOURCE_DIR} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
# EXCLUDE_FROM_ALL: only what the test binaries link gets built, and nothing is installed.
add_subdirectory(${TGAKIT_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
foreach(t IN ITEMS GTest::gtest GTest::gtest_main)
    if(NOT TARGET ${t})
        message(FATAL_ERROR "GoogleTest sources did not define ${t}")
    endif()
endforeach()
