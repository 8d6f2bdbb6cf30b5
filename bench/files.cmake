# The client's keep path: a new file renamed over its name, without and with its syncs.
add_executable(filesBench ${CMAKE_CURRENT_SOURCE_DIR}/files.bench.cpp)
target_link_libraries(filesBench PRIVATE tgakit_fileio benchmark::benchmark)
tgakit_warnings(filesBench)
