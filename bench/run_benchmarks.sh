#!/usr/bin/env bash
# tavo against the floor for its work (bench/bare_loop.c: one pread per request, and
# one pwrite per block when copying) and against dd, on the same page-cached files;
# the system calls and user-space instructions of one iteration; peak memory; and,
# as root, a real disk. Writes bench/results.md and bench/results.png. Figures only:
# nothing here passes or fails.
#   bench/run_benchmarks.sh [ROUNDS]      (BENCH_DISK_SECONDS=0 skips the disk)
set -euo pipefail
source "$(dirname "$0")/common.sh"
rounds=${1:-9}
disk_seconds=${BENCH_DISK_SECONDS:-10}
work=$build/data
chart=$top/bench/results.png

# --- what the benchmark needs -------------------------------------------------------
tools=(hyperfine:hyperfine gnuplot:gnuplot-nox strace:strace valgrind:valgrind
  /usr/bin/time:time hdparm:hdparm script:bsdutils cc:gcc cmake:cmake ddrescue:gddrescue)
missing=()
for tool in "${tools[@]}"; do
  command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    echo "bench: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    install=(apt-get install -y -q --no-install-recommends "${missing[@]}")
    "${install[@]}" </dev/null >/dev/null ||
      { apt-get update -q >/dev/null && "${install[@]}" </dev/null >/dev/null; } ||
      echo "bench: apt-get could not install everything"
  fi
  for tool in hyperfine gnuplot strace valgrind /usr/bin/time script; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing" && exit 1; }
  done
fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# --- the programs: tavo as `make` builds it, the bare loop, an empty program ----------
build_tavo
bare=$build/bare_loop
empty=$build/empty
cc -O2 -o "$bare" "$top/bench/bare_loop.c"
echo 'int main(void) { return 0; }' | cc -O2 -x c -o "$empty" -
mkdir -p "$work"
cd "$work"
make_input() {  # make_input NAME MIB
  [[ $(stat -c %s "$1" 2>/dev/null || echo 0) -eq $(($2 << 20)) ]] ||
    head -c $(($2 << 20)) /dev/urandom >"$1"
}
make_input in2m 2
make_input in4m 4
make_input in8m 8
make_input in256m 256
make_input in1g 1024

# --- wall time ----------------------------------------------------------------------
# Each round times the three commands with hyperfine, after a warm-up run of each, in
# an order that rotates from round to round; a ratio is the median over the rounds of
# the ratio within a round, so that a machine whose speed drifts biases no ratio.
table_rows=()
chart_rows=()
time_case() {  # time_case LABEL RUNS TAVO BARE DD
  local label=$1 runs=$2 commands=("$3" "$4" "$5") log="$build/round.csv" round i
  local tavo_times=() bare_times=() dd_times=() vs_bare=() vs_dd=()
  echo "bench: $label"
  for ((round = 0; round < rounds; ++round)); do
    local order=() medians=()
    for i in 0 1 2; do order+=("${commands[(i + round) % 3]}"); done
    hyperfine -N --warmup 1 --runs "$runs" --export-csv "$log" "${order[@]}" \
      >/dev/null 2>>"$build/hyperfine-warnings.txt"
    for i in 0 1 2; do  # back from the rotated order
      medians[(i + round) % 3]=$(awk -F, -v row=$((i + 2)) 'NR == row {print $4}' "$log")
    done
    tavo_times+=("${medians[0]}") bare_times+=("${medians[1]}") dd_times+=("${medians[2]}")
    vs_bare+=("$(awk -v a="${medians[0]}" -v b="${medians[1]}" 'BEGIN {print a / b}')")
    vs_dd+=("$(awk -v a="${medians[0]}" -v b="${medians[2]}" 'BEGIN {print a / b}')")
  done
  local t b d rb rd spread
  t=$(printf '%s\n' "${tavo_times[@]}" | median)
  b=$(printf '%s\n' "${bare_times[@]}" | median)
  d=$(printf '%s\n' "${dd_times[@]}" | median)
  rb=$(printf '%s\n' "${vs_bare[@]}" | median)
  rd=$(printf '%s\n' "${vs_dd[@]}" | median)
  spread=$(printf '%s\n' "${vs_bare[@]}" | sort -g | sed -n '1p;$p' | paste -sd' ')
  table_rows+=("$(awk -v l="$label" -v t="$t" -v b="$b" -v d="$d" -v rb="$rb" -v rd="$rd" \
    -v s="$spread" 'BEGIN {split(s, r, " ");
      printf "| %s | %.3f | %.3f | %.3f | %.3f (%.2f to %.2f) | %.3f |", l, t, b, d, rb, r[1], r[2], rd}')")
  chart_rows+=("\"$label\" $rb $(awk -v t="$t" -v b="$b" -v d="$d" 'BEGIN {print d / b}')")
}

