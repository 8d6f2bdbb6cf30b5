# Chart rendering measured against one plain write of the same number of bytes.
add_executable(chartBench ${CMAKE_CURRENT_SOURCE_DIR}/chart.bench.cpp)
target_link_libraries(chartBench PRIVATE chartPainter benchmark::benchmark)
tgakit_warnings(chartBench)
