# Cross build of tavo for Linux on 64-bit RISC-V (Debian's riscv64), tested under
# qemu-riscv64-static.
#   cmake -S . -B build/riscv64 -DCMAKE_TOOLCHAIN_FILE=cmake/riscv64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(TAVO_CROSS_TRIPLET riscv64-linux-gnu)
set(TAVO_QEMU_ARCH riscv64)
set(TAVO_DEB_ARCH riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