time_case "1 B, 2 MiB" 1 "$tavo in2m /1b" "$bare in2m 1" \
  "dd if=in2m of=/dev/null bs=1 status=none"
time_case "512 B, 256 MiB" 3 "$tavo in256m /512" "$bare in256m 512" \
  "dd if=in256m of=/dev/null bs=512 status=none"
time_case "32 KiB, 1 GiB" 10 "$tavo in1g" "$bare in1g 32768" \
  "dd if=in1g of=/dev/null bs=32k status=none"
time_case "1 MiB, 1 GiB" 10 "$tavo in1g /1024" "$bare in1g 1048576" \
  "dd if=in1g of=/dev/null bs=1M status=none"
# Every copy overwrites the blocks of an output that the warm-up run wrote.
time_case "copy 32 KiB, 256 MiB" 10 "$tavo in256m copy.tavo /n" \
  "$bare in256m 32768 copy.bare" "dd if=in256m of=copy.dd bs=32k conv=notrunc,fsync status=none"

# --- a copy's own map, kept beside the output, against none ---------------------------
# A file at the map's name that tavo did not write keeps it from keeping one. Each
# round runs the two in turn, its order swapped from round to round.
echo "bench: a copy's own map"
echo "not a map of tavo's" >copy.plain.tavo-map
record_ratios=()
for ((round = 0; round < rounds; ++round)); do
  pair=("$tavo in256m copy.kept /n" "$tavo in256m copy.plain /n")
  ((round % 2)) && pair=("${pair[1]}" "${pair[0]}")
  hyperfine -N --warmup 1 --runs 10 --export-csv "$build/record.csv" "${pair[@]}" \
    >/dev/null 2>>"$build/hyperfine-warnings.txt"
  record_ratios+=("$(awk -F, -v swap=$((round % 2)) 'NR == 2 {a = $4} NR == 3 {b = $4}
    END {print swap ? b / a : a / b}' "$build/record.csv")")
done
record_ratio=$(printf '%s\n' "${record_ratios[@]}" | median)
record_spread=$(printf '%s\n' "${record_ratios[@]}" | sort -g | sed -n '1p;$p' | paste -sd' ')

# --- maps of many areas -----------------------------------------------------------------
# One run over a map of N areas, alternately a rescued sector and two bad ones, that
# tries each bad sector once more: tavo --map against ddrescue -r1, on the same input,
# output and map. Each update of the map is one area split or merged.
map_rows=()
if command -v ddrescue >/dev/null; then
  echo "bench: maps of many areas"
  cp in1g map.copy
  seconds() {
    local start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN {print a - b}'
  }
  for areas in 10000 100000 1000000; do
    awk -v n=$areas 'BEGIN { print "0 - 1"; for (i = 0; i < n / 2; ++i)
      printf "0x%X 0x200 +\n0x%X 0x400 -\n", 1536 * i, 1536 * i + 512
      printf "0x%X 0x%X +\n", 768 * n, 1073741824 - 768 * n }' >areas.map
    cp areas.map tavo.map && t=$(seconds "$tavo" in1g map.copy --map=tavo.map)
    cp areas.map ddrescue.map && d=$(seconds ddrescue -q -r1 in1g map.copy ddrescue.map)
    map_rows+=("$(awk -v n=$areas -v t="$t" -v d="$d" 'BEGIN {
      printf "| %d | %.2f | %.2f | %.3f |", n, t, d, t / d}')")
  done
