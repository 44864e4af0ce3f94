# What the section scripts of `make bench` share: where things are, tavo built as the
# benchmarks build it, the median of numbers, and replacing a section of results.md.
# Sourced; sets top, build, results and tavo.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$top/build/bench
results=$top/bench/results.md
tavo=$build/tavo

build_tavo() {
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_TESTS=OFF >/dev/null
  cmake --build "$build" --target tavo -j2 >/dev/null
}

median() { sort -g | awk '{v[NR] = $1} END {print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# What a section measures, gathered per name as space-separated figures, a round's
# figure in each; a name's figures one a line, and the median of two names' ratios
# within a round (which cancels what changes from round to round).
declare -A figures
values() { tr ' ' '\n' <<<"${figures[$1]}" | grep .; }
ratio() { paste <(values "$1") <(values "$2") | awk '{print $1 / $2}' | median | awk '{printf "%.3f", $1}'; }

# replace_section HEADING TEXT: TEXT, which begins with HEADING, in place of the
# section of results.md under HEADING, at the end; then shows it.
replace_section() {
  [[ -f $results ]] || echo "# Benchmark results" >"$results"
  awk -v heading="$1" '/^## / {skip = $0 == heading} !skip' "$results" >"$results.new"
  printf '%s\n' "$2" >>"$results.new"
  mv "$results.new" "$results"
  echo "$2"
}
