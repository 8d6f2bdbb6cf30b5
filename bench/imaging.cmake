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