fi

# --- per iteration: system calls and user-space instructions --------------------------
# The difference between an 8 MiB and a 4 MiB input read with 512-byte requests: 8192
# more iterations, start-up and the end of the run cancelled out.
# stdin is not a terminal here, so tavo polls no keys; the last row gives it one.
syscalls() {
  strace -c -f -o "$build/strace.txt" "$@" </dev/null >/dev/null
  awk '$NF == "total" {print $4}' "$build/strace.txt"
}
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null </dev/null |
    sed -n 's/.*Collected : //p'
}
per_iteration() {  # per_iteration COUNTER COMMAND-WITH-@IN@...
  local counter=$1 small large
  shift
  small=$("$counter" "${@//@IN@/in4m}")
  large=$("$counter" "${@//@IN@/in8m}")
  awk -v s="$small" -v l="$large" 'BEGIN {printf "%.2f", (l - s) / 8192}'
}
count_rows=()
count_case() {  # count_case LABEL COMMAND-WITH-@IN@...
  count_rows+=("| $1 | $(per_iteration syscalls "${@:2}") | $(per_iteration instructions "${@:2}") |")
}
echo "bench: counting"
count_case "tavo, read" "$tavo" @IN@ /512
count_case "bare loop, read" "$bare" @IN@ 512
count_case "tavo, copy" "$tavo" @IN@ copy.count /n /512
count_case "bare loop, copy" "$bare" @IN@ 512 copy.count
# tavo again with a terminal on stdin (from `script`), where each key poll looks at
# the clock and the terminal is read once per clock tick.
terminal_count() {  # terminal_count COUNTER: figure per iteration, stdin a terminal
  local figures=()
  for input in in4m in8m; do
    if [[ $1 == syscalls ]]; then
      script -qec "strace -c -f -o '$build/strace.txt' '$tavo' $input /512" /dev/null >/dev/null
      figures+=("$(awk '$NF == "total" {print $4}' "$build/strace.txt")")
    else
      figures+=("$(script -qec "valgrind --tool=callgrind --callgrind-out-file=/dev/null '$tavo' $input /512" /dev/null |
        tr -d '\r' | sed -n 's/.*Collected : //p')")
    fi
  done
  awk -v s="${figures[0]}" -v l="${figures[1]}" 'BEGIN {printf "%.2f", (l - s) / 8192}'
}
count_rows+=("| tavo, read, stdin a terminal | $(terminal_count syscalls) | $(terminal_count instructions) |")

# --- peak memory --------------------------------------------------------------------
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null </dev/null | tail -1; }
empty_kib=$(peak_kib "$empty")
memory_rows=("| empty C program | $empty_kib | |"
  "| bare loop, 32 KiB | $(peak_kib "$bare" in1g 32768) | |"
  "| tavo, 32 KiB | $(peak_kib "$tavo" in1g) | $((empty_kib + 32 + 2048)) |"
  "| tavo /1024, 1 MiB | $(peak_kib "$tavo" in1g /1024) | $((empty_kib + 1024 + 2048)) |")

