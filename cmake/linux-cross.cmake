# What the Linux cross builds share; the toolchain file of each sets
# CMAKE_SYSTEM_PROCESSOR, TAVO_CROSS_TRIPLET (Debian's name for the target, that of
# its compilers and of its libraries under /usr), TAVO_QEMU_ARCH and TAVO_DEB_ARCH
# (the package's architecture), then includes this. Compilers are Debian's cross g++ (g++-<triplet with dashes>); every program
# CMake or CTest runs is run by qemu-user-static, with the target's libraries for
# root, so no binfmt registration is needed.
set(CMAKE_SYSTEM_NAME Linux)

find_program(CMAKE_C_COMPILER NAMES ${TAVO_CROSS_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TAVO_CROSS_TRIPLET}-g++ REQUIRED)

# Headers and libraries come from the target's tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVO_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${TAVO_QEMU_ARCH}-static -L /usr/${TAVO_CROSS_TRIPLET})
