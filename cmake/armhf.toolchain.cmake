# 32-bit little-endian ARM (armhf, hard float),
# built with the Debian cross compiler g++-arm-linux-gnueabihf, run under qemu-arm-static.
set(TGAKIT_CROSS_TRIPLE arm-linux-gnueabihf)
set(TGAKIT_CROSS_PROCESSOR arm)
set(TGAKIT_CROSS_QEMU arm)
set(TGAKIT_CROSS_LOADER ld-linux-armhf.so.3)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