# --- a real disk --------------------------------------------------------------------
# The first whole disk in name order, as tavo numbers them ("0:"). Where it cannot be
# opened (a container, a guest without the device), a loop device over the 1 GiB
# input, reading its file with O_DIRECT, so that every read reaches the disk below.
# Each program reads for a fixed time or to the end, with the device's cached blocks
# dropped first; tavo is stopped with ESC through a terminal. dd reads as tavo
# does (32 KiB) uncached with O_DIRECT, and buffered; hdparm times direct reads.
disk_rows=()
first_disk() {
  local entry
  for entry in $(ls /sys/block | sort); do
    [[ $entry == loop* || $entry == ram* || $entry == zram* ]] && continue
    echo "/dev/${entry//!//}"
    return
  done
}
readable() { dd if="$1" of=/dev/null bs=4k count=1 status=none 2>/dev/null; }
mib_per_s() { awk -v b="$1" -v s="$2" 'BEGIN {printf "%.1f", (s > 0 ? b / s / 1048576 : 0)}'; }
dd_for() {  # dd_for DEVICE [FLAG]: MiB/s over disk_seconds or to the end
  local line
  blockdev --flushbufs "$1"
  line=$(timeout -s INT "$disk_seconds" dd if="$1" of=/dev/null bs=32k ${2:+iflag=$2} 2>&1 |
    grep copied || true)
  mib_per_s "$(awk '{print $1}' <<<"$line")" "$(sed 's/.*copied, \([0-9.]*\) s.*/\1/' <<<"$line")"
}
tavo_for() {  # tavo_for ARGUMENT DEVICE: MiB/s over disk_seconds or to the end
  local report bytes seconds
  blockdev --flushbufs "$2"
  report=$({ sleep "$disk_seconds" && printf '\033' && sleep 2; } |
    script -qec "$tavo $1" /dev/null | tr -d '\r')
  bytes=$(sed -n 's/^Read: \([0-9]*\) bytes.*/\1/p' <<<"$report" | tail -1)
  seconds=$(sed -n 's/.*Elapsed time: \([0-9.]*\) seconds.*/\1/p' <<<"$report" | tail -1)
  mib_per_s "${bytes:-0}" "${seconds:-0}"
}
disk=$(first_disk)
loop=""
if ((disk_seconds == 0)); then
  disk_note="Skipped (BENCH_DISK_SECONDS=0)."
elif [[ $(id -u) -ne 0 ]]; then
  disk_note="Skipped: reading a disk needs root."
else
  if [[ -n $disk ]] && readable "$disk"; then
    device=$disk argument=0:
    disk_note="Device: $disk, the first disk (\"0:\"), ${disk_seconds} s per program."
  elif loop=$(losetup -f --show -r --direct-io=on in1g 2>/dev/null) && readable "$loop"; then
    device=$loop argument=$loop
    disk_note="${disk:-No disk} could not be opened here; instead $loop, a loop device over a 1 GiB file that it reads with O_DIRECT, on the disk that holds build/, read to its end (at most ${disk_seconds} s) by each program."
  else
    device=""
    disk_note="Skipped: ${disk:-no disk} could not be opened, and no loop device could be set up."
  fi
  if [[ -n $device ]]; then
    echo "bench: reading $device"
    disk_rows+=("| tavo $argument (32 KiB requests, uncached: O_DIRECT) | $(tavo_for "$argument" "$device") |")
    disk_rows+=("| dd bs=32k (buffered) | $(dd_for "$device") |")
    disk_rows+=("| dd bs=32k iflag=direct | $(dd_for "$device" direct) |")
    if command -v hdparm >/dev/null; then
      rate=$(hdparm -t --direct "$device" 2>/dev/null | sed -n 's/.*= *\([0-9.]*\) MB\/sec.*/\1/p')
      disk_rows+=("| hdparm -t --direct (2 MiB requests, MB = 2^20 bytes) | ${rate:-n/a} |")
    fi
  fi
  [[ -n $loop ]] && losetup -d "$loop"
fi
echo "bench: disk: $disk_note"

