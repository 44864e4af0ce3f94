#!/bin/bash
# The manual renders without one warning from groff (-ww: all of them, on the utf8
# device that groff-base has too) or from man, and its footer names the version
# being built.
#   run_manual_test.sh /PATH/TO/tavo.1 VERSION
set -uo pipefail

manual=$1 version=$2
command -v groff >/dev/null || { echo "manual: groff is not installed; skipped"; exit 0; }
failed=0
fail() { echo "manual: $*" && failed=1; }

warnings=$(groff -Tutf8 -man -ww -z "$manual" 2>&1)
[[ -z $warnings ]] || fail "groff -man -ww warns:"$'\n'"$warnings"

if command -v man >/dev/null; then
  errors=$(mktemp)
  trap 'rm -f "$errors"' EXIT
  text=$(MANWIDTH=80 man --warnings -l "$manual" 2>"$errors")
  [[ -s $errors ]] && fail "man -l warns:"$'\n'"$(<"$errors")"
  for heading in NAME SYNOPSIS DESCRIPTION OPTIONS EXAMPLES 'EXIT STATUS' NOTES 'SEE ALSO'; do
    grep -qx "$heading" <<<"$text" || fail "no $heading section in what man -l renders"
  done
  [[ $(tail -n 1 <<<"$text") == "tavo $version "* ]] ||
    fail "the footer does not name tavo $version: $(tail -n 1 <<<"$text")"
else
  echo "manual: man is not installed; only groff checked"
fi
((failed == 0)) && echo "manual: renders without warnings"
((failed == 0))
