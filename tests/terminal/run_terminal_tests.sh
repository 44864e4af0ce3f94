#!/usr/bin/env bash
# tavo on a real terminal through tmux: an arrow key is no ESC, a SPACE press brings
# one Progress line, ESC ends the run with its report, Ctrl-C as SIGINT does; the
# terminal settings are restored and keys typed during the run do not reach the shell.
#   run_terminal_tests.sh path/to/tavo
set -u
tavo=$(realpath "$1")
command -v tmux >/dev/null || { echo "terminal: tmux is not installed; skipped"; exit 0; }
work=$(mktemp -d)
t() { tmux -S "$work/tmux.sock" "$@"; }
trap 't kill-server 2>/dev/null; kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi; }
screen() { t capture-pane -p -t run -S -100; }
seen() { for _ in $(seq 200); do screen | grep -q -- "$1" && return 0; sleep 0.1; done; return 1; }
type() { t send-keys -t run "$@" && sleep 0.3; }

# An endless slow input: a FIFO fed a little at a time, read one byte per request.
mkfifo "$work/fifo"
(while :; do head -c 512 /dev/zero; sleep 0.05; done) >"$work/fifo" 2>/dev/null &
t new-session -d -s run -x 160 -y 50 "env PS1='$ ' bash --norc --noprofile -i"
seen '^\$' || { echo "terminal: the shell did not start"; exit 1; }
type "cd $work && stty -a > before" Enter

type "clear; $tavo fifo /1b; echo exit=\$?; stty -a > after-esc" Enter
check "tavo starts" seen 'Reading... Hit ESC to break'
type Up
type Space
check "after an arrow key, SPACE writes a Progress line" seen ' kb/s)'
# The next timed line is 5 s away: a press counted again would move the line on.
line=$(screen | grep ' kb/s)') && sleep 0.5
check "a SPACE press counts once" eval '[[ $(screen | grep " kb/s)") == "$line" ]]'
type -l 'echo LEAKED'
type Escape
check "ESC ends the run with exit code 0" seen 'exit=0'
check "the Final report follows ESC" seen '^Transfer rate: '
check "terminal settings unchanged after ESC" cmp -s "$work/before" "$work/after-esc"
type Enter
check "keys typed during the run stay out of the shell" eval '! screen | grep -q ^LEAKED'

# The shell drops the rest of a command list whose job died of SIGINT.
(while :; do head -c 512 /dev/zero; sleep 0.05; done) >"$work/fifo" 2>/dev/null &
type "clear; $tavo fifo /2b" Enter
seen 'using 2 bytes buffer'
sleep 0.3
type C-c
type "echo status=\$?; stty -a > after-int" Enter
check "Ctrl-C ends the run as SIGINT does" seen 'status=130'
check "terminal settings unchanged after Ctrl-C" cmp -s "$work/before" "$work/after-int"

echo "terminal: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
