#!/usr/bin/env bash
# tavo on a real terminal, driven through tmux: SPACE brings a Progress line, ESC
# ends the run with its report, Ctrl-C ends it too, and the terminal settings and
# the shell's input are as they were before the run.
# Usage: run_terminal_tests.sh path/to/tavo
set -u
tavo=$(realpath "$1")
if ! command -v tmux >/dev/null; then
  echo "terminal: tmux is not installed; skipping the real-terminal tests"
  exit 0
fi

work=$(mktemp -d)
session="tavo-term-$$"
socket="$work/tmux.sock"
feeder_pid=
cleanup() {
  [ -n "$feeder_pid" ] && kill "$feeder_pid" 2>/dev/null
  tmux -S "$socket" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }

t() { tmux -S "$socket" "$@"; }
screen() { t capture-pane -p -t "$session" -S -200; }

# Waits until the pane shows text matching the pattern, at most about 20 s.
wait_for() {
  for _ in $(seq 200); do
    screen | grep -q -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Starts an endless slow input: a FIFO fed a little at a time, read one byte a time.
start_feeder() {
  rm -f "$work/fifo"
  mkfifo "$work/fifo"
  (while :; do head -c 512 /dev/zero; sleep 0.05; done) >"$work/fifo" 2>/dev/null &
  feeder_pid=$!
}
stop_feeder() {
  kill "$feeder_pid" 2>/dev/null
  wait "$feeder_pid" 2>/dev/null
  feeder_pid=
}

t new-session -d -s "$session" -x 160 -y 50 "env PS1='$ ' bash --norc --noprofile -i"
wait_for '^\$' || { echo "terminal: the shell did not start"; exit 1; }
t send-keys -t "$session" "cd $work && stty -a > stty.before" Enter
wait_for 'stty.before' && sleep 0.3

# SPACE, then ESC.
start_feeder
t send-keys -t "$session" "clear; $tavo fifo /1b; echo exit=\$?; stty -a > stty.after-esc" Enter
if wait_for 'Reading... Hit ESC to break'; then
  sleep 0.5
  t send-keys -t "$session" Space
  if wait_for ' kb/s)'; then pass "SPACE writes a Progress line"; else fail "SPACE writes a Progress line"; fi
  t send-keys -t "$session" -l 'echo LEAKED'
  sleep 0.3
  t send-keys -t "$session" Escape
  if wait_for 'exit=0'; then pass "ESC ends the run with exit code 0"; else fail "ESC ends the run with exit code 0"; fi
  if screen | grep -q '^Elapsed time: .* seconds' && screen | grep -q '^Transfer rate: '; then
    pass "the Final report follows ESC"
  else
    fail "the Final report follows ESC"
  fi
else
  fail "tavo started on the terminal"
fi
stop_feeder
sleep 0.5
if cmp -s "$work/stty.before" "$work/stty.after-esc"; then
  pass "terminal settings unchanged after ESC"
else
  fail "terminal settings unchanged after ESC"
  diff "$work/stty.before" "$work/stty.after-esc"
fi
t send-keys -t "$session" Enter
sleep 0.5
if screen | grep -q '^LEAKED'; then
  fail "keys typed during the run do not reach the shell"
else
  pass "keys typed during the run do not reach the shell"
fi
echo "--- screen after ESC ---"
screen | sed -n '1,20p'

# Ctrl-C.
start_feeder
# The shell drops the rest of a command list whose job died of SIGINT, so the
# status and the settings are taken by a command of their own.
t send-keys -t "$session" "clear; $tavo fifo /1b" Enter
if wait_for 'Reading... Hit ESC to break'; then
  sleep 0.3
  t send-keys -t "$session" C-c
  sleep 0.5
  t send-keys -t "$session" "echo status=\$?; stty -a > stty.after-int" Enter
  if wait_for 'status=130'; then pass "Ctrl-C ends the run as SIGINT does"; else fail "Ctrl-C ends the run as SIGINT does"; fi
else
  fail "tavo started on the terminal a second time"
fi
stop_feeder
sleep 0.5
if cmp -s "$work/stty.before" "$work/stty.after-int"; then
  pass "terminal settings unchanged after Ctrl-C"
else
  fail "terminal settings unchanged after Ctrl-C"
  diff "$work/stty.before" "$work/stty.after-int"
fi

echo "terminal: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
