// SetConsoleCtrlHandler over the signals that end a run: SIGINT (Ctrl-C), SIGHUP (the
// terminal closed) and SIGTERM. As on Windows, the routine runs in a thread of its
// own, while the program's thread goes on; a signal handler could not run while that
// thread waits in a read that hangs. A routine that returns FALSE leaves the signal to
// its default action, which ends the process, that read included.
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include "posix_layer.h"

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGHUP, SIGTERM};
constexpr DWORD kEvents[] = {CTRL_C_EVENT, CTRL_CLOSE_EVENT, CTRL_SHUTDOWN_EVENT};
constexpr int kCount = 3;

PHANDLER_ROUTINE routine = nullptr;
sigset_t taken;  // the signals this layer waits for
sigset_t before_mask;
volatile sig_atomic_t caught = 0;
volatile sig_atomic_t taken_over = 0;

bool Ignored(int signal_number) {
  struct sigaction current;
  return sigaction(signal_number, nullptr, &current) == 0 &&
         current.sa_handler == SIG_IGN;
}

[[noreturn]] void EndBy(int signal_number) {
  signal(signal_number, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal_number);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  kill(getpid(), signal_number);
  for (;;) pause();
}

// Waits in turns of 100 ms, so that once the program has taken its signals back the
// thread ends by itself: a thread cancelled in its wait would unwind past code that
// the sanitizers watch. A signal that comes after that is the default action's.
void* WaitForEndingSignal(void*) {
  for (;;) {
    timespec turn = {0, 100000000};
    int signal_number = sigtimedwait(&taken, nullptr, &turn);
    if (signal_number < 0) {
      if (taken_over) return nullptr;
      continue;
    }
    if (taken_over) EndBy(signal_number);
    for (int i = 0; i < kCount; ++i) {
      if (kEndingSignals[i] != signal_number) continue;
      caught = signal_number;
      if (!routine(kEvents[i]) && !taken_over) EndBy(signal_number);
    }
    return nullptr;
  }
}

// The signals go to the waiting thread alone: they are held in every other, the
// program's thread included, from before the waiting thread starts.
bool Take() {
  sigemptyset(&taken);
  for (int signal_number : kEndingSignals) {
    // An invoker that has a signal ignored (SIGHUP under nohup) keeps it so.
    if (!Ignored(signal_number)) sigaddset(&taken, signal_number);
  }
  pthread_sigmask(SIG_BLOCK, &taken, &before_mask);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t waiter;
  bool started =
      pthread_create(&waiter, &attributes, WaitForEndingSignal, nullptr) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) pthread_sigmask(SIG_SETMASK, &before_mask, nullptr);
  return started;
}

// A signal that came stays pending for whatever handled it before: another one now
// ends the process at once.
void GiveBack() {
  taken_over = 1;
  if (caught != 0) signal(caught, SIG_DFL);
  pthread_sigmask(SIG_SETMASK, &before_mask, nullptr);
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
  if (HandlerRoutine == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Add) {
    if (routine != nullptr) return TRUE;
    routine = HandlerRoutine;
    if (Take()) return TRUE;
    routine = nullptr;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (routine == HandlerRoutine) {
    GiveBack();
    routine = nullptr;
  }
  return TRUE;
}

int CaughtEndingSignal() { return caught; }
