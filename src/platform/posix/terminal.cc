// The terminal on standard input, switched to reading single keys while the program
// polls them, and switched back on every way out: ExitProcess, exit(), and the
// signals that end a process from the keyboard or from outside.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>  // atexit

#include "posix_layer.h"

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

termios saved_settings;
volatile sig_atomic_t settings_changed = 0;

// Puts the terminal back, then lets the signal end the process as it would have.
void RestoreAndReraise(int signal_number) {
  RestoreTerminal();
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// A signal the invoker ignores (nohup) stays ignored.
void CatchEndingSignals() {
  for (int signal_number : kEndingSignals) {
    struct sigaction current;
    if (sigaction(signal_number, nullptr, &current) != 0) continue;
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = RestoreAndReraise;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

// A background job that changes or reads the terminal is stopped by SIGTTOU or
// SIGTTIN, so only the foreground job takes the keyboard.
bool IsForegroundTerminal(int fd) { return isatty(fd) && tcgetpgrp(fd) == getpgrp(); }

}  // namespace

// Non-canonical and unechoed, with VMIN and VTIME 0 so that read() returns at once
// with what was typed, possibly nothing. ISIG stays, so Ctrl-C still interrupts.
bool EnterKeyMode() {
  if (!IsForegroundTerminal(STDIN_FILENO) ||
      tcgetattr(STDIN_FILENO, &saved_settings) != 0) {
    return false;
  }
  termios keys = saved_settings;
  keys.c_lflag &= ~(ICANON | ECHO);
  keys.c_cc[VMIN] = 0;
  keys.c_cc[VTIME] = 0;
  CatchEndingSignals();
  std::atexit(RestoreTerminal);
  settings_changed = 1;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0) {
    settings_changed = 0;
    return false;
  }
  return true;
}

void RestoreTerminal() {
  if (!settings_changed) return;
  settings_changed = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
}
