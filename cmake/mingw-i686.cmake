# Cross build of the 32-bit tavo.exe: a Windows console program (PE32, i386), run
# under wine's 32-bit loader.
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAVO_MINGW_TRIPLET i686-w64-mingw32)
set(TAVO_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
