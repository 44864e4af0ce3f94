#!/bin/bash
# Installs with apt-get what building and testing tavo needs and this machine lacks.
# Without root it installs nothing and says what is missing; `make test` then skips
# what cannot run. Debian package names.
#   install-deps.sh [demo]
# demo: only what building the Linux program needs (`make demo`), and an exit code
# of 1 while any of that is still missing.
set -uo pipefail

missing=()
need() {  # need PACKAGE TEST-COMMAND...
  local package=$1
  shift
  "$@" >/dev/null 2>&1 || missing+=("$package")
}
have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

build_only=0
[[ ${1:-} == demo ]] && build_only=1
need_build_tools() {
  need cmake command -v cmake
  need g++ command -v g++
  need make command -v make
}
need_build_tools
if ((!build_only)); then
  need googletest test -f /usr/src/googletest/CMakeLists.txt
  need g++-mingw-w64-i686-posix command -v i686-w64-mingw32-g++-posix
  need gcc-mingw-w64-i686-posix command -v i686-w64-mingw32-gcc-posix
  need g++-mingw-w64-x86-64-posix command -v x86_64-w64-mingw32-g++-posix
  need gcc-mingw-w64-x86-64-posix command -v x86_64-w64-mingw32-gcc-posix
  need wine command -v wine
  need wine32:i386 have_package wine32:i386
  need wine64 have_package wine64
  need tmux command -v tmux
  need strace command -v strace
  need fuse3 command -v fusermount3
  need libfuse3-dev test -f /usr/include/fuse3/fuse.h
  need pkg-config command -v pkg-config
  # GNU ddrescue and ddrescuelog, the peer tools that judge tavo's rescue maps.
  need gddrescue command -v ddrescuelog
  need clang command -v clang++
  need libclang-rt-14-dev have_package libclang-rt-14-dev
  need groff command -v groff
  need man-db command -v man
  # The Linux ports: Debian's cross compilers, and qemu-user to run what they build.
  need g++-aarch64-linux-gnu command -v aarch64-linux-gnu-g++
  need g++-arm-linux-gnueabihf command -v arm-linux-gnueabihf-g++
  need g++-riscv64-linux-gnu command -v riscv64-linux-gnu-g++
  need g++-s390x-linux-gnu command -v s390x-linux-gnu-g++
  need qemu-user-static command -v qemu-aarch64-static
  # What `make package` builds and checks the packages with.
  need dpkg-dev command -v dpkg-shlibdeps
  need lintian command -v lintian
  need devscripts command -v hardening-check
  need fakeroot command -v fakeroot
  need unzip command -v unzip
  # Result files and uncached reads: the schema check, charts rendered, the benchmark.
  need python3-jsonschema python3 -c 'import jsonschema'
  need librsvg2-bin command -v rsvg-convert
  need fio command -v fio
  need e2fsprogs command -v mkfs.ext4
fi

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi
echo "missing: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "not root: installing nothing. As root, or with: sudo apt-get install ${missing[*]}"
  exit $build_only
fi

export DEBIAN_FRONTEND=noninteractive
if [[ " ${missing[*]} " == *" wine32:i386 "* ]] &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture for wine32"
  dpkg --add-architecture i386
fi
echo "apt-get update"
apt-get update -q || echo "apt-get update failed; trying the install with the lists at hand"
echo "apt-get install ${missing[*]}"
install() { apt-get install -y -q --no-install-recommends "$@" </dev/null; }
# One package that cannot be had fails the whole list; then each is tried alone, so
# that everything else still comes.
if ! install "${missing[@]}"; then
  echo "apt-get install failed: trying each package alone"
  for package in "${missing[@]}"; do
    install "$package" >/dev/null 2>&1 || echo "could not install $package: what needs it will be skipped or will fail below"
  done
fi
if ((build_only)); then
  missing=()
  need_build_tools
  ((${#missing[@]} == 0)) || { echo "still missing: ${missing[*]}" && exit 1; }
fi
