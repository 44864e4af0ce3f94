#!/bin/bash
# A Windows program must be a console program of the expected machine that imports
# only DLLs that come with Windows (no libstdc++, libgcc or winpthread DLL to ship),
# loaded at a random base (64-bit: with high-entropy addresses) with data not
# executable.
#   check_pe.sh OBJDUMP PROGRAM.exe i686|x86_64
set -uo pipefail
case $3 in
  i686) wanted=("file format pei-i386" "(PE32)") ;;
  x86_64) wanted=("file format pei-x86-64" "(PE32+)" HIGH_ENTROPY_VA) ;;
  *) echo "unknown machine $3" && exit 2 ;;
esac
status=0 headers=$("$1" -p "$2") || exit 1
for want in "${wanted[@]}" "(Windows CUI)" DYNAMIC_BASE NX_COMPAT; do
  grep -qF -- "$want" <<<"$headers" || { echo "not $want" && status=1; }
done
for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers"); do
  [[ " kernel32.dll user32.dll msvcrt.dll advapi32.dll ntdll.dll " == *" ${dll,,} "* ]] ||
    { echo "imports $dll, which Windows does not provide" && status=1; }
done
exit $status
