# Benchmarks of the image file store, the image bank and sizeAnalyser (run by imaging.sh).

# In-process figures: readImage against one plain fread, readBankImage over a directory.
add_executable(imaging_read ${CMAKE_CURRENT_LIST_DIR}/imaging_read.bench.cpp)
target_link_libraries(imaging_read PRIVATE bankList imgfile benchmark::benchmark)
tgakit_warnings(imaging_read)

# Writes N images of W x H with the toolkit's writer.
add_executable(imaging_make ${CMAKE_CURRENT_LIST_DIR}/imaging_make.cpp)
target_link_libraries(imaging_make PRIVATE imgfile)
tgakit_warnings(imaging_make)

# Runs a command several times: best wall time and peak resident memory of the child.
add_executable(imaging_measure ${CMAKE_CURRENT_LIST_DIR}/imaging_measure.cpp)
tgakit_warnings(imaging_measure)

# sizeAnalyser itself, analysing a fixed directory that imaging.sh links to its data.
add_executable(imaging_sizeAnalyser ${PROJECT_SOURCE_DIR}/sizeAnalyser/main.cpp
                                    ${PROJECT_SOURCE_DIR}/sizeAnalyser/imagesDir.cpp)
target_link_libraries(imaging_sizeAnalyser PRIVATE sizeAnalyser_lib tgakit_stdstreams)
target_compile_definitions(imaging_sizeAnalyser PRIVATE
                           SIZE_ANALYSER_IMAGES_DIR="${PROJECT_BINARY_DIR}/imaging-bench/hd")
tgakit_warnings(imaging_sizeAnalyser)

# readImage against stb_image (Debian libstb-dev) for every TGA kind.
find_path(TGAKIT_STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb)
find_library(TGAKIT_STB_LIBRARY stb)
if(TGAKIT_STB_INCLUDE_DIR AND TGAKIT_STB_LIBRARY)
    add_executable(imaging_kinds ${CMAKE_CURRENT_LIST_DIR}/imaging_kinds.bench.cpp)
    target_include_directories(imaging_kinds SYSTEM PRIVATE ${TGAKIT_STB_INCLUDE_DIR})
    target_link_libraries(imaging_kinds PRIVATE imgfile benchmark::benchmark ${TGAKIT_STB_LIBRARY} m)
    tgakit_warnings(imaging_kinds)
else()
    message(STATUS "stb_image not found (package libstb-dev): no imaging_kinds benchmark")
endif()
