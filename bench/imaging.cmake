# Benchmarks of the image file store, the image bank and sizeAnalyser (run by imaging.sh).

# In-process figures: readImage against one plain fread, readBankImage over a directory.
add_executable(imagingRead ${CMAKE_CURRENT_LIST_DIR}/imagingRead.bench.cpp)
target_link_libraries(imagingRead PRIVATE bankList imgfile benchmark::benchmark)
tgakit_warnings(imagingRead)

# Writes N images of W x H with the toolkit's writer.
add_executable(imagingMake ${CMAKE_CURRENT_LIST_DIR}/imagingMake.cpp)
target_link_libraries(imagingMake PRIVATE imgfile)
tgakit_warnings(imagingMake)

# Runs a command several times: best wall time and peak resident memory of the child.
add_executable(imagingMeasure ${CMAKE_CURRENT_LIST_DIR}/imagingMeasure.cpp)
tgakit_warnings(imagingMeasure)

# readImage against stb_image (Debian libstb-dev) for every TGA kind.
find_path(TGAKIT_STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb)
find_library(TGAKIT_STB_LIBRARY stb)
if(TGAKIT_STB_INCLUDE_DIR AND TGAKIT_STB_LIBRARY)
    add_executable(imagingKinds ${CMAKE_CURRENT_LIST_DIR}/imagingKinds.bench.cpp)
    target_include_directories(imagingKinds SYSTEM PRIVATE ${TGAKIT_STB_INCLUDE_DIR})
    target_link_libraries(imagingKinds PRIVATE imgfile benchmark::benchmark ${TGAKIT_STB_LIBRARY} m)
    tgakit_warnings(imagingKinds)
else()
    message(STATUS "stb_image not found (package libstb-dev): no imagingKinds benchmark")
endif()
