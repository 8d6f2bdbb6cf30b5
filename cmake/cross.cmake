# Shared part of the cross toolchain files (cmake/<arch>.toolchain.cmake): a Debian cross
# compiler g++-<triple> (package g++-<triple>), its libraries in /usr/<triple>, and qemu-user
# (package qemu-user-static) to run what it builds. Each toolchain file sets
#   TGAKIT_CROSS_TRIPLE     the GNU triple, e.g. arm-linux-gnueabihf
#   TGAKIT_CROSS_PROCESSOR  CMAKE_SYSTEM_PROCESSOR, e.g. arm
#   TGAKIT_CROSS_QEMU       the qemu-user name, e.g. arm (runs as /usr/bin/qemu-arm-static)
#   TGAKIT_CROSS_LOADER     the dynamic loader's file name in /usr/<triple>/lib
# and includes this file.
#
# The programs name the cross loader by its full path and find their shared libraries in
# /usr/<triple>/lib (run path), so they start without QEMU_LD_PREFIX and without the target's
# libraries in the host's /lib: under CTest through CMAKE_CROSSCOMPILING_EMULATOR, and when a
# test spawns one, through the kernel's binfmt_misc entry for the architecture (.ci/emulate).
# Such programs are for testing on this machine, not for installing elsewhere.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${TGAKIT_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${TGAKIT_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${TGAKIT_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TGAKIT_CROSS_TRIPLE})

# Notes that an ABI changed in an old compiler release (armhf) say nothing about this code.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)

set(_sysroot_lib /usr/${TGAKIT_CROSS_TRIPLE}/lib)
if(NOT EXISTS ${_sysroot_lib}/${TGAKIT_CROSS_LOADER})
    message(FATAL_ERROR "no ${_sysroot_lib}/${TGAKIT_CROSS_LOADER}: "
                        "is g++-${TGAKIT_CROSS_TRIPLE} installed?")
endif()
# An old-style run path (RPATH, not RUNPATH): it also serves the libraries' own dependencies.
# An old-style run path (RPATH, not RUNPATH): it also serves the libraries' own dependencies.
set(_run_flags "-Wl,--dynamic-linker=${_sysroot_lib}/${TGAKIT_CROSS_LOADER} -Wl,--disable-new-dtags,-rpath,${_sysroot_lib}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_run_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--disable-new-dtags,-rpath,${_sysroot_lib}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-Wl,--disable-new-dtags,-rpath,${_sysroot_lib}")

find_program(TGAKIT_CROSS_EMULATOR qemu-${TGAKIT_CROSS_QEMU}-static
             PATHS /usr/bin NO_DEFAULT_PATH)
if(TGAKIT_CROSS_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TGAKIT_CROSS_EMULATOR})
endif()

# Only the target's own libraries and headers; programs (cmake, pkg-config) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TGAKIT_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
