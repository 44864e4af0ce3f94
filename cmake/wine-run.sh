#!/bin/bash
# Runs a Windows program under wine in a prefix of its own.
#   wine-run.sh win32|win64 PREFIX PROGRAM.exe [ARGUMENT...]
#   wine-run.sh win32|win64 PREFIX --init    (makes the prefix, starts wine's servers)
#   wine-run.sh win32|win64 --probe          (can this machine run that loader at all?)
# win32 runs 32-bit programs through wine's 32-bit loader, an i386 ELF program that a
# kernel without 32-bit emulation refuses; win64 runs 64-bit programs through wine64,
# which needs no 32-bit support. The loader is named explicitly, since Debian's `wine`
# picks the 32-bit one whenever it is installed, runnable or not.
# The prefix is made on first use under a lock, so that tests started in parallel
# neither race wineboot nor run in a half-made prefix. The program's exit code is
# passed on; wine's own chatter is silenced.
set -euo pipefail

arch=$1
shift
case $arch in
  win32) loader=wine ;;
  win64) loader=wine64 ;;
  *) echo "wine-run.sh: the first argument is win32 or win64, not $arch" >&2 && exit 2 ;;
esac
# Debian keeps both loaders in /usr/lib/wine; elsewhere they are on the PATH.
[[ -d /usr/lib/wine ]] && loader=/usr/lib/wine/$loader

# Prints why the loader cannot start, and fails, or succeeds in silence.
if [[ $1 == --probe ]]; then
  if ! command -v "$loader" >/dev/null; then
    echo "wine's $arch loader ($loader) is not installed"
    exit 1
  elif ! why=$("$loader" --version 2>&1 </dev/null); then
    why=${why##*: }
    [[ $why == "Exec format error" ]] && why="this kernel runs no 32-bit programs ($why)"
    echo "wine's $arch loader $loader cannot start: $why"
    exit 1
  fi
  exit 0
fi

prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix
export WINEARCH=$arch
export WINELOADER=$loader
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [[ ! -e $prefix/.tavo-ready ]]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [[ ! -e $prefix/.tavo-ready ]]; then
    rm -rf "$prefix"
    if ! "$loader" wineboot --init </dev/null >"$prefix.log" 2>&1; then
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
  "$loader" cmd.exe /c exit </dev/null >/dev/null 2>&1
  exit 0
fi
exec "$loader" "$@"
