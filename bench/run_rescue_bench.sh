#!/usr/bin/env bash
# The good data first: a rescue of a medium whose middle eighth fails, each read there
# after 100 ms (faulty_fs "failing", 64 MiB), stopped by SIGINT after a fixed time:
# the bytes that tavo --map and ddrescue with a mapfile call rescued in their maps.
# Replaces the section "A failing medium" of bench/results.md. Figures only: nothing
# here passes or fails.
#   bench/run_rescue_bench.sh [ROUNDS] [SECONDS]     (root, for FUSE)
set -euo pipefail
source "$(dirname "$0")/common.sh"
rounds=${1:-3} seconds=${2:-10}
work=$build/rescue
for tool in ddrescue pkg-config; do
  command -v $tool >/dev/null || { echo "bench: $tool is missing" && exit 1; }
done
[[ -c /dev/fuse ]] || { echo "bench: /dev/fuse is missing" && exit 1; }
build_tavo
# shellcheck disable=SC2046
g++ -O2 -o "$build/faulty_fs" "$top/tests/fuse/faulty_fs.cc" $(pkg-config --cflags --libs fuse3)
mkdir -p "$work" && cd "$work"
findmnt -rn mnt >/dev/null 2>&1 && fusermount3 -u mnt
[[ $(stat -c %s data 2>/dev/null || echo 0) == $((64 << 20)) ]] || head -c $((64 << 20)) /dev/urandom >data
mkdir -p mnt && "$build/faulty_fs" data mnt -s
trap 'fusermount3 -u "$work/mnt"' EXIT

# The bytes a map calls rescued.
rescued() {
  python3 -c 'import sys
print(sum(int(f[1], 0) for f in (l.split() for l in open(sys.argv[1]))
          if len(f) == 3 and not f[0].startswith("#") and f[2] == "+"))' "$1"
}
# A program started in the background of a script ignores SIGINT unless told not to.
stopped_after() {
  env --default-signal=INT "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$seconds"
  kill -INT $pid
  wait $pid || true
}

echo "bench: the good data first, $rounds rounds of $seconds s each"
readable=$((56 << 20))
tavo_bytes=() ddrescue_bytes=() ratios=()
for ((round = 0; round < rounds; ++round)); do
  rm -f copy map dcopy dmap
  stopped_after "$tavo" mnt/failing copy --map=map
  stopped_after ddrescue mnt/failing dcopy dmap
  t=$(rescued map) d=$(rescued dmap)
  tavo_bytes+=("$t") ddrescue_bytes+=("$d")
  ratios+=("$(awk -v t="$t" -v d="$d" 'BEGIN {print d ? t / d : "inf"}')")
done
section=$(
  cat <<EOF2
## A failing medium: the good data first

Written by \`make bench\` (bench/run_rescue_bench.sh) on $(date -u '+%Y-%m-%d %H:%M UTC').
A 64 MiB FUSE medium whose middle 8 MiB fail, each read there after 100 ms
(tests/fuse/faulty_fs.cc, "failing"); each program run with a map and stopped by
SIGINT after $seconds s, then the bytes its map calls rescued; $readable bytes can be
read. Median of $rounds rounds (each: tavo, then ddrescue $(ddrescue --version | head -1 | awk '{print $NF}')).

| tavo --map bytes | ddrescue bytes | tavo / ddrescue |
|---|---|---|
| $(printf '%s\n' "${tavo_bytes[@]}" | median) | $(printf '%s\n' "${ddrescue_bytes[@]}" | median) | $(printf '%s\n' "${ratios[@]}" | median) |
EOF2
)
replace_section "## A failing medium: the good data first" "$section"
