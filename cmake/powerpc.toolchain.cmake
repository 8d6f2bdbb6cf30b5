# 32-bit big-endian PowerPC (powerpc),
# built with the Debian cross compiler g++-powerpc-linux-gnu, run under qemu-ppc-static.
set(TGAKIT_CROSS_TRIPLE powerpc-linux-gnu)
set(TGAKIT_CROSS_PROCESSOR powerpc)
set(TGAKIT_CROSS_QEMU ppc)
set(TGAKIT_CROSS_LOADER ld.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
