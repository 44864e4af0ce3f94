#!/usr/bin/env bash
# tavo on a real terminal through tmux. In bash: key mode, an arrow key no ESC, one
# Progress line per SPACE, rewritten in place, ESC ends with the report, typed keys
# stay out of the shell.
# In dash, which (unlike bash) does not restore the terminal after a job, a shell per
# case: Ctrl-Z fg ESC, Ctrl-Z bg kill, SIGKILL, Ctrl-C in a hanging read, close_range
# refused, fork refused, a terminal closed under a copy. After each of the others,
# stty -a is as before it.
#   run_terminal_tests.sh path/to/tavo    (FAULTY_FS=path/to/faulty_fs for the hang
#                                          and the closed terminal,
#                                          REFUSE_SYSCALLS=path/to/refuse_syscalls)
set -u
tavo=$(realpath "$1")
command -v tmux >/dev/null || { echo "terminal: tmux is not installed; skipped"; exit 0; }
work=$(mktemp -d)
t() { tmux -S "$work/tmux.sock" "$@"; }
# poll N COMMAND...: COMMAND every 0.1 s until it succeeds, at most N times.
poll() { local n=$1; shift; for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done; return 1; }
unmount() {  # hanging reads released, the server gone before $work
  [[ -d $work/mnt ]] || return
  touch "$work/data.release" && umount -l "$work/mnt" 2>/dev/null
  poll 100 eval '! pgrep -f "$work/mnt" >/dev/null'
}
trap 't kill-server 2>/dev/null; kill $(jobs -p) 2>/dev/null; unmount; rm -rf "$work"' EXIT
passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi; }
screen() { t capture-pane -p -t "$pane" -S -100 2>/dev/null; }
shows() { screen | grep -q -- "$1"; }
seen() { poll 200 shows "$1"; }
type() { t send-keys -t "$pane" "$@" 2>/dev/null && sleep 0.3; }
same() {  # the settings that the shell saved in FILE are those before the case
  poll 50 test -s "$work/$1"
  cmp -s "$work/before" "$work/$1"
}
start() {  # NAME SHELL: a shell in a pane of its own; the settings saved before any run
  pane=$1
  t new-session -d -s "$1" -x 160 -y 50 "env PS1='$ ' $2"
  seen '^\$' || { echo "terminal: $2 did not start"; exit 1; }
  type "cd $work && stty -a > before" Enter
}

# An endless slow input: a FIFO fed a little at a time.
mkfifo "$work/fifo"
(while :; do head -c 512 /dev/zero; sleep 0.05; done) >"$work/fifo" 2>/dev/null &

start keys "bash --norc --noprofile -i"
type "clear; $tavo fifo /1b; echo exit=\$?; stty -a > after-esc" Enter
check "tavo starts" seen 'Reading... Hit ESC to break'
settings=$(stty -a <"$(t display -p -t keys '#{pane_tty}')")
check "the terminal reads single keys unechoed" eval '[[ $settings == *" -icanon "*" -echo "* ]]'
type Up
type Space
check "after an arrow key, SPACE writes a Progress line" seen ' kb/s)'
# The next timed line is 5 s away: a press counted again would move the line on.
line=$(screen | grep ' kb/s)') && sleep 0.5
check "a SPACE press counts once" eval '[[ $(screen | grep " kb/s)") == "$line" ]]'
type Space
check "a second report rewrites the first in place" \
  eval '[[ $(screen | grep -c " kb/s)") == 1 && $(screen | grep " kb/s)") != "$line" ]]'
type -l 'echo LEAKED'
type Escape
check "ESC ends the run with exit code 0" seen 'exit=0'
check "the Final report follows ESC" seen '^Transfer rate: '
check "terminal settings unchanged after ESC" same after-esc
type Enter
check "keys typed during the run stay out of the shell" eval '! screen | grep -q ^LEAKED'

tavo_in_pane() {  # the tavo of the pane's command line
  local pid
  for pid in $(pgrep -P "$(t display -p -t "$pane" '#{pane_pid}')"); do
    [[ $(readlink "/proc/$pid/exe") == "$tavo" ]] && echo "$pid" && return
  done
  return 1
}
ended() { ! ps -o stat= -p "$1" | grep -qv Z; }  # gone, or a zombie

case_fg() {
  type "clear; $tavo fifo /1b" Enter
  seen 'Reading...'
  type C-z
  type "stty -a > stopped; fg; echo exit=\$?; stty -a > after-fg" Enter
  check "Ctrl-Z puts the terminal back before the job stops" same stopped
  sleep 0.5
  type Escape
  check "after fg, ESC ends the run with exit code 0" seen 'exit=0'
  check "terminal settings unchanged after Ctrl-Z, fg and ESC" same after-fg
}

case_bg() {
  type "clear; $tavo fifo copy /1b" Enter
  seen 'Reading...'
  type C-z
  type "bg" Enter
  size() { stat -c %s "$work/copy" 2>/dev/null || echo 0; }
  local before=$(size)
  grows() { (($(size) > before)); }
  check "after bg, the copy goes on" poll 100 grows
  type "kill %1; wait %1; echo status=\$?; stty -a > after-bg" Enter
  check "kill %1 ends the job in the background" seen 'status=143'
  check "terminal settings unchanged after Ctrl-Z, bg and kill" same after-bg
}

