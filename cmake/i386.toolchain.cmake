# 32-bit x86 (i386),
# built with the Debian cross compiler g++-i686-linux-gnu, run under qemu-i386-static.
set(TGAKIT_CROSS_TRIPLE i686-linux-gnu)
set(TGAKIT_CROSS_PROCESSOR i686)
set(TGAKIT_CROSS_QEMU i386)
set(TGAKIT_CROSS_LOADER ld-linux.so.2)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
