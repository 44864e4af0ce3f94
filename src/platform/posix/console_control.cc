// SetConsoleCtrlHandler over the signals that end a run: SIGINT (Ctrl-C), SIGHUP (the
// terminal closed) and SIGTERM. The routine runs inside the signal handler, so it may
// only note the event; the run then stops at its next request. A read that hangs
// would keep it from getting there, and only a fatal signal interrupts such a read:
// so the signal's default action comes back at once, and a timer sends the same
// signal again unless the program takes the stop over (removes its routine) first.
#include <signal.h>
#include <time.h>

#include "posix_layer.h"

namespace {

constexpr long kStopGraceMs =
    500;  // the longest a stop waits for the request under way
constexpr int kEndingSignals[] = {SIGINT, SIGHUP, SIGTERM};
constexpr DWORD kEvents[] = {CTRL_C_EVENT, CTRL_CLOSE_EVENT, CTRL_SHUTDOWN_EVENT};
constexpr int kCount = 3;

PHANDLER_ROUTINE routine = nullptr;
struct sigaction before[kCount];
bool taken[kCount] = {};  // this layer handles the signal
timer_t timers[kCount];
bool timed[kCount] = {};
volatile sig_atomic_t caught = 0;

void SetAction(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

void Arm(int index, long ms) {
  if (!timed[index]) return;
  itimerspec when = {};
  when.it_value.tv_sec = ms / 1000;
  when.it_value.tv_nsec = ms % 1000 * 1000000;
  timer_settime(timers[index], 0, &when, nullptr);
}

void OnEndingSignal(int signal_number) {
  int saved_errno = errno;
  for (int i = 0; i < kCount; ++i) {
    if (kEndingSignals[i] != signal_number) continue;
    caught = signal_number;
    SetAction(signal_number, SIG_DFL);  // a second one ends the process at once
    Arm(i, kStopGraceMs);
    if (routine != nullptr) routine(kEvents[i]);
  }
  errno = saved_errno;
}

bool Ignored(int signal_number) {
  struct sigaction current;
  return sigaction(signal_number, nullptr, &current) == 0 &&
         current.sa_handler == SIG_IGN;
}

void Take() {
  for (int i = 0; i < kCount; ++i) {
    int signal_number = kEndingSignals[i];
    // An invoker that has a signal ignored (SIGHUP under nohup) keeps it so.
    if (Ignored(signal_number)) continue;
    sigevent event = {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = signal_number;
    timed[i] = timer_create(CLOCK_MONOTONIC, &event, &timers[i]) == 0;
    sigaction(signal_number, nullptr, &before[i]);
    taken[i] = true;
    SetAction(signal_number, OnEndingSignal);
  }
}

// Whatever handled the signals before comes back, unless one came: its default
// action stays, so that another ends the process at once.
void GiveBack() {
  for (int i = 0; i < kCount; ++i) {
    if (!taken[i]) continue;
    Arm(i, 0);
    if (caught != kEndingSignals[i]) sigaction(kEndingSignals[i], &before[i], nullptr);
    taken[i] = false;
  }
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
  if (HandlerRoutine == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Add) {
    routine = HandlerRoutine;
    Take();
  } else if (routine == HandlerRoutine) {
    routine = nullptr;
    GiveBack();
  }
  return TRUE;
}

int CaughtEndingSignal() { return caught; }