# The settings are looked at once the watcher, tavo's child, is gone too.
case_kill() {
  type "clear; $tavo fifo /1b" Enter
  seen 'Reading...'
  local program=$(poll 50 tavo_in_pane) watcher
  watcher=$(poll 50 pgrep -P "$program")
  kill -KILL "$program"
  check "the watcher ends with tavo" eval '[[ -n $watcher ]] && poll 100 ended "$watcher"'
  type "echo status=\$?; stty -a > after-kill" Enter
  check "SIGKILL ends the run" seen 'status=137'
  check "terminal settings unchanged after SIGKILL" same after-kill
}

# mounted WHAT: faulty_fs over 1 MiB at $work/mnt, once; where it cannot be, says that
# WHAT is skipped.
mounted() {
  [[ -d $work/mnt ]] && return
  [[ -n ${FAULTY_FS:-} && -c /dev/fuse ]] && head -c 1M /dev/urandom >"$work/data" &&
    mkdir "$work/mnt" && "$FAULTY_FS" "$work/data" "$work/mnt" 2>"$work/fuse.log" || {
    rmdir "$work/mnt" 2>/dev/null
    echo "skip terminal: $1 needs faulty_fs and /dev/fuse"
    return 1
  }
}

# A read that hangs until the test releases it: Ctrl-C ends the run before that.
case_hang() {
  mounted "Ctrl-C in a read that hangs" || return
  type "clear; $tavo mnt/hanging" Enter
  seen 'Reading...'
  sleep 0.5
  type C-c
  # The shell drops the rest of a command line whose job died of SIGINT.
  type "echo status=\$?; stty -a > after-int" Enter
  check "Ctrl-C ends a read that hangs" seen 'status=130'
  check "terminal settings unchanged after Ctrl-C" same after-int
}

# refused CALL: whether tavo can run with CALL refused; if not, says why.
refused() {
  [[ -n ${REFUSE_SYSCALLS:-} ]] && "$REFUSE_SYSCALLS" "$1" true 2>"$work/refuse.log" && return
  echo "skip terminal: tavo with $1 refused: ${REFUSE_SYSCALLS:+$(head -1 "$work/refuse.log")}${REFUSE_SYSCALLS:-no refuse_syscalls}"
  return 1
}
# Without close_range the watcher closes what it inherited one by one: a reader of
# tavo's output and stderr sees its end, and the watcher ends with tavo.
case_close_range() {
  refused close_range || return
  type "clear; $REFUSE_SYSCALLS close_range $tavo fifo /1b 2>&1 | cat >piped; echo piped=\$?; stty -a > after-pipe" Enter
  local watcher=$(poll 50 pgrep -P "$(poll 50 tavo_in_pane)")
  check "with close_range refused, a watcher starts" eval '[[ -n $watcher ]]'
  type Escape
  check "with close_range refused, the reader of tavo's pipe sees its end" seen 'piped=0'
  check "with close_range refused, the watcher ends with tavo" eval '[[ -n $watcher ]] && poll 100 ended "$watcher"'
  [[ -n $watcher ]] && kill -KILL "$watcher" 2>/dev/null  # where it failed to
  check "terminal settings unchanged with close_range refused" same after-pipe
}

# Without a watcher (fork refused), Ctrl-C, SIGTERM and SIGHUP restore the terminal
# and end tavo by the same signal.
case_no_fork() {
  refused fork || return
  local signal status program
  for signal in INT:130 TERM:143 HUP:129; do
    status=${signal#*:} signal=${signal%:*}
    type "clear; $REFUSE_SYSCALLS fork $tavo fifo /1b" Enter
    seen 'Reading...'
    program=$(poll 50 tavo_in_pane)
    check "fork refused: no watcher" eval '[[ -n $program ]] && ! pgrep -P "$program" >/dev/null'
    sleep 0.5
    if [[ $signal == INT ]]; then type C-c; else kill -"$signal" "$program"; fi
    type "echo status=\$?; stty -a > after-$signal" Enter
    check "fork refused: SIG$signal ends tavo by it" seen "status=$status"
    check "fork refused: terminal settings unchanged after SIG$signal" same "after-$signal"
  done
}

# With SIGHUP ignored, as under nohup, a copy outlives its terminal: closed (a window
# shut, a connection dropped) while a copy of faulty_fs's "slow" file runs, the
# terminal fails tavo's writes, and the copy goes on to its end, with exit code 0.
case_hangup() {
  mounted "a copy that outlives its terminal" || return
  type "clear; dash -c 'trap \"\" HUP; $tavo mnt/slow hangup-copy /1; echo \$? >hangup-status'" Enter
  seen 'Reading...'
  t kill-session -t "$pane"
  check "a closed terminal: the copy goes on to its end, exit code 0" \
    poll 300 eval '[[ $(cat "$work/hangup-status" 2>/dev/null) == 0 ]]'
  check "a closed terminal: the copy is whole" cmp -s "$work/data" "$work/hangup-copy"
}

for name in fg bg kill hang close_range no_fork hangup; do
  start "$name" dash
  "case_$name"
  t kill-session -t "$name" 2>/dev/null
done
echo "terminal: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
