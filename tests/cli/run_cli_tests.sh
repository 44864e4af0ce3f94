#!/bin/bash
# Process-level tests: tavo run as a user runs it, its exact stdout bytes and exit
# codes compared with transcripts in expected/.
#
#   run_cli_tests.sh [EMULATOR...] PATH/TO/tavo[.exe]
#   TAVO_CLI_UPDATE=1 run_cli_tests.sh ...   rewrites the transcripts (review the diff!)
#   TAVO_CLI_CASES="bad_options sizes" ...   runs only those cases
#
# A case is a function case_NAME. Each runs in a fresh empty directory, so names on
# its command lines are relative: under wine an argument that begins with "/" is an
# option, never a path. A case's runs (`run ARG...`) append to its transcript: a
# "$ tavo ARG..." line, the stdout bytes as they came, then "[exit N]"; the
# transcript must equal expected/NAME.out byte for byte, and one file serves every
# build. A case that does not apply to a build says so with `skip REASON` and returns.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
expected_dir=$here/expected

if [[ $# -lt 1 ]]; then
  echo "usage: $0 [EMULATOR...] PATH/TO/tavo[.exe]" >&2
  exit 2
fi
program=$(realpath "${!#}")
emulator=()
for word in "${@:1:$#-1}"; do
  # The runs start in other directories: words that are paths must be absolute.
  [[ $word == */* && $word != -* ]] && word=$(realpath -m "$word")
  emulator+=("$word")
done
if [[ ! -f $program ]]; then
  echo "no program $program" >&2
  exit 2
fi
windows=false
[[ $program == *.exe ]] && windows=true

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case_name=""
case_dir=""
case_failed=0
case_skipped=""

fail() {
  echo "  $case_name: $*"
  case_failed=1
}

# skip REASON: the case does not apply to this build; return from it next.
skip() {
  case_skipped=$*
}

# Runs tavo in the case's directory with stdin empty; stdout to the file $1.
tavo_to() {
  local out=$1
  shift
  (cd "$case_dir" && "${emulator[@]}" "$program" "$@" >"$out" </dev/null)
}

# Every line end the program writes is CR LF.
check_line_ends() {
  perl -0777 -ne 'exit(/(?<!\r)\n/ ? 1 : 0)' "$1" ||
    fail "a line feed without a carriage return before it: $2"
}

quote_args() {
  local arg text=""
  for arg in "$@"; do
    if [[ $arg =~ ^[A-Za-z0-9/._:+-]+$ ]]; then text+=" $arg"; else text+=" '$arg'"; fi
  done
  printf '%s' "$text"
}

# run ARG...: one run into the case's transcript, stdout redirected to a file.
run() { record_run exact "$@"; }

# run_timed ARG...: as run, for runs that read. The Final report's figures of time
# differ from run to run and are masked: the elapsed seconds, the rate line, the
# too-small line. A run that the millisecond clock could not time (0 ms) ends by
# design with exit code 1 after the too-small line; it is recorded as a timed run
# would end: the masked rate line, then exit code 3 when a write failed, else 0.
run_timed() { record_run timed "$@"; }

record_run() {
  local mode=$1 out=$work/$case_name.stdout code
  shift
  tavo_to "$out" "$@"
  code=$?
  [[ $code -lt 126 ]] || fail "could not start tavo$(quote_args "$@") (exit code $code)"
  check_line_ends "$out" "tavo$(quote_args "$@")"
  if [[ $mode == timed ]]; then
    if [[ $code -eq 1 ]] && untimed "$out"; then
      printf 'Transfer rate: <rate>\r\n\r\n' >>"$out"
      code=0
      grep -aq $'^Write error: ' "$out" && code=3
    fi
    perl -0777 -i -pe 's/(\rElapsed time: )\d+\.\d\d( seconds)/$1<t>$2/;
                       s/\rFile too small or cached\r\n//;
                       s/(Transfer rate: )[^\r]*/$1<rate>/' "$out"
  fi
  {
    printf '$ tavo%s\n' "$(quote_args "$@")"
    cat "$out"
    printf '[exit %d]\n' "$code"
  } >>"$work/$case_name.transcript"
}

finish_transcript() {
  local expected=$expected_dir/$case_name.out actual=$work/$case_name.transcript
  if [[ ${TAVO_CLI_UPDATE:-} == 1 ]]; then
    cp "$actual" "$expected"
    return
  fi
  if [[ ! -f $expected ]]; then
    fail "no transcript $expected"
  elif ! cmp -s "$expected" "$actual"; then
    fail "transcript differs from expected/$case_name.out (- expected, + actual):"
    diff <(cat -A "$expected") <(cat -A "$actual") | sed 's/^/    /'
  fi
}

# True when the output ends as a run of 0 ms does.
untimed() {
  perl -0777 -ne 'exit(/\rElapsed time: 0\.00 seconds {34}\r\nRead: [^\r]*\r\n\rFile too small or cached\r\n\z/ ? 0 : 1)' "$1"
}

# A line of its own in the transcript, to say what a run starts from.
note() {
  printf '# %s\n' "$*" >>"$work/$case_name.transcript"
}

# Files in the case's directory: random bytes, or one byte repeated.
random_file() { head -c "$2" /dev/urandom >"$case_dir/$1"; }
filled_file() { head -c "$2" /dev/zero | tr '\0' "$3" >"$case_dir/$1"; }
file_size() { stat -c %s "$case_dir/$1"; }

# same_bytes A B [SKIP [COUNT]]: A and B agree from byte SKIP on (COUNT bytes).
same_bytes() {
  (cd "$case_dir" && cmp -s -i "${3:-0}" ${4:+-n "$4"} "$1" "$2")
}

# --- Cases -------------------------------------------------------------------------

# With nothing to do, the Banner and the Usage text, exit code 1.
case_no_arguments() {
  run
}

# Options that match nothing, numbers that are no kilobyte count of a positive
# 32-bit size, and a third positional: the Usage text, exit code 1, whatever stands
# beside them.
case_bad_options() {
  run /x
  run '/?'
  run /
  run /C
  run absent /R
  run /kb3000
  run '/512 '
  run /+
  run '/$'
  run /0
  run /-1
  run '/$FFFFFFFF'
  run /2097152
  run /4194305
  run /2147483648
  run '/$100000000'
  run one two three
  run one /x two
  run /x /512
}

# Size options and the buffer line. The last size option wins; "/512" is the only
# way to say 512 bytes; a minus sign starts a positional argument, not an option.
case_sizes() {
  run absent
  run absent /512
  run absent /1b
  run absent /2b
  run absent /4b
  run absent /0512
  run absent /+512
  run absent '/ 512'
  run absent '/$10'
  run absent /3000
  run absent /64 /128
  run /128 absent /64
  run -512
}

# The largest kilobyte count: the buffer line shows its size; the buffer is then
# reserved and the run goes on, or, where the address space has no room for it
# (32-bit Windows), the run ends through the fatal path with exit code 1.
case_largest_size() {
  local out=$work/largest.out code
  tavo_to "$out" absent /2097151
  code=$?
  check_line_ends "$out" "tavo absent /2097151"
  grep -aq $'^   using 2147482624 bytes buffer\r$' "$out" ||
    fail "no buffer line for 2147482624 bytes"
  if [[ $code -eq 1 ]]; then
    [[ $(tail -n 1 "$out") == $'Fatal error: not enough memory for the read buffer\r' ]] ||
      fail "exit code 1 without the fatal line for the buffer"
  elif [[ $code -ne 2 ]]; then
    fail "exit code $code: expected 2 (absent input) or 1 (no room for the buffer)"
  fi
}

# Options with no size of their own leave the default buffer; before, between or
# after the names, and repeated.
case_flag_options() {
  run absent out /n /r /c /b /p /i
  run /p /p /b /b absent
  run /n absent /r
}

# Names up to 255 bytes are taken; a longer one is a bad command line rather than
# cut to a name that may be another file's.
case_long_names() {
  local name255 name256
  name255=$(printf 'n%.0s' {1..255})
  name256=${name255}x
  run "$name255"
  run "$name256"
  run absent "$name256"
}

# Redirected output reaches a pipe exactly as it reaches a file: whole 128-byte
# blocks while running, the rest at exit, nothing lost or added.
case_pipe_matches_file() {
  local args
  for args in "" "absent /512" "/x" "absent /1b" "absent out /n"; do
    # shellcheck disable=SC2086
    tavo_to "$work/file.out" $args
    local file_code=$?
    # shellcheck disable=SC2086
    (cd "$case_dir" && "${emulator[@]}" "$program" $args </dev/null | cat >"$work/pipe.out")
    local pipe_code=$?
    if [[ $file_code -ne $pipe_code ]]; then
      fail "tavo $args: exit code $pipe_code through a pipe, $file_code to a file"
    fi
    cmp -s "$work/file.out" "$work/pipe.out" ||
      fail "tavo $args: stdout through a pipe differs from stdout to a file"
  done
}

# A standard output that refuses writes ends the run through the fatal path with
# exit code 1 at the first statement that has passed 128 bytes on (to a file, a
# missing input ends with exit code 2).
case_full_output() {
  if $windows; then
    skip "needs /dev/full"
    return
  fi
  local args code
  for args in "" "absent" "absent /512"; do
    # shellcheck disable=SC2086
    (cd "$case_dir" && "$program" $args </dev/null >/dev/full)
    code=$?
    [[ $code -eq 1 ]] || fail "tavo $args >/dev/full: exit code $code, expected 1"
  done
}

# On Linux an argument beginning with "/" that holds a second "/" is a path; one
# that does not is still an option or a bad command line.
case_slash_paths() {
  if $windows; then
    skip "Windows paths never begin with /"
    return
  fi
  run /absent/file
  run //absent
  run /absent/file /512
  run /absent/file /x
  run /absent
  run /dev/sdb/ /dev/x/ /dev/y/
}

# Copies equal their input for sizes around multiples of the buffer: empty, one
# byte, and one block and three blocks, each minus one, exact and plus one.
case_copies() {
  local option block size sizes
  for option in "" /512 /1b; do
    case $option in
      "") block=32768 ;;
      /512) block=512 ;;
      /1b) block=1 ;;
    esac
    sizes=$(printf '%s\n' 0 1 $((block - 1)) $block $((block + 1)) \
      $((3 * block - 1)) $((3 * block)) $((3 * block + 1)) | sort -nu)
    for size in $sizes; do
      note "input of $size bytes, no copy yet"
      random_file input "$size"
      rm -f "$case_dir/copy"
      # shellcheck disable=SC2086
      run_timed input copy $option
      same_bytes input copy || fail "tavo input copy $option: the copy of $size bytes differs"
    done
  done
}

