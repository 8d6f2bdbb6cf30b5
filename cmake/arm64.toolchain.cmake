# 64-bit little-endian ARM (arm64),
# built with the Debian cross compiler g++-aarch64-linux-gnu, run under qemu-aarch64-static.
set(TGAKIT_CROSS_TRIPLE aarch64-linux-gnu)
set(TGAKIT_CROSS_PROCESSOR aarch64)
set(TGAKIT_CROSS_QEMU aarch64)
set(TGAKIT_CROSS_LOADER ld-linux-aarch64.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
