# The client's keep path: a new file renamed over its name, without and with its syncs.
add_executable(files_bench ${CMAKE_CURRENT_SOURCE_DIR}/files.bench.cpp)
target_link_libraries(files_bench PRIVATE tgakit_fileio benchmark::benchmark)
tgakit_warnings(files_bench)
