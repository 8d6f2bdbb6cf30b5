# 64-bit big-endian IBM Z (s390x),
# built with the Debian cross compiler g++-s390x-linux-gnu, run under qemu-s390x-static.
set(TGAKIT_CROSS_TRIPLE s390x-linux-gnu)
set(TGAKIT_CROSS_PROCESSOR s390x)
set(TGAKIT_CROSS_QEMU s390x)
set(TGAKIT_CROSS_LOADER ld64.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
