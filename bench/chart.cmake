# Chart rendering measured against one plain write of the same number of bytes.
add_executable(chart_bench ${CMAKE_CURRENT_SOURCE_DIR}/chart.bench.cpp)
target_link_libraries(chart_bench PRIVATE chartPainter benchmark::benchmark)
tgakit_warnings(chart_bench)
