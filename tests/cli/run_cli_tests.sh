#!/bin/bash
# tavo as a user runs it: stdout and exit codes against expected/ (one transcript for
# every build; TAVO_CLI_UPDATE=1 rewrites them), copies against their inputs, result
# files against the schema and the console. Names are relative, as "/..." is an option
# under wine. TAVO_CLI_CASES, TAVO_CLI_SKIP pick; TAVO_CLI_APART names the cases that
# run as tests of their own.
#   run_cli_tests.sh [EMULATOR...] /PATH/TO/tavo[.exe]      (absolute paths)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
expected=$here/expected schema=$here/../../doc/tavo-result.schema.json
program=${!#} emulator=("${@:1:$#-1}")
[[ $program == *.exe ]] && linux=false || linux=true
work=$(mktemp -d)
unmount() {  # lazily, so that a mount whose server died goes too
  [[ -n ${device:-} ]] && losetup -d "$device"; device=
  for m in "$work"/*/mnt "$work"/*/full; do umount -l "$m" 2>/dev/null; done
}
trap 'unmount; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
fail() { echo "  $name: $*" && failed_here=1; }
skip() { skipped_here=$*; }

# A Progress report's figures, as perl matches them.
progress='[0-9a-f]{8}\.[0-9a-f]{8} - \d+ kb - [\d.]+ mb(?: - [\d.]+%| \([\d.]+ kb/s\) +)'

# console_text FILE: the Linux program's log, which holds no CR, as a console shows
# it, which the transcripts hold: lines end in CR LF, and a line the console rewrites
# (a Progress report, the lines of the report that overwrite one) begins with a bare
# CR. A report that a message leaves ("\r\n0400: Read error") ended with that
# message's CR LF; one overwritten ended with none, nor did a line it overwrote.
console_text() {
  P=$progress perl -0777 -i -pe 'my $p = qr/$ENV{P}/;
    s/^(Elapsed time: |File too small or cached)/\r$1/mg;
    s/^($p)\n(?=(\r|$p)?)/"\r$1" . (defined $2 ? "" : "\n")/mge;
    s/^( {4}Retrying\.\.\.)\n(?=\r$p)/$1/mg; s/\n/\r\n/g' "$1"
}

# tavo ARG...: stdout in $work/out (every line end CR LF: the Linux program's LF ones
# are made so, once it is checked that they are all it wrote), stderr in $work/err,
# the exit code in $code. Time figures, the version, a Progress line a slow clock let
# in and the words the Linux program gives after an error code (case error_words
# checks them) are masked, so that every build has one transcript; a run too short for
# the clock (no rate, exit code 1) is taken as a timed run would end.
tavo() {
  "${emulator[@]}" "$program" "$@" </dev/null >"$work/out" 2>"$work/err"
  code=$?
  # tavo writes its banner before anything can fail. A run under wine that wrote not
  # even that was not started by wine (seen once on a busy machine): it is run again.
  if ((${#emulator[@]})) && [[ $code != 0 && ! -s $work/out ]]; then
    echo "  $name: wine started no program (exit code $code): tavo $* run again"
    "${emulator[@]}" "$program" "$@" </dev/null >"$work/out" 2>"$work/err"
    code=$?
  fi
  if $linux; then
    ! grep -aq $'\r' "$work/out" || fail "a CR: tavo $*"
    console_text "$work/out"
  else
    perl -0777 -ne 'exit(/(?<!\r)\n/)' "$work/out" || fail "a bare line feed: tavo $*"
  fi
  [[ $code == 1 && $(tail -c 27 "$work/out") == $'\rFile too small or cached\r' ]] && code=0
  P=$progress perl -0777 -i -pe 's/\rFile too small or cached\r\n(?!Transfer rate)/Transfer rate: \r\n\r\n/;
    s/\rFile too small or cached\r\n//; s/(Elapsed time: )\d+\.\d\d/$1<t>/; s/\r$ENV{P}//g;
    s/(Transfer rate: )[^\r]*/$1<rate>/; s/(Request times: )[^\r]*/$1<bands>/; s/(download\. Version )[^\r]*/$1<version>/;
    s/^tavo \S+\r$/tavo <version>\r/m; s/(error \d+)(?: \([^)\r]*\)|: [^)\r]*(?=\)))/$1/g;
    s/^(Cannot open file [^\r]*?\d) \([^)\r]*\)\r$/$1\r/mg' "$work/out"
}

# run ARG...: tavo, recorded in the case's transcript: "$ tavo ARG...", stdout, exit code.
run() {
  tavo "$@"
  { printf '$ tavo%s\n' "${*:+$(printf ' %q' "$@")}" && cat "$work/out" &&
    echo "[exit $code]"; } >>"$work/$name.log"
}

# No arguments, or "/512 " (no option): the Usage text, exit code 1.
case_usage() { run && run '/512 '; }

# Linux: arguments are names as given, double quotes and blanks included; a stdout
# refusing writes: exit code 1; an output refusing writes: exit code 3; an output with
# nothing to flush (a FIFO): exit code 0.
case_process() {
  $linux || { skip "Linux only" && return; }
  head -c 5000 /dev/urandom >'movie "final".mkv'
  run 'movie "final".mkv' '"copy" 2'
  cmp -s 'movie "final".mkv' '"copy" 2' || fail "a name with double quotes: not copied"
  mkfifo fifo && { timeout 20 cat fifo >/dev/null & }
  "${emulator[@]}" "$program" '"copy" 2' fifo </dev/null >/dev/null
  [[ $? == 0 ]] || fail "tavo '\"copy\" 2' fifo: not exit code 0"
  "${emulator[@]}" "$program" absent </dev/null >/dev/full
  [[ $? == 1 ]] || fail "tavo absent >/dev/full: not exit code 1"
  "${emulator[@]}" "$program" '"copy" 2' /dev/full </dev/null >/dev/null
  [[ $? == 3 ]] || fail "tavo '\"copy\" 2' /dev/full: not exit code 3"
}

