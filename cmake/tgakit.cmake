# Helpers shared by every folder: warnings, module and program targets, test binaries.

# Warning set for the project's own targets (never propagated to consumers).
function(tgakit_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
        -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wnull-dereference
        -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
    if(TGAKIT_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# tgakit_add_module(<name> SOURCES ... [LINKS ...])
# A module: static library <name>, header <name>/<name>.h, alias tgakit::<name>,
# installed and exported in the tgakit package.
function(tgakit_add_module name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    add_library(tgakit::${name} ALIAS ${name})
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_compile_features(${name} PUBLIC cxx_std_20)
    if(ARG_LINKS)
        target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    endif()
    tgakit_warnings(${name})
    set_property(GLOBAL APPEND PROPERTY TGAKIT_EXPORTED_TARGETS ${name})
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/${name}.h
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${name})
endfunction()

# tgakit_add_program(<name> SOURCES ... [LINKS ...])
# A program: executable <name> in <build>/bin, installed in bin.
function(tgakit_add_program name)
    cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
    if(ARG_OUTPUT_NAME)
        set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
    endif()
    tgakit_warnings(${name})
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# tgakit_add_test(<name> SOURCES ... [LINKS ...] [PROPERTIES ...])
# One GoogleTest binary per folder, registered with CTest (top-level builds only).
function(tgakit_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} tgakit_testsupport GTest::gtest_main)
    tgakit_warnings(${name})
    # Tests are listed when CTest runs, not at build time: a build whose binaries cannot run
    # here (a 32-bit build on a kernel without 32-bit support) still builds.
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 60 ${ARG_PROPERTIES})
endfunction()
