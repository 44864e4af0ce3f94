#!/bin/bash
# `cmake --install --strip` with a prefix and DESTDIR installs a stripped tavo, the
# compressed manual, the bash completion and the schema, nothing else; the completion
# completes "--ma" to "--map="; uninstalling by the manifest leaves nothing; that tavo, run from PATH, prints the
# banner with VERSION and the Usage text (exit code 1). The manual renders without a
# groff -ww warning (utf8, which groff-base has too); its footer names VERSION.
#   run_install_test.sh CMAKE BUILD-DIR SOURCE-DIR VERSION
set -uo pipefail
cmake=$1 build=$2 source=$3 version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "install: $*" && failed=1; }

DESTDIR=$work/stage "$cmake" --install "$build" --prefix /opt/tavo --strip >"$work/log" ||
  { cat "$work/log"; exit 1; }
tree=$work/stage/opt/tavo manual=$work/stage/opt/tavo/share/man/man1/tavo.1.gz
files=$(cd "$tree" && find . ! -type d | sort | tr '\n' ' ')
[[ $files == "./bin/tavo ./share/bash-completion/completions/tavo ./share/doc/tavo/tavo-result.schema.json ./share/man/man1/tavo.1.gz " ]] ||
  fail "installed files: $files"
completed=$(bash -c 'source "$1" && complete -p tavo >/dev/null && COMP_WORDS=(tavo --ma) COMP_CWORD=1 &&
  _tavo 2>/dev/null; echo "${COMPREPLY[*]}"' - "$tree/share/bash-completion/completions/tavo")
[[ $completed == --map= ]] || fail "the bash completion completes --ma to '$completed'"
gzip -dc "$manual" | cmp -s - "$source/doc/tavo.1" || fail "$manual is not doc/tavo.1 compressed"
sections=$(readelf -SW "$tree/bin/tavo" | grep -oE '\.(debug_info|symtab|comment) ' | tr -d '\n')
[[ -z $sections ]] || fail "the installed tavo is not stripped: it has $sections"
(cd "$work" && PATH=$tree/bin:$PATH tavo </dev/null >"$work/out")
[[ $? == 1 ]] && grep -aq '^Usage: ' "$work/out" || fail "the installed tavo: not the Usage text, exit code 1"
grep -aqxF "Files reading benchmark and download. Version $version" "$work/out" ||
  fail "the banner does not name version $version: $(grep -a Version "$work/out")"

bash "$source/cmake/uninstall.sh" "$build/install_manifest.txt" "$work/stage" /opt/tavo
left=$(find "$work/stage" -mindepth 1 | tr '\n' ' ')
[[ -z $left ]] || fail "uninstalling left $left"

if command -v groff >/dev/null; then
  warnings=$(groff -Tutf8 -man -ww -z "$source/doc/tavo.1" 2>&1)
  [[ -z $warnings ]] || fail "groff -man -ww warns:"$'\n'"$warnings"
else echo "install: groff is not installed; the manual's rendering was not checked"; fi
grep -q "^\.TH .* \"tavo $version\" " "$source/doc/tavo.1" || fail "the footer does not name tavo $version"
((failed == 0)) && echo "install: bin/tavo, stripped, runs and names $version; its manual renders without warnings"
