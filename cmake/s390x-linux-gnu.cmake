# Cross build of tavo for Linux on IBM Z (Debian's s390x), big-endian, tested under
# qemu-s390x-static.
#   cmake -S . -B build/s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TAVO_CROSS_TRIPLET s390x-linux-gnu)
set(TAVO_QEMU_ARCH s390x)
set(TAVO_DEB_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
