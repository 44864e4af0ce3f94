# Cross build of the 64-bit tavo.exe: a Windows console program (PE32+, x86-64), run
# under wine64, which needs no 32-bit support from the kernel.
#   cmake -S . -B build/windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVO_MINGW_TRIPLET x86_64-w64-mingw32)
set(TAVO_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
