# Cross build of tavo for Linux on 64-bit ARM (Debian's arm64), tested under
# qemu-aarch64-static.
#   cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TAVO_CROSS_TRIPLET aarch64-linux-gnu)
set(TAVO_QEMU_ARCH aarch64)
set(TAVO_DEB_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
