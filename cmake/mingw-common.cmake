# What both Windows cross builds share; the toolchain file of each sets
# TAVO_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR and TAVO_WINE_ARCH, then includes this.
# Compilers are mingw-w64's posix-thread ones; every program CMake or CTest runs is
# run under wine.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${TAVO_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TAVO_MINGW_TRIPLET}-g++-posix REQUIRED)

# Headers and libraries come from the mingw-w64 tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable of the build, tests and probes included, needs no DLL beyond the
# system's (no libstdc++, libgcc or winpthread DLL), so wine or Windows runs it as is.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# wine with a prefix of this build tree's own, made once on first use (see the
# script), quiet, and with no Mono or Gecko installer prompts.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${TAVO_WINE_ARCH} ${CMAKE_BINARY_DIR}/wineprefix)
