# Script run by CTest: install, configure the consumer, build it, run it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(step)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "step failed (${rc}): ${ARGN}\n${out}")
    endif()
endfunction()

if(CONFIG)
    step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --config ${CONFIG})
else()
    step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()
string(REPLACE "," ";" modules "${MODULES}")
step(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
     -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX}
     "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
     "-DTGAKIT_MODULES=${MODULES}")
step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
step(${WORK_DIR}/build/consumer)
foreach(m IN LISTS modules)
    if(NOT EXISTS ${prefix}/include/${m}/${m}.h)
        message(FATAL_ERROR "header ${m}/${m}.h was not installed")
    endif()
endforeach()
