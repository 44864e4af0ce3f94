#!/bin/bash
# Each libFuzzer target for SECONDS over corpus/NAME; new finds go to a scratch
# directory, a failing input to BUILD/artifacts/NAME-*.
#   run_fuzzers.sh SECONDS BUILD_DIR     (the fuzzers in BUILD_DIR/tests/fuzz)
set -uo pipefail
seconds=$1 build=$2
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"
status=0
for name in command_line real_text map_parser; do
  mkdir "$work/$name"
  if "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
    -artifact_prefix="$build/artifacts/$name-" "$work/$name" "$corpus/$name" >"$work/log" 2>&1; then
    echo "fuzz $name: $seconds s, no fault"
  else
    echo "fuzz $name: FAILED" && status=1
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written|^0x' "$work/log" | head -20
  fi
done
exit $status