# A copy resumes at the existing output's length rounded down to 512: the bytes
# below stay as they are, the rest comes from the input. "/n" writes from offset
# 0 and leaves the bytes of a longer output beyond the input's length in place.
case_resume() {
  local existing offset
  random_file input 5000
  for existing in 511 1000 1024 4608 5000; do
    note "input of 5000 bytes, copy of $existing bytes of x"
    filled_file copy "$existing" x
    cp "$case_dir/copy" "$case_dir/before"
    run_timed input copy
    offset=$((existing / 512 * 512))
    same_bytes copy before 0 "$offset" ||
      fail "resume over $existing bytes: the bytes below $offset changed"
    same_bytes input copy "$offset" ||
      fail "resume over $existing bytes: the copy from $offset on differs from the input"
  done

  note "input of 5000 bytes, copy of 10000 bytes of x"
  filled_file copy 10000 x
  cp "$case_dir/copy" "$case_dir/before"
  run_timed input copy /n
  same_bytes input copy 0 5000 || fail "/n: the first 5000 bytes differ from the input"
  same_bytes copy before 5000 || fail "/n: the bytes beyond the input's length changed"
  [[ $(file_size copy) -eq 10000 ]] || fail "/n: the longer output was cut"
}

# An output that cannot be opened ends the run with exit code 2 before the input
# is opened; an input that cannot be opened, after the output was created.
case_open_failures() {
  random_file input 100
  mkdir "$case_dir/directory"
  run input directory
  run absent directory
  run input missing/copy
  run absent copy
  [[ -f $case_dir/copy && $(file_size copy) -eq 0 ]] ||
    fail "tavo absent copy: the output was not left created and empty"
  run directory
  run absent
}

