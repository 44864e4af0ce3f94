#!/bin/bash
# Runs a Windows program under wine in a prefix of its own.
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENT...]
#   wine-run.sh PREFIX --init        (makes the prefix and starts wine's servers)
# The prefix is made on first use under a lock, so that tests started in parallel
# neither race wineboot nor run in a half-made prefix. The program's exit code is
# passed on; wine's own chatter is silenced.
set -euo pipefail

prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [[ ! -e $prefix/.tavo-ready ]]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [[ ! -e $prefix/.tavo-ready ]]; then
    rm -rf "$prefix"
    if ! wineboot --init </dev/null >"$prefix.log" 2>&1; then
      echo "wine-run.sh: wineboot failed to make $prefix:" >&2
      cat "$prefix.log" >&2
      exit 125
    fi
    wineserver -w  # the registry is written when the server ends
    touch "$prefix/.tavo-ready"
  fi
  exec 9>&-
fi

# Keep the prefix's wineserver running for a while after each program ends, so that
# a series of runs (a test suite) shares one server and one set of wine's system
# processes instead of starting them for every program. Fails when one already runs.
wineserver -p20 </dev/null >/dev/null 2>&1 || true

if [[ ${1-} == --init ]]; then
  # Start wine's system processes now, holding no caller's stdout or stderr.
  # Otherwise the first program started them, they inherited its stdout and stderr
  # and kept them open until the server ended, and whoever read those (a pipe,
  # CTest) waited that long.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
  exit 0
fi
exec wine "$@"
