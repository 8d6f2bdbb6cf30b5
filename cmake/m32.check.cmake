# Included right after project(tgakit) in the -m32 build: the toolchain must give 4-byte pointers.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    message(FATAL_ERROR "the m32 build targets ${CMAKE_SIZEOF_VOID_P}-byte pointers, not 4: "
                        "is g++-multilib installed?")
endif()
