#!/usr/bin/env bash
# Uncached file reads. tavo --direct against dd iflag=direct and fio --direct=1 on
# the same file, each run after the page cache is dropped, the order of the programs
# rotating from round to round. Replaces the section "Uncached reads" of
# bench/results.md (bench/run_profile_bench.sh measures the profile's cost).
# Figures only: nothing here passes or fails.
#   bench/run_direct_bench.sh [ROUNDS] [MIB]     (root, for dropping the cache)
set -euo pipefail
source "$(dirname "$0")/common.sh"
rounds=${1:-5} mib=${2:-1024}
work=$build/direct
heading="## Uncached reads"
[[ $(id -u) == 0 ]] || { echo "bench: dropping the page cache needs root" && exit 1; }
command -v fio >/dev/null || { echo "bench: fio is missing (apt-get install fio)" && exit 1; }
build_tavo
mkdir -p "$work" && cd "$work"
[[ $(stat -c %s in 2>/dev/null || echo 0) == $((mib << 20)) ]] || head -c $((mib << 20)) /dev/urandom >in
bytes=$((mib << 20))

cold() { sync && echo 3 >/proc/sys/vm/drop_caches; }

# Each program's own figure, bytes per second, so that start-up costs (fio's above
# all) stay out: tavo's final report, dd's summary line, fio's JSON.
tavo_rate() { "$tavo" "$@" </dev/null | tr -d '\r' | sed -n 's/.* = \([0-9]*\) Bytes\/sec$/\1/p'; }
dd_rate() {
  dd if=in of=/dev/null "$@" 2>&1 | awk '/copied/ {for (i = 1; i <= NF; ++i) if ($i ~ /^s,?$/) s = $(i - 1); print $1 / s}'
}
fio_rate() {
  fio --name=r --filename=in --rw=read --direct=1 --ioengine=psync --size=$bytes \
    --output-format=json "$@" | python3 -c 'import json,sys; print(json.load(sys.stdin)["jobs"][0]["read"]["bw_bytes"])'
}

# --- uncached reads -------------------------------------------------------------------
declare -A command=(
  [tavo_direct_32k]="tavo_rate in --direct"
  [dd_direct_32k]="dd_rate bs=32k iflag=direct"
  [fio_direct_32k]="fio_rate --bs=32k"
  [tavo_direct_1m]="tavo_rate in --direct /1024"
  [dd_direct_1m]="dd_rate bs=1M iflag=direct"
  [fio_direct_1m]="fio_rate --bs=1M"
  [tavo_cold_32k]="tavo_rate in"
  [dd_cold_32k]="dd_rate bs=32k"
)
names=(tavo_direct_32k dd_direct_32k fio_direct_32k tavo_direct_1m dd_direct_1m fio_direct_1m
  tavo_cold_32k dd_cold_32k)
for round in $(seq "$rounds"); do
  for i in "${!names[@]}"; do
    name=${names[$(((i + round) % ${#names[@]}))]}
    cold
    # shellcheck disable=SC2086
    figures[$name]+="$(${command[$name]}) "
  done
  echo "bench: uncached round $round of $rounds"
done
mbs() { values "$1" | median | awk '{printf "%.1f", $1 / 1e6}'; }
warm=$(for _ in $(seq "$rounds"); do tavo_rate in; done | median | awk '{printf "%.1f", $1 / 1e6}')

section=$(cat <<EOF2
$heading

Written by \`make bench\` (bench/run_direct_bench.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'),
$(nproc) cores, Linux $(uname -r), a ${mib} MiB file on $(df --output=fstype . | tail -1) ($(df --output=source . | tail -1)).
Each program's own rate (tavo's final report, dd's summary, fio's JSON bw_bytes), the
median over $rounds rounds, the page cache dropped before every run, the order of the
programs rotating from round to round; MB/s is 10^6 bytes per second. Ratios are
medians of the ratios within a round. fio: one job, psync, sequential.

| program | requests | MB/s | tavo / it |
|---|---|---|---|
| tavo --direct | 32 KiB | $(mbs tavo_direct_32k) | |
| dd iflag=direct | 32 KiB | $(mbs dd_direct_32k) | $(ratio tavo_direct_32k dd_direct_32k) |
| fio --direct=1 | 32 KiB | $(mbs fio_direct_32k) | $(ratio tavo_direct_32k fio_direct_32k) |
| tavo --direct | 1 MiB | $(mbs tavo_direct_1m) | |
| dd iflag=direct | 1 MiB | $(mbs dd_direct_1m) | $(ratio tavo_direct_1m dd_direct_1m) |
| fio --direct=1 | 1 MiB | $(mbs fio_direct_1m) | $(ratio tavo_direct_1m fio_direct_1m) |
| tavo, cached, cache dropped | 32 KiB | $(mbs tavo_cold_32k) | |
| dd, cached, cache dropped | 32 KiB | $(mbs dd_cold_32k) | $(ratio tavo_cold_32k dd_cold_32k) |
| tavo, cached, second run | 32 KiB | $warm | |
EOF2
)
replace_section "$heading" "$section"
