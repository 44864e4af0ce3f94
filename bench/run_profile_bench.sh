#!/usr/bin/env bash
# The read loop with and without the profile (--json keeps it: zones, and each
# request timed on the fine clock), over a page-cached file: tavo's own rate (the
# loop's time; writing the file afterwards is not in it) at 512-byte requests, where
# the loop makes the most iterations and a clock read weighs most, and at 32 KiB.
# Rounds alternate which of the two goes first; a round's rate at 32 KiB, whose runs
# are short against the clock's tick, is the median of five runs. A ratio is the
# median of the ratios within a round, so that a machine whose speed drifts biases
# none. Replaces the
# section "The read loop and the profile" of bench/results.md. Figures only.
#   bench/run_profile_bench.sh [ROUNDS] [MIB]
set -euo pipefail
source "$(dirname "$0")/common.sh"
rounds=${1:-9} mib=${2:-1024}
work=$build/profile
heading="## The read loop and the profile"
build_tavo
mkdir -p "$work" && cd "$work"
[[ $(stat -c %s in 2>/dev/null || echo 0) == $((mib << 20)) ]] || head -c $((mib << 20)) /dev/urandom >in
cat in >/dev/null
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

tavo_rate() { "$tavo" "$@" </dev/null | tr -d '\r' | sed -n 's/.* = \([0-9]*\) Bytes\/sec$/\1/p'; }

for round in $(seq "$rounds"); do
  for variant in $( ((round % 2)) && echo "plain profile" || echo "profile plain"); do
    extra=()
    [[ $variant == profile ]] && extra=(--json=loop.json)
    for option in /512:1 /32:5; do
      runs=${option#*:} option=${option%:*}
      figures[$variant$option]+="$(for _ in $(seq "$runs"); do tavo_rate in $option "${extra[@]}"; done |
        median) "
    done
  done
  echo "bench: profile round $round of $rounds"
done
mibs() { values "$1" | median | awk '{printf "%.1f", $1 / 1048576}'; }
range() { paste <(values "$1") <(values "$2") | awk '{print $1 / $2}' | sort -g |
  awk 'NR == 1 {low = $1} {high = $1} END {printf "%.2f to %.2f", low, high}'; }
zones=$(grep -c '"offset": [0-9]*, "bytes"' loop.json)

section=$(cat <<EOF2
$heading

Written by \`make bench\` (bench/run_profile_bench.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'),
$(nproc) cores, Linux $(uname -r), a ${mib} MiB page-cached file; load average before:
$load_before, after: $(cut -d' ' -f1-3 /proc/loadavg).
tavo's own rate (MiB/s, the final report's Mb/sec) without and with the profile
(\`--json\`; $zones zones here), whose requests are each timed on the fine clock
(QueryPerformanceCounter; clock_gettime(CLOCK_MONOTONIC) on Linux), median over
$rounds rounds alternating which goes first (at 32 KiB each round's rate is the
median of five runs); with / without is the median of the ratios within a round
(lowest to highest round):

| requests | without MiB/s | with MiB/s | with / without |
|---|---|---|---|
| 512 B | $(mibs plain/512) | $(mibs profile/512) | $(ratio profile/512 plain/512) ($(range profile/512 plain/512)) |
| 32 KiB | $(mibs plain/32) | $(mibs profile/32) | $(ratio profile/32 plain/32) ($(range profile/32 plain/32)) |
EOF2
)
replace_section "$heading" "$section"
