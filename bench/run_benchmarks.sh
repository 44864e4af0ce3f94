#!/usr/bin/env bash
# Read and copy speed against the system's own tools, and the cost of an iteration
# of the read loop with one-byte requests (where key polling would show). Figures
# only: nothing here passes or fails. Usage: bench/run_benchmarks.sh [size-in-MiB]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
size_mib=${1:-512}
build="$top/build/bench"
work="$build/data"

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVO_TESTS=OFF >/dev/null
cmake --build "$build" --target tavo -j"$(nproc)" >/dev/null
tavo="$build/tavo"
mkdir -p "$work"
cd "$work"
if [ "$(stat -c %s sample 2>/dev/null || echo 0)" -ne $((size_mib << 20)) ]; then
  head -c $((size_mib << 20)) /dev/urandom >sample
fi
head -c 65536 sample >small

if command -v hyperfine >/dev/null; then
  echo "== reading $size_mib MiB from the page cache =="
  hyperfine -N --warmup 2 --runs 10 \
    "$tavo sample" \
    "$tavo sample /1024" \
    "dd if=sample of=/dev/null bs=32k status=none" \
    "cat sample"
  echo "== copying $size_mib MiB =="
  hyperfine --warmup 1 --runs 5 \
    "$tavo sample copy.tavo /n" \
    "dd if=sample of=copy.dd bs=32k conv=notrunc status=none" \
    "cp sample copy.cp"
  echo "== 64 KiB in one-byte requests, stdin not a terminal and on a pseudo-terminal =="
  hyperfine -N --warmup 2 --runs 10 \
    "$tavo small /1b" \
    "script -qec '$tavo small /1b' /dev/null"
else
  echo "hyperfine is not installed; skipping the timed comparisons"
fi

if command -v valgrind >/dev/null; then
  echo "== instructions per one-byte iteration (callgrind, repeatable) =="
  for bytes in 16384 65536; do
    head -c "$bytes" sample >calls
    total=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$tavo" calls /1b 2>&1 |
      sed -n 's/.*Collected : //p')
    echo "$bytes reads: $total instructions"
  done
  echo "(the difference over 49152 more reads is the cost of one iteration)"
fi
