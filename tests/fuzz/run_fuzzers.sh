#!/bin/bash
# Runs each libFuzzer target for SECONDS over its corpus in corpus/NAME. What a run
# finds that is new stays in a scratch directory; an input that fails is kept as
# BUILD/artifacts/NAME-* and its bytes shown, to be fixed and added to the corpus.
#   run_fuzzers.sh SECONDS BUILD_DIR     (the fuzzers in BUILD_DIR/tests/fuzz)
set -uo pipefail
seconds=$1 build=$2
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"
status=0
for name in command_line real_text; do
  mkdir "$work/$name"
  # Arguments of 10,000 characters and hundreds of arguments need long inputs.
  if "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
    "$work/$name" "$corpus/$name" >"$work/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    echo "fuzz $name: ${runs:-?} inputs in ${seconds} s, no fault"
  else
    echo "fuzz $name: FAILED (exit $?)"
    status=1
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written|^0x' "$work/$name.log" | head -20
  fi
done
exit $status