# Linux: "--help" shows the help text, "-V" the version, with exit code 0. ("-h", and
# either beside a name: the unit tests of POSIX command lines.)
case_help() { $linux && run --help && run -V || skip "the Linux build only"; }

# "--help" and "--version" answer wherever they stand; an unknown long option, a value
# to one that takes none, or "--" alone is a bad command line; "./--help" is a file.
# The version's first line is "tavo" and the version the banner names.
case_long_options() {
  echo data >--help
  tavo in --help
  [[ $code == 0 ]] && grep -aq '^Long options' "$work/out" ||
    fail "tavo in --help: not the help with its long options, exit code 0"
  local first banner eol=$'\r'
  $linux && eol=
  first=$("${emulator[@]}" "$program" --version </dev/null | head -1)
  banner=$("${emulator[@]}" "$program" in --help </dev/null | grep -a '^Files reading')
  [[ $first =~ ^tavo\ [0-9]+\.[0-9]+$eol$ && $first == "tavo ${banner##* Version }" ]] ||
    fail "tavo --version | head -1: $(cat -A <<<"$first"), the banner's: $(cat -A <<<"$banner")"
  for line in "in --version" "in --bogus" "in --help=x" "in --" ./--help; do
    run $line
  done
}

# A bad command line: one line on stderr saying what is wrong, ended as the system
# ends lines there; the Usage text on stdout; exit code 1; nothing opened. On Linux
# "-x" is an option: "tavo -x big" leaves big as it was, where the Windows programs
# copy a file "-x" to big. (Each reason's words: the unit tests of the command line.)
case_refusals() {
  local args why eol=$'\n'
  $linux || eol=$'\r\n'
  head -c 5000 /dev/urandom >./-x && head -c 1000 ./-x | tee big >big.before && echo data >in
  while IFS='|' read -r args why; do
    [[ $args == linux:* ]] && { $linux || continue; } && args=${args#linux:}
    read -ra args <<<"$args"
    tavo "${args[@]}"
    [[ $code == 1 && ! -e out && ! -e m ]] && grep -aq '^Usage: tavo ' "$work/out" &&
      printf 'tavo: %s%s' "$why" "$eol" | cmp -s - "$work/err" ||
      fail "tavo ${args[*]}: exit code $code, a file opened, or stderr $(cat -A "$work/err")"
  done <<'TABLE'
|no input named
in out --frobnicate|unknown option '--frobnicate'
in --map=m|--map needs an output
in out --map=m /b|--map cannot be used with /b
in out --map=m /i|--map cannot be used with /i
linux:-x big|unknown option '-x'
TABLE
  if $linux; then
    cmp -s big big.before || fail "tavo -x big: big was written"
  else
    tavo -x big
    [[ $code == 0 ]] && cmp -s ./-x big || fail "tavo -x big: not a copy of the file -x"
  fi
}

# Linux: the system's words after an error code: the errno's behind the code, or
# tavo's own; a disk named by a number that names none lists the disks there are.
case_error_words() {
  $linux || { skip "the Linux build only" && return; }
  local input line
  echo data >file && mkdir directory
  while IFS='|' read -r input line; do
    "${emulator[@]}" "$program" "$input" </dev/null >out
    grep -aqxF "$line" out || fail "tavo $input: not '$line': $(grep -a '^Cannot' out)"
  done <<'TABLE'
absent|Cannot open file "absent": error 2 (No such file or directory)
missing/x|Cannot open file "missing/x": error 3 (No such file or directory)
file/below|Cannot open file "file/below": error 3 (Not a directory)
directory|Cannot open file "directory": error 5 (Is a directory)
C:|Cannot open file "\\.\C:": error 3 (Linux has no drive letters)
TABLE
  "${emulator[@]}" "$program" 9: </dev/null >out
  grep -aqE '^Cannot open file "(9:": error 2 \(No such disk: this machine has (none|[1-9], 0: /dev/)|/dev/)' out ||
    fail "tavo 9: $(grep -a '^Cannot' out)"
}

# Windows: "/dev/sdb" is an option: a bad command line (Linux takes it for a path).
case_slash_argument() { $linux && skip "the Windows builds only" || run in /dev/sdb; }

# Copies of sizes around one and three blocks, for 32 KiB, 512 and 1-byte blocks.
case_copies() {
  local block option size
  for block in 32768: 512:/512 1:/1b; do
    option=${block#*:} block=${block%:*}
    for size in $(printf '%s\n' 0 1 $((block - 1)) $block $((block + 1)) \
      $((3 * block - 1)) $((3 * block)) $((3 * block + 1)) | sort -nu); do
      head -c "$size" /dev/urandom >input && rm -f copy
      run input copy $option
      cmp -s input copy || fail "tavo input copy $option: the copy of $size bytes differs"
    done
  done
}

# "/n" writes from 0 and leaves a longer output's bytes beyond the input's length as
# they are; a file at the copy's own map's name that tavo did not write stays. (Where
# a copy resumes, and an output that is no copy: the resume scenarios.)
case_resume() {
  head -c 5000 /dev/urandom >input
  { head -c 3000 /dev/urandom && head -c 7000 /dev/zero | tr '\0' x; } | tee copy >before
  run input copy /n
  cmp -s -n 5000 input copy && cmp -s -i 5000 copy before || fail "/n: not the input, then the old bytes"
  echo "not a map" | tee copy.tavo-map >map.before
  run input copy /n
  [[ $code == 0 ]] && cmp -s copy.tavo-map map.before || fail "a file at the map's name was replaced"
}

# An output that cannot be opened ends the run (exit code 2) before the input is
# opened; an input that cannot be opened removes the output the run created, and
# leaves one that was there as it was, /n or not.
case_open_failures() {
  mkdir directory && run absent directory && run absent missing/copy && run absent copy
  [[ ! -e copy ]] || fail "tavo absent copy: the new output was left behind"
  echo old | tee kept >kept.before
  run absent kept && run absent kept /n
  cmp -s kept kept.before || fail "tavo absent kept: the output changed"
}

# Names of one file are refused before anything is read or written (exit code 2, a
# new output removed): the output as the input, the map or a result file, however
# spelt or linked; on Linux so is a map that is no regular file (a FIFO without a
# writer, /dev/zero through a link, a directory). A temporary file takes no other
# file's name, nor a planted link's, nor creates the file a dangling link names.
case_name_clashes() {
  local line refused
  head -c 100000 /dev/urandom | tee big >big.before && echo old | tee kept >kept.before
  ln big hard && ln -s big soft && ln -s out link && mkfifo fifo && ln -s /dev/zero zero && mkdir dir
  while IFS='|' read -r line refused; do
    rm -f out
    if [[ -n $refused ]]; then
      $linux || continue
      tavo $line
      grep -aq "^     $refused"$'\r$' "$work/out" || fail "tavo $line: not \"$refused\""
    else
      run $line
    fi
    [[ $code == 2 && ! -e out && ! -e x ]] && cmp -s big big.before && cmp -s kept kept.before ||
      fail "tavo $line: exit code $code, or a file written"
  done <<'TABLE'
big big
big ./big
big out --map=./out
big out --json=./out
big kept --json=./kept
big out --json=x --chart=./x
big hard|Output file is the input file, exiting
big soft|Output file is the input file, exiting
big out --map=link|Map file "link" is the output file, exiting
big out --map=fifo|Unable to read map file "fifo", exiting - not a regular file
big out --map=zero|Unable to read map file "zero", exiting - not a regular file
big out --map=dir|Unable to read map file "dir", exiting - not a regular file
TABLE
  run big c.tmp --map=c
  [[ $code == 0 ]] && cmp -s big c.tmp && grep -q '^0x00000000  0x000186A0  +$' c || fail "an output named c.tmp lost its copy to map c"
  $linux || return
  sh -c 'ln -s made "m.$$-0.tmp" && exec "$@" big copy --map=m' sh "${emulator[@]}" "$program" \
    </dev/null >/dev/null
  [[ $? == 0 && -L $(echo m.*-0.tmp) && ! -e made ]] && cmp -s big copy ||
    fail "a link planted at the map's temporary: followed, or the copy failed"
}

# Linux: inputs that cannot be opened, with the names they map to (one cut to 255
# bytes) and their codes (drive letters, disks: error_words); an output below a file.
case_posix_names() {
  $linux || { skip "the Linux build only" && return; }
  echo data >file
  for input in 12: share: : 'a:\io.sys' "$(printf %0254d 0):"; do run "$input"; done
  run file file/below
}

# A sparse 5 GiB + 100 bytes beside a copy as long: both 32-bit halves count. A
# sector both hold alike before the resume point proves the copy; zeros would not.
case_large_resume() {
  local size=$(((5 << 30) + 100))
  truncate -s $size input copy 2>/dev/null || { skip "no sparse files here" && return; }
  printf tail | dd of=input bs=1 seek=$((size - 4)) conv=notrunc status=none
  for file in input copy; do
    printf mark | dd of=$file bs=1 seek=$((size - 600)) conv=notrunc status=none
  done
  run input copy
  cmp -s -i $((size - 100)) input copy || fail "the last 100 bytes were not copied"
}

# attach FILE [LOSETUP OPTION...]: ./disk, a loop device over FILE in place of the
# last one; false, the case skipped, where there is none (or no Linux build, no root).
attach() {
  $linux && [[ $(id -u) == 0 ]] || { skip "needs the Linux build and root" && return 1; }
  [[ -n ${device:-} ]] && losetup -d "$device"
  device=$(losetup --find --show "${@:2}" "$1" 2>losetup.log) && ln -sfn "$device" disk ||
    { skip "no loop device: $(head -1 losetup.log)" && return 1; }
}

# Linux, as root: loop devices of 512-byte and of 4096-byte sectors, opened O_DIRECT
# (the output never). A copy cut at 1000000 bytes resumes at a whole sector of the
# device (0xF4200, 0xF4000) and ends identical; past the device's end nothing is read.
# Requests that are not whole sectors fail with 87 as on a Windows disk.
case_block_device() {
  local sector option
  for sector in 512 4096; do
    head -c $(((3 << 20) + 5 * sector)) /dev/urandom >image
    attach image --sector-size $sector || return
    head -c 1000000 image >copy
    run disk copy
    cmp -s image copy || fail "$sector-byte sectors: the resumed copy differs from its image"
    for option in /512 /1b; do run disk $option; done
  done
  { cat image && head -c 1M /dev/zero; } | tee long >long.before
  tavo disk long
  [[ $code == 0 ]] && cmp -s long long.before || fail "resumed past the device's end: the output changed"
  # A run that ends within the clock's millisecond has no error count: left out.
  sed -i '/^Total errors encountered: 1 (100.0%)\r$/d' "$work/$name.log"
  command -v strace >/dev/null || { echo "  block_device: O_DIRECT not checked: no strace" && return; }
  strace -f -e trace=openat -o opens "${emulator[@]}" "$program" disk traced </dev/null >/dev/null
  grep -q '"disk", O_RDONLY.*O_DIRECT' opens && ! grep -q '"traced", .*O_DIRECT' opens ||
    fail "the device was not opened O_DIRECT, or the output was"
}

# Linux, as root: with a map requests keep to the sector grid: a 512-edged map on a
# disk of 4096-byte sectors. (An odd-sized file read --direct on ext4: case direct.)
case_sector_grid() {
  local size=$((3 << 20))
  head -c $size /dev/urandom >image && head -c 512 image >copy
  attach image --sector-size 4096 || return
  printf '0 ? 1\n0 0x200 +\n0x200 0x%X ?\n' $((size - 512)) >map
  tavo disk copy --map=map
  [[ $code == 0 ]] && cmp -s image copy || fail "a 512-edged map on a 4096-byte disk: exit code $code, or not identical"
}

# mount_faulty [BYTES [SIZE [OPTIONS]]]: faulty_fs at ./mnt over ./data, BYTES (0x2C000)
# random bytes and zeros up to SIZE, its pid in $server, with OPTIONS (-s, one thread,
# unless given); false, the case skipped, where it cannot be mounted or no Linux build.
mount_faulty() {
  $linux || { skip "the Linux build only" && return 1; }
  [[ -n ${FAULTY_FS:-} && -c /dev/fuse ]] ||
    { skip "needs faulty_fs (built with libfuse3-dev) and /dev/fuse" && return 1; }
  head -c "${1:-$((0x2C000))}" /dev/urandom >data
  [[ -z ${2:-} ]] || truncate -s "$2" data
  mkdir -p mnt && { "$FAULTY_FS" data mnt -f ${3--s} 2>fuse.log & server=$!; }
  await eval 'mountpoint -q mnt || ended $server' && mountpoint -q mnt ||
    { skip "mounting FUSE failed: $(head -1 fuse.log)" && return 1; }
}

# Linux: a damaged medium served by the kernel (faulty_fs). An unreadable block goes
# out with zeros after the bytes before the bad sector; a missing medium is retried;
# an early end or a refused request (68 KiB of it arrived, none written) ends the run.
# With "/512" only the bad sector is zeroed. A failed close or fsync: exit code 3.
case_damaged_medium() {
  mount_faulty || return
  bytes() { tail -c +$(($1 + 1)) data | head -c "$2"; }
  run mnt/damaged copy
  cmp -s copy <(bytes 0 $((0x9400)); head -c $((0x6C00)) /dev/zero; bytes $((1 << 16)) 1M) ||
    fail "32 KiB blocks: not the data with the rest of the unreadable block zeroed"
  run mnt/damaged copy512 /512
  cmp -s copy512 <(bytes 0 $((0x9400)); head -c 512 /dev/zero; bytes $((0x9600)) 1M) ||
    fail "512-byte blocks: not the data with just the bad sector zeroed"
  run mnt/refusing copy3 /128
  cmp -s copy3 /dev/null || fail "bytes of the refused block were written"
  run data mnt/unflushable
  run data mnt/unsyncable
}

# await COMMAND...: true once COMMAND succeeds, false when 20 s pass first.
await() {
  local tries
  for ((tries = 0; tries < 400; ++tries)); do "$@" && return; sleep 0.05; done
  false
}
ended() { ! kill -0 "$1" 2>/dev/null; }
# reap PID: its exit code in $code, once it ends or, 20 s on, is killed.
reap() { await ended "$1" || kill -KILL "$1"; wait "$1"; code=$?; }

# Linux, as root: a loop device whose FUSE server is killed mid-copy: every sector
# after that is unreadable (exit code 4). Once the medium is back, the same command
# ends identical.
case_medium_drops() {
  local pid
  mount_faulty && attach mnt/stalling || return
  udevadm settle 2>/dev/null
  touch data.hold
  "${emulator[@]}" "$program" disk copy /512 </dev/null >out &
  pid=$!
  await test -e data.stalled || fail "the copy never reached the stalling sector"
  kill -KILL $server && wait $server 2>/dev/null
  reap $pid
  [[ $code == 4 ]] && grep -aq 'gle=23' out || fail "exit code $code, or no unreadable sector"
  rm data.hold && umount -l mnt && "$FAULTY_FS" data mnt -s && attach mnt/stalling || return
  run disk copy /512
  cmp -s data copy && [[ ! -e copy.tavo-map ]] ||
    fail "the run after the medium came back did not end identical, or left its map"
}

# Linux, as root: a loop device over faulty_fs fails as a disk does: a medium error
# is 23, a timeout or a transport or target failure 1117, all stepped over; a refused
# request ends the run with 87. As a file the same medium gives 31, and 59 (the
# timeout) that ends the run. The same command again resumes on the refused sector,
# still uncached: its 87 again, not 23.
case_disk_errors() {
  mount_faulty && attach mnt/disk || return
  run disk copy /512
  run disk copy /512
  grep -aq $'^00000000.00018400: Read error 0000 bytes read; gle=87\r$' "$work/out" &&
    ! grep -aq 'gle=23' "$work/out" || fail "resumed on the refused sector: not its 87 alone"
  run mnt/disk file /512
  # A run that ends within the clock's millisecond has no error count: left out.
  sed -i '/^Total errors encountered: /d' "$work/$name.log"
}

# Linux, as root: a copy onto a full tmpfs stops at the block whose write failed (exit
# code 3), though space is freed while it runs; the same command then ends identical.
case_disk_full() {
  mount_faulty || return
  mkdir full && mount -t tmpfs -o size=1m tavo-test full 2>mount.log ||
    { skip "mounting a tmpfs failed: $(head -1 mount.log)" && return; }
  local pid at size
  head -c $(((1 << 20) - (96 << 10))) /dev/zero >full/other # room for 96 KiB
  touch data.hold
  "${emulator[@]}" "$program" mnt/stalling full/copy </dev/null >out &
  pid=$!
  await grep -aq 'Write error' out || fail "no Write error line while tavo ran"
  rm full/other data.hold
  reap $pid
  at=$(grep -ao '^00000000\.[0-9a-f]*: Copy cancelled at the failed write' out)
  at=$((16#${at:9:8})) size=$(stat -c %s full/copy)
  [[ $code == 3 && $(grep -ac '^Write error: gle=112' out) == 1 ]] && ((at <= size && size <= at + 32768)) ||
    fail "exit code $code, not one Write error, or the output ($size bytes) does not end at the failed block ($at)"
  tavo mnt/stalling full/copy
  [[ $code == 0 ]] && cmp -s data full/copy || fail "the same command again: exit code $code, or not identical"
}

# show_map MAP: the map file into the transcript, its times masked.
show_map() { sed -E 's/^(# (Start|Current) time: *).*/\1<t>/' "$1" >>"$work/$name.log"; }

# judged MAP [loaded]: ddrescuelog -t reads the map and counts the bytes and areas of
# each status as tavo's last run did (its "Map" line; with "loaded", its "map" line,
# the map as the run found it). Sizes stay below 10^6 bytes, which ddrescuelog shows
# in bytes.
judged() {
  command -v ddrescuelog >/dev/null || { echo "  $name: maps not judged: no ddrescuelog (gddrescue)" && return; }
  ddrescuelog -t "$1" >judge.txt 2>&1 || { fail "ddrescuelog refused $1: $(head -1 judge.txt)" && return; }
  local kind ours theirs
  for kind in rescued non-tried non-trimmed non-scraped bad-sector; do
    ours=$(grep -ao "[ ,]$kind [0-9]* in [0-9]*" "$work/out" | if [[ ${2:-} == loaded ]]; then
      head -1; else tail -1; fi | awk '{print $2, $4}')
    theirs=$(awk -v k="$kind:" '$1 == k {print $2, $5}' judge.txt)
    [[ $ours == "$theirs" ]] || fail "$1: $kind $ours by tavo, $theirs by ddrescuelog"
  done
}

# map_holds MAP COPY INPUT: the map parses (areas from 0 in order, no gap, no overlap,
# known statuses) and each of its '+' areas is in COPY as in INPUT.
map_holds() {
  perl -e 'my ($map, $copy, $in) = @ARGV; my ($end, $status_line) = (0, 0);
    open(M, "<", $map) or die "no map\n"; open(C, "<:raw", $copy) or die; open(I, "<:raw", $in) or die;
    while (<M>) {
      next if /^#/; die "cut short\n" unless /\n\z/;
      if (!$status_line++) { /^0x[0-9A-F]+ +[-?*\/+] +1$/ or die "status line: $_"; next }
      my ($pos, $size, $s) = /^(0x[0-9A-F]+)  (0x[0-9A-F]+)  ([-?*\/+])$/ or die "area: $_";
      ($pos, $size) = (hex $pos, hex $size);
      die "gap or overlap at $pos\n" unless $pos == $end; $end = $pos + $size;
      next unless $s eq "+";
      my ($a, $b); seek(C, $pos, 0); seek(I, $pos, 0);
      (read(C, $a, $size) // 0) == $size && read(I, $b, $size) == $size && $a eq $b
        or die "rescued area $pos+$size differs\n";
    }
    die "no status line\n" unless $status_line;' "$@"
}

# Every build writes the same map bytes for the same run: a new map, one begun on a
# half-done copy, one of another tool's statuses. Maps that do not parse or fit are
# refused before anything is read or written (--map with /b, /i or no output: case
# refusals). ddrescuelog, where it is installed, agrees with each map's totals.
case_map_files() {
  perl -e 'print map { chr(33 + $_ % 89) } 0 .. 299999' >input
  run input copy --map=map
  show_map map && judged map
  head -c 100000 input >copy2
  run input copy2 --map map2
  show_map map2 && judged map2
  { head -c $((0x10000)) input && head -c $((0x10000)) /dev/zero && tail -c +$((0x20001)) input; } >copy3
  printf '%s\n' '# another tool' '0x10000 / 1' '0x0 0x10000 +' '0x10000 0x200 -' \
    '0x10200 0x7E00 *' '0x18000 0x8000 /' '0x20000 0x293E0 ?' >map3
  run input copy3 --map=map3
  show_map map3 && judged map3
  cmp -s input copy && cmp -s input copy2 && cmp -s input copy3 || fail "a mapped copy differs from its input"
  cp copy3 copy4
  local broken
  for broken in '0 + 1\n0 300000 +' '0 + 1\n0 100 +\n100 299900 x\n' '0 + 1\n0 1000 +\n' \
    '0 + 1\n0 200 +\n100 299900 ?\n' 'garbage\n'; do
    printf "$broken" | tee map4 >map4.before
    run input copy4 --map=map4
    cmp -s map4 map4.before && cmp -s copy4 copy3 && [[ -z $(ls | grep "\.tmp$") ]] ||
      fail "a refused map, or the output, changed"
  done
  # Older tools write the status line without the pass.
  head -c 100000 input >copy6
  printf '%s\n' '0x000186A0     ?' '0x00000000  0x000186A0  +' '0x000186A0  0x00030D40  ?' |
    tee map6 >map6.before
  run input copy6 --map=map6
  judged map6.before loaded
  cmp -s input copy6 || fail "the copy resumed from a map without a pass differs"
}

# Linux: a medium whose bad sectors read on a later try (faulty_fs "healing"): each
# run reads the failed areas of its map again, sector by sector, until all is rescued
# (exit code 0) and the copy is identical; --map starts from the copy's own map.
case_healing_medium() {
  mount_faulty || return
  local pass option map
  for pass in 1 2 3 4; do  # --map takes over the copy's own map of the first pass
    ((pass == 1)) && option= map=copy.tavo-map || option=--map=map map=map
    run mnt/healing copy $option
    show_map $map && judged $map
  done
  [[ $code == 0 ]] && cmp -s data copy && [[ ! -e copy.tavo-map ]] ||
    fail "not all rescued after four passes, or the copy's own map left"
  # A pass that ends within the clock's millisecond has no error count: left out.
  sed -i '/^Total errors encountered: /d' "$work/$name.log"
}

# Linux: ddrescue completes a copy from tavo's map of a medium that then heals,
# reading only what it does not mark '+'; tavo completes one that ddrescue stopped.
case_hand_over() {
  command -v ddrescue >/dev/null || { skip "needs ddrescue (Debian's gddrescue)" && return; }
  mount_faulty || return
  tavo mnt/healing copy --map=map
  [[ $code == 4 ]] && grep -q ' -$' map || fail "tavo's first pass left no bad sectors"
  cp map map.tavo && touch data.healed && : >data.reads
  ddrescue -r1 mnt/healing copy map >ddrescue.log 2>&1 || fail "ddrescue failed: $(tail -1 ddrescue.log)"
  cmp -s data copy || fail "ddrescue's completion of tavo's copy differs"
  [[ -s data.reads ]] || fail "ddrescue read nothing"
  perl -ne 'if ($ARGV eq $ARGV[-1] && !/^0x/) { next } if (/^(0x\S+)\s+(0x\S+)\s+\+$/) {
      push @r, [hex $1, hex($1) + hex $2]; next } next if /^0x|^#/; my ($o, $n) = split;
      for (@r) { die "ddrescue read $o+$n, rescued by tavo\n" if $o < $_->[1] && $o + $n > $_->[0] }' \
    map.tavo data.reads || fail "ddrescue read areas that tavo's map marks rescued"
  ddrescue -s 100000 mnt/healing copy2 map2 >ddrescue.log 2>&1
  run mnt/healing copy2 --map=map2
  show_map map2
  [[ $code == 0 ]] && cmp -s data copy2 || fail "tavo's completion of ddrescue's copy differs"
}

# stop SIGNAL COMMAND...: SIGNAL to COMMAND within 1.2 s, its exit code in $code. It
# gets back the SIGINT that a shell without job control ignores in background jobs.
stop() {
  local signal=$1
  shift
  env --default-signal=INT "$@" </dev/null >/dev/null &
  sleep "$(awk -v r=$RANDOM 'BEGIN { print r % 1200 / 1000 }')"
  kill -"$signal" $! 2>/dev/null
  { wait $!; code=$?; } 2>/dev/null
}

# Linux: copies of a worn medium with two bad sectors (faulty_fs "worn"), with and
# without --map, stopped at random moments by SIGKILL, SIGINT, SIGTERM and SIGHUP:
# the map exists from the first read, its '+' areas hold the input, and the signal
# ends the run once the map is saved. Healed, the medium is copied whole by the same
# command, and a copy's own map goes. Ctrl-C ends a run whose read hangs.
case_stopped_copies() {
  mount_faulty $((12 << 20)) || return
  local round signal map option signals=(KILL INT TERM HUP) ends=(137 130 143 129)
  for round in $(seq 16); do
    signal=${signals[round % 4]}
    ((round % 2)) && map=map option=--map=map || map=copy.tavo-map option=
    rm -f copy copy.tavo-map map data.healed
    stop "$signal" "${emulator[@]}" "$program" mnt/worn copy $option
    [[ $code == 4 ]] && continue  # done before the signal came
    [[ $code == "${ends[round % 4]}" ]] || fail "round $round: SIG$signal ended the run with $code"
    # Stopped before its map was written, a run has read nothing either.
    [[ -e $map || ! -s copy ]] || fail "round $round, $signal: a copy without a map"
    [[ -e $map ]] || continue
    map_holds "$map" copy data 2>holds.log || fail "round $round, $signal: $(cat holds.log)"
    touch data.healed
    tavo mnt/worn copy $option
    [[ $code == 0 ]] && cmp -s data copy && [[ $map == map || ! -e $map ]] ||
      fail "round $round, $signal: exit code $code, a copy that differs, or its map left"
  done
  umount -l mnt && mount_faulty 4096 "" "" || return  # threads, so that a read can hang
  env --default-signal=INT "${emulator[@]}" "$program" mnt/hanging copy2 --map=map2 </dev/null >/dev/null &
  local pid=$!
  await test -e map2 && sleep 0.2 && kill -INT $pid && await ended $pid ||
    fail "Ctrl-C did not end a run whose read hangs"
  wait $pid; code=$? && touch data.release
  umount -l mnt && { await ended $server || kill -KILL $server; }  # its hung read answered
  [[ $code == 130 ]] && ! grep -q ' +$' map2 || fail "the hanging run: exit code $code, or '+' in its map"
}

# Linux: a rescue of a 4 MiB medium whose middle eighth fails, each read there after
# 100 ms (faulty_fs "failing", 16 requests of 32 KiB): every byte past the stretch is
# read after at most half of those requests, and before any single sector of it;
# stopped by SIGINT at any moment, while it sweeps or while it scrapes, the run leaves
# a map whose '+' areas hold the input.
case_good_data_first() {
  mount_faulty $((4 << 20)) || return
  local round pid order
  for round in 1 2 3; do
    rm -f copy map data.reads
    env --default-signal=INT "${emulator[@]}" "$program" mnt/failing copy --map=map </dev/null >/dev/null &
    pid=$!
    if ((round < 3)); then sleep 0.$((round * 4)); else await grep -qs ' 512$' data.reads; fi
    kill -INT $pid
    { wait $pid; code=$?; } 2>/dev/null
    [[ $code == 130 ]] || fail "round $round: SIGINT ended the run with $code"
    map_holds map copy data 2>holds.log || fail "round $round: $(cat holds.log)"
  done
  # Past the stretch: its bytes, and the failed reads before the last of them.
  order=$(awk -v from=$((0x1C0000)) -v end=$((0x240000)) '$2 == 512 {exit}
    $1 >= end {past += $2; failed = tried} $1 >= from && $1 < end {++tried}
    END {print past + 0, failed + 0}' data.reads)
  [[ ${order% *} == $(((4 << 20) - 0x240000)) && ${order#* } -le 8 ]] ||
    fail "bytes past the failing stretch, failed reads before the last of them: $order"
}

# Linux: copies of a medium of 8 MiB, mostly zeros, that take over 5 s (faulty_fs
# "slow", 2 KiB requests). Killed past its map's first save, a plain copy resumes from
# its own map near where it stopped. An output whose first fsync fails and drops what
# it had not stored: exit code 3, and the map calls nothing rescued that it lost. The
# same command completes each.
case_slow_copies() {
  mount_faulty 4096 $((8 << 20)) || return
  "${emulator[@]}" "$program" mnt/slow copy /2 </dev/null >/dev/null &
  sleep 6.5
  kill -KILL $! 2>/dev/null; wait $! 2>/dev/null
  local kept from
  kept=$(stat -c %s copy)
  tavo mnt/slow copy
  from=$(grep -ao ' from [0-9a-f.]* ([0-9]*)' "$work/out" | tr -dc '0-9 ' | awk '{print $NF}')
  ((kept < 8 << 20 && ${from:-0} > kept / 2)) && [[ $code == 0 ]] && cmp -s data copy ||
    fail "killed at $kept: resumed from ${from:-0}, exit code $code, or not identical"
  tavo mnt/slow mnt/lossy /2 --map=map
  [[ $code == 3 ]] && map_holds map mnt/lossy data 2>holds.log ||
    fail "exit code $code, or a map that claims what the output lost: $(cat holds.log 2>/dev/null)"
  tavo mnt/slow mnt/lossy --map=map
  [[ $code == 0 ]] && cmp -s data mnt/lossy || fail "lossy: exit code $code, or not identical"
}

# Linux: a log of a copy that lasts over 10 s (faulty_fs "worn", 3 KiB requests, two
# bad sectors, the second read after a report) holds no CR, and each Progress report
# as a line of its own. A message that leaves a report follows it on the next line,
# with no empty line between, and no two empty lines stand in a row.
case_progress_log() {
  mount_faulty $((12 << 20)) || return
  "${emulator[@]}" "$program" mnt/worn copy /3 </dev/null >log
  code=$?
  local reports
  reports=$(grep -acxP "$progress" log)
  [[ $code == 4 ]] && ! grep -aq $'\r' log && ((reports >= 2)) &&
    [[ $(grep -ac ' kb - ' log) == "$reports" ]] &&
    P=$progress perl -0777 -ne 'exit !(/^$ENV{P}\n[0-9a-f.]+: Read error/m &&
      !/^$ENV{P}\n\n|\n\n\n/m)' log ||
    fail "exit code $code, $reports reports, or not one line each:"$'\n'"$(cat -A log)"
}

# Linux: a copy outlives its console. The reader of its pipe goes away at the start of
# a copy that lasts half a second (faulty_fs "slow"): the copy goes on, and ends whole
# with exit code 0 and its map gone. (A console that fails otherwise: case process.)
case_closed_console() {
  mount_faulty 4096 $((8 << 20)) || return
  local codes
  "${emulator[@]}" "$program" mnt/slow copy </dev/null | head -1 >/dev/null
  codes=${PIPESTATUS[*]}
  [[ $codes == "0 0" ]] && cmp -s data copy && [[ ! -e copy.tavo-map ]] ||
    fail "tavo mnt/slow copy | head -1: exit codes $codes, a copy that differs, or its map left"
}

# Zeros both hold prove no copy: the input to 3 MiB and zeros to 6 MiB, over an input
# with a zero sector at 5 MiB, resumes at 3 MiB. A blank, larger disk: from 0 (root).
case_zero_stretches() {
  local MiB=$((1 << 20)) spec
  head -c $((8 * MiB)) /dev/urandom >input
  dd if=/dev/zero of=input bs=512 seek=$((5 * MiB / 512)) count=1 conv=notrunc status=none
  for spec in 3:6 2:6; do
    { head -c $((${spec%:*} * MiB)) input && head -c $(((${spec#*:} - ${spec%:*}) * MiB)) /dev/zero; } >copy
    run input copy
    [[ $code == 0 ]] && cmp -s input copy && [[ ! -e copy.tavo-map ]] ||
      fail "input to ${spec%:*} MiB, zeros to ${spec#*:} MiB: exit code $code, or not identical"
  done
  $linux && [[ $(id -u) == 0 ]] || return
  { head -c $((3 * MiB)) input && head -c $MiB /dev/zero; } >small
  truncate -s $((16 * MiB)) blank
  attach blank || return
  tavo small disk
  [[ $code == 0 ]] && cmp -s -n $((4 * MiB)) small disk || fail "the blank disk: exit code $code, or not a copy"
}

# check WHAT FILE...: a result file checked by check_results.py (what it says wrong
# fails the case).
check() {
  local why
  why=$(python3 "$here/../results/check_results.py" "$@") || fail "$why"
}

# agreeing ARG...: tavo ARG... --json=r.json (its console in ./console as written),
# and the result file checked against the schema and the console.
agreeing() {
  "${emulator[@]}" "$program" "$@" --json=r.json </dev/null >console
  code=$?
  [[ -f r.json ]] || { fail "tavo $*: no result file (exit code $code)" && return 1; }
  check agrees "$schema" r.json console "$code"
}

# Result files: a copy's, valid and agreeing with the console (its rate and request
# times too), with a plain SVG chart whose average is the console's; an input's that
# cannot be opened; one that replaces an older file and leaves no temporary.
case_json() {
  head -c 3000000 /dev/urandom >data
  agreeing data copy --chart=c.svg && check svg c.svg && check average c.svg console
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

# Linux, as root: --direct on ext4 over a disk of 4096-byte sectors copies an
# odd-sized file with a map, reads uncached (a 512-byte request ends with 87); on
# tmpfs it says that uncached reads are refused and reads cached.
case_direct() {
  truncate -s 64M fs && attach fs --sector-size 4096 || return
  mkfs.ext4 -q -b 4096 disk 2>mkfs.log && mkdir mnt && mount disk mnt 2>mount.log ||
    { skip "no ext4 here: $(cat mkfs.log mount.log 2>/dev/null | head -1)" && return; }
  head -c $((8 << 20 | 123)) /dev/urandom >mnt/file
  tavo mnt/file copy --direct --map=map
  [[ $code == 0 ]] && cmp -s mnt/file copy || fail "--direct --map over an odd-sized file: exit code $code, or not identical"
  # qemu-user sets STATX_DIOALIGN in the mask but not the alignments.
  ((${#emulator[@]} == 0)) || { echo "  direct: the rest not run: qemu-user hands on no direct-I/O alignment" && return; }
  agreeing mnt/file --direct
  grep -q '"sectorSize": 4096, "cached": false' r.json || fail "not read uncached at 4096 bytes"
  tavo mnt/file /512 --direct
  grep -aq 'gle=87' "$work/out" || fail "a 512-byte request on 4096-byte sectors did not end with 87"
  mkdir full && mount -t tmpfs -o size=4m tavo-test full || { fail "no tmpfs" && return; }
  head -c 100000 /dev/urandom >full/file
  agreeing full/file --direct
  grep -aq '^Uncached reads refused (error 87): reading through the cache' console &&
    grep -q '"cached": true' r.json && ((code <= 1)) || fail "tmpfs: no refusal line, or not read cached"
}

# Linux: faulty_fs's worn medium: slow zones slower, failures at the bad sectors, and
# the chart's rate line dips.
case_profile() {
  mount_faulty $((16 << 20)) || return
  agreeing mnt/worn copy --chart=c.svg || return
  check profile r.json
  check svg c.svg && check average c.svg console && check dip c.svg r.json
  ! command -v rsvg-convert >/dev/null || rsvg-convert c.svg >/dev/null || fail "the chart does not render"
}

passed=0 failed=0
for name in ${TAVO_CLI_CASES:-usage help long_options refusals error_words process \
  slash_argument copies resume \
  open_failures name_clashes posix_names large_resume block_device sector_grid damaged_medium disk_errors \
  medium_drops disk_full map_files healing_medium hand_over stopped_copies \
  good_data_first slow_copies progress_log closed_console zero_stretches json direct profile}; do
  # A case that runs as a test of its own is passed over, in silence.
  [[ " ${TAVO_CLI_APART:-} " == *" $name "* ]] && continue
  if [[ " ${TAVO_CLI_SKIP:-} " == *" $name "* ]]; then
    echo "skip $name: left out of this build's suite (TAVO_CLI_SKIP); the Linux build runs it"
    continue
  fi
  mkdir "$work/$name" && cd "$work/$name" || exit 2
  failed_here=0 skipped_here=""
  "case_$name"
  cd "$work" && unmount && rm -rf "${work:?}/$name"
  if [[ -n $skipped_here ]] && ((!failed_here)); then
    echo "skip $name: $skipped_here" && continue
  elif [[ -f $name.log && ${TAVO_CLI_UPDATE:-} == 1 ]]; then
    cp "$name.log" "$expected/$name.out"
  elif [[ -f $name.log ]] && ! cmp -s "$expected/$name.out" "$name.log"; then
    fail "stdout differs from expected/$name.out (- expected, + actual):"
    diff <(cat -A "$expected/$name.out") <(cat -A "$name.log") | sed 's/^/    /'
  fi
  ((failed_here)) && echo "FAIL $name" && ((++failed)) || { echo "ok   $name" && ((++passed)); }
done
echo "cli: $passed passed, $failed failed"
((failed == 0))
