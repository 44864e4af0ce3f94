#!/bin/bash
# tavo on a whole block device: a loop device over a file whose size is whole sectors
# but not whole 32 KiB requests. The device is read uncached (O_DIRECT), copies are
# byte-identical, the last request comes back short, and requests that are not whole
# sectors fail with 87 as on a Windows disk. Needs root and a free loop device; where
# either is missing it says so and counts as skipped (exit code 77).
#   run_loop_device_tests.sh /PATH/TO/tavo
set -uo pipefail

program=$1
skip() { echo "SKIPPED: the loop-device tests: $*" && exit 77; }
[[ $(id -u) -eq 0 ]] || skip "they need root to make a loop device"
command -v losetup >/dev/null || skip "losetup (util-linux) is not installed"
work=$(mktemp -d)
device=
cleanup() {
  [[ -n $device ]] && losetup -d "$device"
  rm -rf "$work"
}
trap cleanup EXIT
disk_bytes=$((3 * 1048576 + 5 * 512))
head -c $disk_bytes /dev/urandom >"$work/disk"
device=$(losetup -f --show "$work/disk" 2>"$work/losetup.err") ||
  skip "losetup could not make a loop device: $(<"$work/losetup.err")"
cd "$work" || exit 1

failures=0
fail() { echo "FAILED: $*" && failures=$((failures + 1)); }
# tavo ARG...: stdout in $work/out with CR removed, the exit code in $code.
tavo() {
  "$program" "$@" </dev/null | tr -d '\r' >out
  code=${PIPESTATUS[0]}
}
expect_line() {
  grep -qxF "$1" out || { fail "tavo ${*:2}: no line \"$1\"" && cat out; }
}

size_line="File size: $disk_bytes bytes (3074.5 Kb) (3.00 Mb)"
for size in "" /512; do
  rm -f copy
  tavo "$device" copy $size
  [[ $code -eq 0 ]] || fail "tavo $device copy $size: exit code $code"
  expect_line "$size_line" "$device" copy $size
  expect_line "Read: $disk_bytes bytes (3074.5 Kb) (3.00 Mb)" "$device" copy $size
  cmp -s copy disk || fail "tavo $device copy $size: the copy differs from the device"
done

# A resumed copy starts at the output's length rounded down to a sector, which is a
# whole-sector offset on the device too.
truncate -s 1000000 copy
tavo "$device" copy
expect_line "   resume downloading \"copy\" from 00000000.000f4200 (999936)" "$device" copy
cmp -s copy disk || fail "the resumed copy differs from the device"

for size in /1b /2b /4b; do
  tavo "$device" $size
  expect_line "00000000.00000000: Read error 0000 bytes read; gle=87" "$device" $size
  expect_line "An unexpected error 87 occurred. Read cancelled" "$device" $size
  expect_line "Read: 0 bytes (0.0 Kb) (0.00 Mb)" "$device" $size
done

# The device's own open carries O_DIRECT; a file's never does.
if command -v strace >/dev/null; then
  strace -f -e trace=openat -o opens "$program" "$device" traced </dev/null >/dev/null
  grep -q "\"$device\", O_RDONLY.*O_DIRECT" opens || fail "no O_DIRECT open of $device"
  ! grep -q '"traced", .*O_DIRECT' opens || fail "the output file was opened O_DIRECT"
else
  echo "NOT CHECKED: the O_DIRECT open: strace is not installed"
fi

[[ $failures -eq 0 ]] && echo "loop-device tests passed ($device)"
exit $((failures > 0))
