#!/bin/bash
# Result files of the finished program: --json valid against the schema and agreeing
# with the console (its rate and request times too), plain SVG charts whose average is
# the console's and which show a slow zone, --direct on ext4 and tmpfs.
# A case that cannot run here says why in one line.
#   run_result_tests.sh SCHEMA [EMULATOR...] /PATH/TO/tavo[.exe]      (absolute paths)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
schema=$1 && shift
program=${!#} emulator=("${@:1:$#-1}")
[[ $program == *.exe ]] && linux=false || linux=true
work=$(mktemp -d /tmp/tavo-results.XXXXXX)
cleanup() {  # lazily, so that a mount whose server died goes too
  for m in "$work"/*/mnt; do umount -l "$m" 2>/dev/null; done
  [[ -n ${device:-} ]] && losetup -d "$device"; device=
}
trap 'cleanup; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
fail() { echo "  $name: $*" && failed_here=1; }
skip() { skipped_here=$*; }
check() { python3 "$here/check_results.py" "$@" || failed_here=1; }

# tavo ARG...: stdout in ./out, the exit code in $code.
tavo() {
  "${emulator[@]}" "$program" "$@" </dev/null >out
  code=$?
}

# tavo ARG... --json=r.json, then the file checked against the schema and the console.
agreeing() {
  rm -f r.json
  tavo "$@" --json=r.json
  [[ -f r.json ]] || { fail "tavo $*: no result file (exit code $code)" && return 1; }
  check agrees "$schema" r.json out "$code"
}

# A copy, an input that cannot be opened, a file replaced with no temporary left.
case_json() {
  head -c 3000000 /dev/urandom >data
  agreeing data copy --chart=c.svg && check svg c.svg && check average c.svg out
  cmp -s data copy || fail "the copy differs from its input"
  grep -q '"resumeOffset": 0' r.json || fail "no resume offset 0 for a new copy"
  agreeing absent copy
  [[ $code == 2 ]] && grep -q '"exitCode": 2' r.json && grep -q '"size": null' r.json &&
    grep -q '"zones": \[\]' r.json || fail "an input that is not there: exit code $code, or a size"
  echo old >r.json
  agreeing data
  [[ -z $(ls | grep "\.tmp$") ]] || fail "a temporary file was left behind"
  grep -q '"cached": true' r.json || fail "a file read without --direct is not said to be cached"
}

# Linux, root: --direct on ext4 with 4096-byte sectors reads uncached (a 512-byte
# request ends with 87); on tmpfs the refusal line, read cached.
case_direct() {
  $linux && [[ $(id -u) == 0 ]] || { skip "needs the Linux build and root" && return; }
  # qemu-user sets STATX_DIOALIGN in the mask but not the alignments.
  ((${#emulator[@]} == 0)) || { skip "qemu-user hands on no direct-I/O alignment" && return; }
  command -v mkfs.ext4 >/dev/null || { skip "no mkfs.ext4" && return; }
  truncate -s 64M image
  device=$(losetup --sector-size 4096 -f --show image 2>/dev/null) || { skip "no loop device" && return; }
  mkdir mnt && mkfs.ext4 -q -b 4096 "$device" && mount "$device" mnt || { fail "no ext4 on $device" && return; }
  head -c $((8 << 20 | 123)) /dev/urandom >mnt/file
  agreeing mnt/file --direct
  grep -q '"sectorSize": 4096, "cached": false' r.json || fail "not read uncached at 4096 bytes"
  tavo mnt/file /512 --direct
  grep -aq 'gle=87' out || fail "a 512-byte request on 4096-byte sectors did not end with 87"
  mkdir mem && mount -t tmpfs -o size=4m tavo-results mem || { fail "no tmpfs" && return; }
  head -c 100000 /dev/urandom >mem/file
  agreeing mem/file --direct
  grep -aq '^Uncached reads refused (error 87): reading through the cache' out &&
    grep -q '"cached": true' r.json && ((code <= 1)) || fail "tmpfs: no refusal line, or not read cached"
  umount mem
}

# Linux: faulty_fs's worn medium: slow zones slower, failures at the bad sectors, and
# the chart's rate line dips.
case_profile() {
  $linux || { skip "the Linux build only" && return; }
  [[ -n ${FAULTY_FS:-} && -c /dev/fuse ]] || { skip "needs faulty_fs and /dev/fuse" && return; }
  head -c $((16 << 20)) /dev/urandom >data
  mkdir mnt && "$FAULTY_FS" data mnt -s 2>fuse.log || { skip "mounting FUSE failed: $(head -1 fuse.log)" && return; }
  agreeing mnt/worn copy --chart=c.svg || return
  check profile r.json
  check svg c.svg && check average c.svg out && check dip c.svg r.json
  ! command -v rsvg-convert >/dev/null || rsvg-convert c.svg >/dev/null || fail "the chart does not render"
}

passed=0 failed=0
for name in json direct profile; do
  mkdir "$work/$name" && cd "$work/$name" || exit 2
  failed_here=0 skipped_here=""
  "case_$name"
  cd "$work" && cleanup && rm -rf "${work:?}/$name"
  if [[ -n $skipped_here ]]; then
    echo "skip $name: $skipped_here" && continue
  fi
  ((failed_here)) && echo "FAIL $name" && ((++failed)) || { echo "ok   $name" && ((++passed)); }
done
echo "results: $passed passed, $failed failed"
((failed == 0))
