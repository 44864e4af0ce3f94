# Cross build of tavo for Linux on 32-bit ARM with hardware floating point (Debian's
# armhf), tested under qemu-arm-static.
#   cmake -S . -B build/armhf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TAVO_CROSS_TRIPLET arm-linux-gnueabihf)
set(TAVO_QEMU_ARCH arm)
set(TAVO_DEB_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