# --- results.md and the chart -------------------------------------------------------
machine="$(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), Linux $(uname -r), $(awk '/MemTotal/ {printf "%d GiB", $2 / 1048576}' /proc/meminfo) RAM"
{
  echo "# Benchmark results"
  echo
  echo "Written by \`make bench\` on $(date -u '+%Y-%m-%d %H:%M UTC'). Machine: $machine;"
  echo "load average before the run: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo
  echo "## Page-cached files"
  echo
  echo "Median seconds over $rounds rounds (each the median of hyperfine runs after a"
  echo "warm-up run; the order of the three commands rotates from round to round);"
  echo "ratios are medians of the ratios within a round. Bare loop: bench/bare_loop.c;"
  echo "copies overwrite an output of the input's size in place and flush it to its"
  echo "medium at the end (tavo /n, the bare loop with pwrite and fsync, dd"
  echo "conv=notrunc,fsync). On a shared virtual machine single rounds scatter"
  echo "by several per cent, as the range of the rounds shows."
  echo
  echo "| requests, input | tavo s | bare loop s | dd s | tavo / bare loop (lowest to highest round) | tavo / dd |"
  echo "|---|---|---|---|---|---|"
  printf '%s\n' "${table_rows[@]}"
  echo
  echo "![tavo and dd against the bare loop](results.png)"
  echo
  echo "## Maps of many areas"
  echo
  echo "One run over a map of N areas of a 1 GiB input (alternately a rescued sector and"
  echo "two bad ones, each bad sector tried once more), seconds: tavo --map against"
  echo "ddrescue -r1 on the same map, input and output."
  echo
  if ((${#map_rows[@]})); then
    echo "| areas | tavo s | ddrescue s | tavo / ddrescue |"
    echo "|---|---|---|---|"
    printf '%s\n' "${map_rows[@]}"
  else
    echo "Skipped: ddrescue (Debian's gddrescue) is not installed."
  fi
  echo
  echo "## A copy's own map"
  echo
  echo "The copy of 256 MiB in 32 KiB requests with its own map beside the output"
  echo "(written before the first read, saved every 5 s, removed once the copy is whole)"
  echo "against the same copy keeping none: median ratio of the times over $rounds rounds,"
  echo "$record_ratio (lowest to highest round: $record_spread)."
  echo
  echo "## Per iteration"
  echo
  echo "Reading (or copying) 8 MiB minus 4 MiB, in 512-byte requests, divided by the 8192"
  echo "more iterations: system calls (strace -c -f) and user-space instructions"
  echo "(valgrind --tool=callgrind). Under valgrind the clock is a system call, whose"
  echo "instructions are not counted; natively it is read in user space (the vDSO)."
  echo "With a terminal, the terminal is read once per 1 to 10 ms clock tick; valgrind"
  echo "runs the program far slower, so that row overstates those reads per iteration."
  echo
  echo "| program | system calls | instructions |"
  echo "|---|---|---|"
  printf '%s\n' "${count_rows[@]}"
  echo
  echo "## Peak memory"
  echo
  echo "Maximum resident set size (/usr/bin/time), KiB; the limit is the empty program's"
  echo "figure plus the buffer plus 2 MiB."
  echo
  echo "| program | peak KiB | limit KiB |"
  echo "|---|---|---|"
  printf '%s\n' "${memory_rows[@]}"
  echo
  echo "## A real disk"
  echo
  echo "$disk_note"
  if ((${#disk_rows[@]})); then
    echo
    echo "| program | MiB/s |"
    echo "|---|---|"
    printf '%s\n' "${disk_rows[@]}"
  fi
} >"$results"

printf '%s\n' "${chart_rows[@]}" >"$build/chart.dat"
gnuplot <<EOF
set terminal pngcairo size 900,420 font ",11"
set output "$chart"
set title "Wall time relative to the bare pread loop (page-cached input; lower is faster)"
set style data histogram
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set boxwidth 0.9
set yrange [0:*]
set grid ytics
set key top right
set arrow from graph 0, first 1 to graph 1, first 1 nohead dt 2 lw 1.5
plot "$build/chart.dat" using 2:xtic(1) title "tavo / bare loop", \
     "" using 3 title "dd / bare loop"
EOF
cat "$results"