# A sparse input of 5 GiB and 100 bytes beside a sparse output as long: the size
# line takes both halves of the size, and the copy resumes at exactly 5 GiB, so
# only the last 100 bytes are read.
case_large_resume() {
  local size=$((5 * 1024 * 1024 * 1024 + 100))
  if ! truncate -s "$size" "$case_dir/input" "$case_dir/copy" 2>/dev/null; then
    skip "no room for sparse files of 5 GiB in $work"
    return
  fi
  printf 'tail' | dd of="$case_dir/input" bs=1 seek=$((size - 4)) conv=notrunc status=none
  run_timed input copy
  # Both are holes below the last 100 bytes: comparing those alone is enough.
  same_bytes input copy $((size - 100)) || fail "the last 100 bytes were not copied"
  [[ $(file_size copy) -eq $size ]] || fail "the copy's length changed"
}

# A copy killed part-way (SIGKILL: no chance to tidy up) and started again with
# the same command ends identical to its input.
case_killed_copy() {
  local mib=${TAVO_CLI_KILLED_MIB:-1024} pid size=0
  if ! random_file input $((mib << 20)) 2>/dev/null; then
    skip "no room for a $mib MiB input in $work"
    return
  fi
  (cd "$case_dir" && exec "${emulator[@]}" "$program" input copy </dev/null >/dev/null) &
  pid=$!
  for _ in $(seq 600); do
    size=$(stat -c %s "$case_dir/copy" 2>/dev/null || echo 0)
    ((size >= (mib << 20) / 4)) && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.05
  done
  kill -KILL $pid 2>/dev/null
  wait $pid 2>/dev/null
  size=$(file_size copy)
  if ((size >= mib << 20)); then
    fail "the first run ended before it could be killed; use a larger TAVO_CLI_KILLED_MIB"
    return
  fi
  tavo_to "$work/resumed.out" input copy
  local code=$?
  [[ $code -eq 0 ]] || fail "the resumed run ended with exit code $code"
  grep -aq "resume downloading \"copy\" from .* ($((size / 512 * 512)))" "$work/resumed.out" ||
    fail "the second run did not resume at $((size / 512 * 512)) (killed at $size bytes)"
  same_bytes input copy || fail "the resumed copy differs from its input"
  rm -f "$case_dir/input" "$case_dir/copy"
}

