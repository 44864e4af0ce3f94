#!/bin/bash
# Checks that a Windows program is a PE32 console program for i386 and imports only
# DLLs that come with Windows (no libstdc++, libgcc or winpthread DLL to ship).
#   check_pe.sh OBJDUMP PROGRAM.exe
set -euo pipefail

objdump=$1
exe=$2

# u16/u32 OFFSET: little-endian unsigned values read from the file.
u16() { od -An -tu2 -j "$1" -N 2 --endian=little "$exe" | tr -d ' '; }
u32() { od -An -tu4 -j "$1" -N 4 --endian=little "$exe" | tr -d ' '; }

status=0
check() {  # check WHAT ACTUAL EXPECTED
  if [[ $2 != "$3" ]]; then
    echo "$1: $2, expected $3"
    status=1
  fi
}

check "DOS signature" "$(head -c 2 "$exe")" MZ
pe=$(u32 60)
check "PE signature" "$(u32 "$pe")" 17744              # "PE\0\0"
check "machine" "$(u16 $((pe + 4)))" 332                # 0x14c, Intel 386
optional=$((pe + 24))
check "optional header magic" "$(u16 $optional)" 267     # 0x10b, PE32
check "subsystem" "$(u16 $((optional + 68)))" 3         # Windows console

allowed=" kernel32.dll user32.dll msvcrt.dll advapi32.dll ntdll.dll "
while read -r dll; do
  if [[ $allowed != *" ${dll,,} "* ]]; then
    echo "imports $dll, which Windows does not provide"
    status=1
  fi
done < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')

[[ $status -eq 0 ]] && echo "$(basename "$exe"): PE32 console program, i386, system DLLs only"
exit $status
