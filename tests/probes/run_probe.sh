#!/bin/bash
# Runs a probe program and compares its exact stdout bytes and exit code.
#   run_probe.sh EXPECTED_FILE EXIT_CODE [EMULATOR...] PROBE [ARGUMENT]
# The probe runs from a temporary directory, so any name it gets is relative.
set -uo pipefail

expected=$1
code=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && "$@" >stdout) </dev/null
actual=$?
if [[ $actual -ne $code ]]; then
  echo "exit code $actual, expected $code; stdout:"
  od -c "$work/stdout" | head -20
  exit 1
fi
if ! cmp -s "$expected" "$work/stdout"; then
  echo "stdout differs from $expected:"
  diff <(od -c "$expected") <(od -c "$work/stdout")
  exit 1
fi
echo "exit code $code, stdout as in $(basename "$expected")"