# On Linux the drive forms name nothing that exists: "c:" and "12:" become
# \\.\c: and \\.\12:, which fail with error 3.
case_drive_names() {
  if $windows; then
    skip "drive letters are real drives on Windows"
    return
  fi
  run c:
  run 12:
  run ':'
}

# Writes to an output that refuses them (/dev/full) are reported one by one, the
# run goes on to its Final report, and the exit code is 3: the copy is incomplete.
case_full_output_file() {
  if $windows; then
    skip "needs /dev/full"
    return
  fi
  local out=$work/full.out code lines
  random_file input $((1 << 20))
  tavo_to "$out" input /dev/full /512
  code=$?
  check_line_ends "$out" "tavo input /dev/full /512"
  lines=$(grep -ac $'^Write error: gle=112\r$' "$out")
  [[ $lines -eq 2048 ]] || fail "$lines Write error lines for 2048 blocks"
  grep -aq $'^Read: 1048576 bytes (1024.0 Kb) (1.00 Mb)\r$' "$out" ||
    fail "no Read line for the whole input"
  if ! { [[ $code -eq 3 ]] || { [[ $code -eq 1 ]] && untimed "$out"; }; }; then
    fail "exit code $code, expected 3"
  fi
}

# A whole block device, through a loop device over a file: its size comes from the
# device, and its bytes are copied.
case_block_device() {
  if $windows; then
    skip "Linux block devices"
    return
  fi
  if [[ $(id -u) -ne 0 ]] || ! command -v losetup >/dev/null; then
    skip "needs root and losetup"
    return
  fi
  local device
  random_file image $((3 << 20))
  if ! device=$(losetup --find --show "$case_dir/image" 2>/dev/null); then
    skip "no loop device could be set up here"
    return
  fi
  tavo_to "$work/device.out" "$device" copy
  local code=$?
  losetup -d "$device"
  if ! { [[ $code -eq 0 ]] || { [[ $code -eq 1 ]] && untimed "$work/device.out"; }; }; then
    fail "tavo $device copy: exit code $code"
  fi
  grep -aq $'^File size: 3145728 bytes (3072.0 Kb) (3.00 Mb)\r$' "$work/device.out" ||
    fail "no size line for the 3 MiB device"
  same_bytes image copy || fail "the copy of $device differs from its image"
}

# --- Driver ------------------------------------------------------------------------

passed=0
failed=0
skipped=0
for case_function in $(compgen -A function case_); do
  case_name=${case_function#case_}
  if [[ -n ${TAVO_CLI_CASES:-} && " $TAVO_CLI_CASES " != *" $case_name "* ]]; then
    continue
  fi
  case_dir=$work/$case_name
  mkdir -p "$case_dir"
  : >"$work/$case_name.transcript"
  case_failed=0
  case_skipped=""
  "$case_function"
  if [[ -n $case_skipped ]]; then
    echo "skip $case_name: $case_skipped"
    skipped=$((skipped + 1))
    continue
  fi
  [[ -s $work/$case_name.transcript ]] && finish_transcript
  if [[ $case_failed -eq 0 ]]; then
    echo "ok   $case_name"
    passed=$((passed + 1))
  else
    echo "FAIL $case_name"
    failed=$((failed + 1))
  fi
done

[[ $skipped -gt 0 ]] && echo "cli: $skipped skipped on this build"
echo "cli: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
