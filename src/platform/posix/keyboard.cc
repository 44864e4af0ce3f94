// GetAsyncKeyState and FlushConsoleInputBuffer over the terminal on standard input.
// A query answers whether its key was pressed since the previous query of that key.
#include <termios.h>
#include <unistd.h>

#include "posix_layer.h"

namespace {

enum class Keyboard { kUntried, kAbsent, kPresent };

Keyboard keyboard = Keyboard::kUntried;
int64_t last_poll = -1;  // MonotonicMilliseconds of the last look at the terminal
bool escape_pressed = false;
bool space_pressed = false;

// Reads everything typed so far; no read waits: once nothing is left one returns 0
// or fails with EAGAIN.
void PollTerminal(int fd) {
  KeyScan scan = {KeyScan::kGround, false, false};
  uint8_t bytes[64];
  ssize_t got;
  while ((got = read(fd, bytes, sizeof bytes)) > 0) {
    ScanKeyBytes(&scan, bytes, static_cast<size_t>(got));
  }
  FinishKeyScan(&scan);
  escape_pressed = escape_pressed || scan.escape;
  space_pressed = space_pressed || scan.space;
}

// A look at the terminal once per tick of the coarse clock (1 to 10 ms) at most; a
// query in between costs a look at the clock in shared memory, no system call.
__attribute__((noinline)) SHORT QueryKeyboard(int vKey) {
  if (keyboard == Keyboard::kUntried) {
    keyboard = StartKeyMode() ? Keyboard::kPresent : Keyboard::kAbsent;
    if (keyboard == Keyboard::kAbsent) return 0;
  }
  int64_t now = MonotonicMilliseconds();
  if (now != last_poll) {
    last_poll = now;
    PollInKeyMode(PollTerminal);
  }
  bool* pressed = vKey == VK_ESCAPE  ? &escape_pressed
                  : vKey == VK_SPACE ? &space_pressed
                                     : nullptr;
  if (pressed == nullptr || !*pressed) return 0;
  *pressed = false;
  return 1;
}

}  // namespace

// The read loop asks twice per read, millions of times a second with small reads.
// Without a terminal no key is ever pressed, and a query costs a test.
SHORT GetAsyncKeyState(int vKey) {
  return keyboard == Keyboard::kAbsent ? 0 : QueryKeyboard(vKey);
}

// A background job leaves the terminal alone (tcflush would stop it with SIGTTOU);
// nothing it could discard was typed for it.
BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
  int fd = HandleFd(hConsoleInput);
  if (fd < 0 || !isatty(fd)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (tcgetpgrp(fd) == getpgrp()) tcflush(fd, TCIFLUSH);
  escape_pressed = false;
  space_pressed = false;
  return TRUE;
}
