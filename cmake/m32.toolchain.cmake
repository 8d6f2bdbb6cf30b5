# 32-bit x86 Linux on a 64-bit Debian host with g++-multilib: same compiler, -m32 everywhere.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
# Look for libraries in the 32-bit folders first, never pick up a 64-bit archive.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB64_PATHS OFF)
set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB32_PATHS ON)

# After project(): refuse to go on if the compiler did not really target 32 bits.
set(CMAKE_PROJECT_tgakit_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/m32.check.cmake)
