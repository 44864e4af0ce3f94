#!/bin/bash
# `cmake --install` with a prefix and DESTDIR puts the program in bin and the
# manual, compressed, in share/man/man1, and nothing else; the installed tavo run
# from PATH with no arguments prints the same bytes as the cli test expects.
#   run_install_test.sh CMAKE BUILD-DIR SOURCE-DIR
set -uo pipefail

cmake=$1 build=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "install: $*" && failed=1; }

DESTDIR=$work/stage "$cmake" --install "$build" --prefix /opt/tavo >"$work/log" ||
  { cat "$work/log" && fail "cmake --install failed" && exit 1; }
tree=$work/stage/opt/tavo
files=$(cd "$tree" && find . ! -type d | sort | tr '\n' ' ')
[[ $files == "./bin/tavo ./share/man/man1/tavo.1.gz " ]] ||
  fail "installed files: $files; expected bin/tavo and share/man/man1/tavo.1.gz"

[[ -x $tree/bin/tavo ]] || fail "bin/tavo is not executable"
gzip -dc "$tree/share/man/man1/tavo.1.gz" | cmp -s - "$source/doc/tavo.1" ||
  fail "share/man/man1/tavo.1.gz is not doc/tavo.1 compressed"

(cd "$work" && PATH=$tree/bin:$PATH tavo </dev/null >"$work/out")
code=$?
{ echo '$ tavo' && cat "$work/out" && echo "[exit $code]"; } >"$work/transcript"
cmp -s "$work/transcript" "$source/tests/cli/expected/no_arguments.out" ||
  fail "the installed tavo with no arguments: not the Usage text with exit code 1:"$'\n'"$(cat -A "$work/transcript")"

((failed == 0)) && echo "install: bin/tavo and its manual, and the Usage text with exit code 1"
((failed == 0))
