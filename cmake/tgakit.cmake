# Helpers shared by every folder: one way to make each kind of target.
#   tgakit_add_module           an installed module library, exported as tgakit::<name>
#   tgakit_add_program          a program, installed as tgakit-<name>
#   tgakit_add_program_library  the logic of a program, linked by the program and its tests
#   tgakit_add_test             a GoogleTest binary, registered with CTest
# Installed names carry the tgakit prefix so that nothing lands in a shared bin/, lib/ or
# include/ under a generic name: bin/tgakit-<program>, lib/libtgakit_<module>.a,
# include/tgakit/<module>/<module>.h (consumers still write #include <<module>/<module>.h>).

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

# tgakit_add_module(<target> SOURCES ... [LINKS ...] [PRIVATE_LINKS ...] [EXPORT_NAME <name>])
# A module: static library libtgakit_<name>.a with header <name>/<name>.h, alias and exported
# target tgakit::<name>. <name> is the target's own name unless EXPORT_NAME gives another.
function(tgakit_add_module target)
    cmake_parse_arguments(ARG "" "EXPORT_NAME" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
    set(name ${target})
    if(ARG_EXPORT_NAME)
        set(name ${ARG_EXPORT_NAME})
    endif()
    add_library(${target} STATIC ${ARG_SOURCES})
    add_library(tgakit::${name} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${name} OUTPUT_NAME tgakit_${name})
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/tgakit>)
    # The module is built as C++20 (CMAKE_CXX_STANDARD); its installed header asks only C++17
    # of a consumer.
    target_compile_features(${target} PUBLIC cxx_std_17)
    # A private link to a build-only header library ($<BUILD_INTERFACE:tgakit_fileio>) is taken
    # as its compile usage alone: nothing to link, so nothing (no empty $<LINK_ONLY:>) in the
    # exported link interface. Other private links (an exported module) stay link dependencies.
    foreach(link IN LISTS ARG_PRIVATE_LINKS)
        if(link MATCHES "^\\$<BUILD_INTERFACE:(.+)>$")
            target_include_directories(${target} PRIVATE
                $<TARGET_PROPERTY:${CMAKE_MATCH_1},INTERFACE_INCLUDE_DIRECTORIES>)
            target_compile_definitions(${target} PRIVATE
                $<TARGET_PROPERTY:${CMAKE_MATCH_1},INTERFACE_COMPILE_DEFINITIONS>)
        else()
            target_link_libraries(${target} PRIVATE ${link})
        endif()
    endforeach()
    target_link_libraries(${target} PUBLIC ${ARG_LINKS})
    tgakit_warnings(${target})
    set_property(GLOBAL APPEND PROPERTY TGAKIT_EXPORTED_TARGETS ${target})
    set_property(GLOBAL APPEND PROPERTY TGAKIT_MODULES ${name})
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/${name}.h
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tgakit/${name})
endfunction()

# tgakit_add_program(<name> SOURCES ... [LINKS ...])
# A program: executable <name> in <build>/bin, installed as bin/tgakit-<name>. Its manual
# page man/tgakit-<name>.1 is installed with it.
function(tgakit_add_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
    tgakit_warnings(${name})
    install(PROGRAMS $<TARGET_FILE:${name}>
            DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tgakit-${name})
    # Stripped as Debian strips programs, when the install strips (cmake --install --strip,
    # and CPack, which strips the packages).
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                    --remove-section=.note --strip-unneeded
                                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tgakit-${name}\"
                            RESULT_VARIABLE _rc)
            if(NOT _rc EQUAL 0)
                message(FATAL_ERROR \"could not strip tgakit-${name}\")
            endif()
        endif()")
    set_property(GLOBAL APPEND PROPERTY TGAKIT_PROGRAMS ${name})
endfunction()

# tgakit_add_program_library(<program> SOURCES ... [LINKS ...])
# The logic of a program as the internal static library <program>_lib (never installed), so
# that its tests call it without running main.
function(tgakit_add_program_library program)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${program}_lib STATIC ${ARG_SOURCES})
    target_include_directories(${program}_lib PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_features(${program}_lib PUBLIC cxx_std_20)
    target_link_libraries(${program}_lib PUBLIC ${ARG_LINKS})
    tgakit_warnings(${program}_lib)
endfunction()

# tgakit_add_test(<name> SOURCES ... [LINKS ...] [DEPENDS ...] [PROPERTIES ...])
# One GoogleTest binary per folder, registered with CTest; DEPENDS names the programs it runs.
# Does nothing unless the tests are built (top-level build with BUILD_TESTING).
function(tgakit_add_test name)
    if(NOT TGAKIT_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;DEPENDS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} tgakit_testsupport GTest::gtest_main)
    tgakit_warnings(${name})
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    # Tests are listed when CTest runs, not at build time: a build whose binaries cannot run
    # here (a 32-bit build on a kernel without 32-bit support) still builds.
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 60 ${ARG_PROPERTIES})
endfunction()
