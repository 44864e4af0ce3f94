#!/bin/bash
# The Linux tavo over what the kernel itself does to a copy: a damaged medium (a FUSE
# filesystem, faulty_fs), a filesystem that fills up, and copies killed part-way.
# Each case needs something a machine may lack (/dev/fuse, root, mount) and says in
# one line when it was skipped and why.
#   run_kernel_tests.sh FAULTY_FS|"" /PATH/TO/tavo      ("": faulty_fs was not built)
set -uo pipefail
faulty_fs=${1:+$(realpath "$1")} tavo=$(realpath "$2")
work=$(mktemp -d)
medium=$work/medium
# Lazily, so that a mount whose server died is also undone.
cleanup() {
  [[ -d $medium ]] && fusermount3 -u -z "$medium" 2>/dev/null
  [[ -d $work/small ]] && umount -l "$work/small" 2>/dev/null
  kill $(jobs -p) 2>/dev/null
  wait
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
fail() { echo "  $name: $*" && failed_here=1; }
skip() { skipped_here=$*; }

# run ARG...: tavo with stdin empty; exit code in $code, and in $work/out its stdout
# after the Banner, with line ends as "\n", Progress lines dropped and the figures of
# time masked. A run too short for the millisecond clock stops after "File too small
# or cached" with exit code 1; it is taken as a timed run would end (3 when a write
# failed).
run() {
  "$tavo" "$@" </dev/null >"$work/raw"
  code=$?
  if [[ $code == 1 && $(tail -c 27 "$work/raw") == $'\rFile too small or cached\r' ]]; then
    code=0
    grep -aq '^Write error' "$work/raw" && code=3
  fi
  perl -0777 -pe 's/\A(.*?\n){3}//; s/\r[0-9a-f]{8}\.[0-9a-f]{8} - [^\r]*//g;
    s/\rFile too small or cached\r\n//; s/(Elapsed time: )\d+\.\d\d/$1<t>/;
    s/(Transfer rate: )[^\r]*/$1<rate>/; s/\r\n/\n/g; s/\r//g' "$work/raw" >"$work/out"
}
# expect: the last run's text equals stdin.
expect() {
  diff <(cat) "$work/out" >"$work/diff" ||
    { fail "stdout differs (< expected, > actual):" && sed 's/^/    /' "$work/diff"; }
}
# bytes FROM COUNT: COUNT bytes of the medium's data from offset FROM.
bytes() { tail -c +$(($1 + 1)) "$work/data" | head -c "$2"; }

# The text of a run over "damaged": buffer size, output, where the unreadable read
# and the not-ready reads were made and what they delivered (hexadecimal), the bytes
# read and the share of failed reads.
damaged_text() {
  cat <<EOF
   using $1 bytes buffer
   resume downloading "$2" from 00000000.00000000 (0)
File size: 262144 bytes (256.0 Kb) (0.25 Mb)
Reading... Hit ESC to break

00000000.$3: Read error $4 bytes read; gle=23
$(for _ in 1 2; do printf '\n00000000.%s: Read error %s bytes read; gle=21\n    Retrying...' $5 $6; done)
Elapsed time: <t> seconds                                  
Read: $7
Transfer rate: <rate>

Total errors encountered: 3 ($8)
EOF
}

# A damaged medium: 176 KiB of data behind a reported size of 256 KiB, an unreadable
# sector at 0x9400 and a sector at 0x18200 with no medium for its first two reads.
# A failed read delivers what came before the bad sector; an unreadable block goes to
# the output with zeros for the rest, a block not there is read again after 500 ms,
# and the read that finds the end early ends the run. With "/512" the bad sector
# costs one failed read and 512 bytes. A device that refuses a request (at 128 KiB of
# "refusing") ends the run with nothing written for that block.
case_damaged_medium() {
  [[ -n $faulty_fs ]] || { skip "libfuse3-dev was not installed when tavo was built" && return; }
  [[ -c /dev/fuse ]] || { skip "no /dev/fuse on this machine" && return; }
  command -v fusermount3 >/dev/null || { skip "fusermount3 (fuse3) is not installed" && return; }
  head -c $((0x2C000)) /dev/urandom >"$work/data"
  mkdir "$medium"
  "$faulty_fs" "$work/data" damaged=eio:$((0x9400)),nomedium:$((0x18200)):2,size:262144 \
    refusing=nomedium:0:1,einval:$((0x20000)) "$medium" -f -s 2>"$work/fuse.log" &
  for _ in $(seq 50); do [[ -e $medium/damaged ]] && break; sleep 0.1; done
  [[ -e $medium/damaged ]] || { skip "mounting FUSE failed: $(head -1 "$work/fuse.log")" && return; }

  run "$medium/damaged" copy
  damaged_text 32768 copy 00008000 1400 00018000 0200 "152576 bytes (149.0 Kb) (0.15 Mb)" \
    37.5% | expect
  [[ $code == 0 ]] || fail "damaged: exit code $code"
  cmp copy <(bytes 0 $((0x9400)); head -c $((0x6C00)) /dev/zero; bytes $((0x10000)) 1M) ||
    fail "damaged: not the data with the rest of the unreadable block zeroed"

  run "$medium/damaged" copy512 /512
  damaged_text 512 copy512 00009400 0000 00018200 0000 "179712 bytes (175.5 Kb) (0.17 Mb)" \
    0.8% | expect
  cmp copy512 <(bytes 0 $((0x9400)); head -c 512 /dev/zero; bytes $((0x9600)) 1M) ||
    fail "damaged /512: not the data with exactly the bad sector zeroed"

  run "$medium/refusing" copy3
  expect <<EOF
   using 32768 bytes buffer
   resume downloading "copy3" from 00000000.00000000 (0)
File size: 180224 bytes (176.0 Kb) (0.17 Mb)
Reading... Hit ESC to break

00000000.00000000: Read error 0000 bytes read; gle=21
    Retrying...
00000000.00020000: Read error 0000 bytes read; gle=87

An unexpected error 87 occurred. Read cancelled

Elapsed time: <t> seconds                                  
Read: 131072 bytes (128.0 Kb) (0.13 Mb)
Transfer rate: <rate>

Total errors encountered: 2 (33.3%)
EOF
  [[ $code == 0 ]] && cmp copy3 <(bytes 0 $((0x20000))) ||
    fail "refusing: exit code $code, or not the data up to the refused block"
}

# A copy onto a filesystem that fills up (a tmpfs of 3 MiB already holding 2 MiB and
# a little; the block that fills it is written in part):
# each block that does not fit gets a Write error line, the input is still read to
# its end, and the exit code is 3. Once the other data is gone, the same command
# resumes and ends with an identical copy.
case_disk_full() {
  [[ $(id -u) == 0 ]] || { skip "mounting a small filesystem needs root" && return; }
  mkdir "$work/small"
  mount -t tmpfs -o size=3m tavo-small "$work/small" 2>"$work/mount.log" ||
    { skip "mounting a tmpfs failed: $(head -1 "$work/mount.log")" && return; }
  local copy=$work/small/copy kept
  head -c 2M /dev/urandom >input
  head -c $(((2 << 20) + 12345)) /dev/zero >"$work/small/other"
  run input "$copy"
  kept=$(stat -c %s "$copy")
  ((kept < 2 << 20)) || fail "the copy fitted: no full filesystem"
  [[ $code == 3 ]] || fail "exit code $code when writes failed, expected 3"
  [[ $(grep -c '^Write error: gle=112$' "$work/out") == $((64 - kept / 32768)) ]] ||
    fail "not one Write error line for each of the $((64 - kept / 32768)) blocks that did not fit"
  grep -q '^Read: 2097152 bytes' "$work/out" || fail "the input was not read to its end"
  rm "$work/small/other"
  run input "$copy"
  [[ $code == 0 ]] || fail "the resumed run: exit code $code"
  grep -q "^   resume downloading \"$copy\" from .* ($((kept / 512 * 512)))$" "$work/out" ||
    fail "the resumed run did not start at $((kept / 512 * 512)) (the full copy held $kept)"
  cmp -s input "$copy" || fail "the resumed copy differs from its input"
  detail="full at $kept bytes"
}

# A copy killed with SIGKILL (no chance to tidy up) at ten different points, each
# time started again with the same command, ends identical to its input every time.
# A round whose copy ends before the poll sees its point is tried again.
case_killed_copies() {
  local size=$((16 << 20)) round try target kept
  head -c $size /dev/urandom >input
  detail="killed at"
  for round in $(seq 10); do
    target=$((round * size / 11)) kept=$size
    for try in 1 2 3; do
      rm -f copy
      "$tavo" input copy /512 </dev/null >/dev/null &
      while kill -0 $! 2>/dev/null && (($(stat -c %s copy 2>/dev/null || echo 0) < target)); do :; done
      kill -KILL $! 2>/dev/null
      wait $! 2>/dev/null
      kept=$(stat -c %s copy)
      ((kept < size)) && break
    done
    ((kept < size)) || { fail "round $round: each copy ended before it was killed" && continue; }
    run input copy /512
    [[ $code == 0 ]] && grep -q "from .* ($((kept / 512 * 512)))$" "$work/out" &&
      cmp -s input copy || fail "round $round: killed at $kept bytes, not resumed there to an identical copy"
    detail+=" $kept"
  done
}

passed=0 failed=0
for name in damaged_medium disk_full killed_copies; do
  mkdir "$work/$name" && cd "$work/$name" || exit 2
  failed_here=0 skipped_here="" detail=""
  "case_$name"
  cd "$work" && rm -rf "${work:?}/$name"
  if [[ -n $skipped_here ]]; then
    echo "SKIPPED kernel $name: $skipped_here" && continue
  fi
  ((failed_here)) && echo "FAIL $name" || echo "ok   $name${detail:+ ($detail)}"
  ((failed_here)) && failed=$((failed + 1)) || passed=$((passed + 1))
done
echo "kernel: $passed passed, $failed failed"
((failed == 0))
