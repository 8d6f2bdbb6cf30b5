# Script run by CTest: install to a scratch prefix (the libraries in its LIBDIR, the directory
# the build was configured with: lib/ or a multiarch lib/<triplet>), then pack the
# build as its tarball and unpack that into a fresh directory, where every program runs and both
# consumers build, the tree having never been installed there.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/run ${WORK_DIR}/mine ${WORK_DIR}/unpacked)

function(step)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "step failed (${rc}): ${ARGN}\n${out}")
    endif()
endfunction()

# Runs the installed sizeAnalyser with the thresholds "-1" and checks its whole output.
function(expect_analysis expected)
    file(WRITE ${WORK_DIR}/thresholds "-1\n")
    execute_process(COMMAND ${prefix}/bin/tgakit-sizeAnalyser ${ARGN}
                    WORKING_DIRECTORY ${WORK_DIR}
                    INPUT_FILE ${WORK_DIR}/thresholds
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    # Size lines come in the directory's own order.
    string(REGEX MATCHALL "p->size is [0-9]+\n" sizes "${out}")
    list(SORT sizes)
    string(REGEX REPLACE "p->size is [0-9]+\n" "" rest "${out}")
    list(JOIN sizes "" sorted)
    if(NOT rc EQUAL 0 OR NOT err STREQUAL "" OR NOT "${sorted}${rest}" STREQUAL "${expected}")
        message(FATAL_ERROR "tgakit-sizeAnalyser ${ARGN}: status ${rc}, stderr [${err}], "
                            "stdout (sizes sorted):\n${sorted}${rest}\nexpected:\n${expected}")
    endif()
endfunction()

set(prefix ${WORK_DIR}/installed)
if(CONFIG)
    step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --config ${CONFIG})
    step(${CPACK} -G TGZ -C ${CONFIG} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/cpack)
else()
    step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
    step(${CPACK} -G TGZ --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/cpack)
endif()
foreach(f ${LIBDIR}/libtgakit_imgfile.a ${LIBDIR}/pkgconfig/tgakit.pc)
    if(NOT EXISTS ${prefix}/${f})
        message(FATAL_ERROR "cmake --install --prefix P: no P/${f}")
    endif()
endforeach()
# The exported targets name each include directory once and no empty link entry.
file(READ ${prefix}/${LIBDIR}/cmake/tgakit/tgakitTargets.cmake targets)
if(targets MATCHES "LINK_ONLY:>" OR targets MATCHES "include/tgakit;[^\n]*include/tgakit")
    message(FATAL_ERROR "tgakitTargets.cmake: an empty link entry or a repeated include directory")
endif()
file(GLOB tarball ${WORK_DIR}/cpack/*.tar.gz)
step(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/unpacked ${CMAKE_COMMAND} -E tar xzf ${tarball})
set(prefix ${WORK_DIR}/unpacked)

# Every program starts from there: matrixDemo and histoDemo do their work, server and client
# (no arguments) refuse with their usage; sizeAnalyser is checked below.
foreach(program matrixDemo histoDemo)
    step(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/run ${prefix}/bin/tgakit-${program})
endforeach()
if(NOT EXISTS ${WORK_DIR}/run/test.tga)
    message(FATAL_ERROR "the unpacked histoDemo wrote no test.tga")
endif()
foreach(program server client)
    execute_process(COMMAND ${prefix}/bin/tgakit-${program} RESULT_VARIABLE rc
                    OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 1 OR NOT err MATCHES "^Usage : ")
        message(FATAL_ERROR "unpacked tgakit-${program}: status ${rc}, stderr [${err}]")
    endif()
endforeach()

# find_package: every component found and linked; a missing one is named.
set(configure ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
step(${configure} -B ${WORK_DIR}/build)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
execute_process(COMMAND ${WORK_DIR}/build/consumer WORKING_DIRECTORY ${WORK_DIR}/run
                RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "find_package consumer failed (${rc}): ${err}")
endif()
execute_process(COMMAND ${configure} -B ${WORK_DIR}/build-missing -DTGAKIT_EXTRA_COMPONENTS=nosuch
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0 OR NOT out MATCHES "tgakit has no component \"nosuch\"")
    message(FATAL_ERROR "a missing component was not reported (${rc}):\n${out}")
endif()

# pkg-config: the same program compiled and linked by hand.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs tgakit
                RESULT_VARIABLE rc OUTPUT_VARIABLE pc ERROR_VARIABLE err
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config --cflags --libs tgakit failed: ${err}")
endif()
separate_arguments(pc UNIX_COMMAND "${pc}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
step(${CXX} ${cxx_flags} -std=c++17 ${CONSUMER_DIR}/main.cpp -o ${WORK_DIR}/consumer_pc ${pc}
     ${link_flags})
file(REMOVE_RECURSE ${WORK_DIR}/run)
file(MAKE_DIRECTORY ${WORK_DIR}/run)
execute_process(COMMAND ${WORK_DIR}/consumer_pc WORKING_DIRECTORY ${WORK_DIR}/run
                RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config consumer failed (${rc}): ${err}")
endif()

# The unpacked sizeAnalyser analyses the samples beside it (here without the 800x600 one, so
# a program still reading the build's samples would show), or the directory it is given.
set(images ${prefix}/share/tgakit/images)
file(COPY ${images}/100x100.tga DESTINATION ${WORK_DIR}/mine)
file(REMOVE ${images}/800x600.tga)
expect_analysis("p->size is 0\np->size is 0\np->size is 1\np->size is 230\np->size is 30\n\
p->size is 921\nThe Maximum size is 921, and the minimum size is 0\n\
Please input the size and terminted with -1\nmaxi is 0\nIn the set < 921, there are 6 images\n")
expect_analysis("p->size is 30\nThe Maximum size is 30, and the minimum size is 30\n\
Please input the size and terminted with -1\nmaxi is 0\nIn the set < 30, there are 1 images\n"
                ${WORK_DIR}/mine)
