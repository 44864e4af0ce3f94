#!/bin/bash
# Whether a program built for a Linux port starts here under qemu-user-static:
#   qemu-probe.sh TRIPLET QEMU_ARCH
# Exit code 0 when it does; otherwise 1 and one line that says what is missing. The
# program started is the target's own dynamic loader, which runs alone.
set -uo pipefail
triplet=$1 arch=$2
command -v "$triplet-g++" >/dev/null || { echo "$triplet-g++ is not installed" && exit 1; }
command -v "qemu-$arch-static" >/dev/null ||
  { echo "qemu-$arch-static (qemu-user-static) is not installed" && exit 1; }
loaders=(/usr/"$triplet"/lib/ld*.so*)
[[ -e ${loaders[0]} ]] || { echo "no C library for $triplet in /usr/$triplet" && exit 1; }
if ! out=$("qemu-$arch-static" -L "/usr/$triplet" "${loaders[0]}" --version 2>&1); then
  echo "qemu-$arch-static cannot start a program here: $(head -1 <<<"$out")"
  exit 1
fi
