// The terminal on standard input, in key mode while the program polls keys in the
// foreground. The signals that end a run (Ctrl-C, SIGTERM, SIGHUP) keep their
// default action, so that they end it at once, also in a read that only a fatal
// signal interrupts; the terminal watcher puts the terminal back after them. Without
// a watcher they are caught, put the terminal back and end the process by the same
// signal. The job control signals are caught: Ctrl-Z puts the terminal back before
// the job stops, and a resumed job takes it again only from the foreground.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform.h"
#include "posix_layer.h"

namespace {

TerminalModes modes;
int key_fd = STDIN_FILENO;          // where keys are read
volatile sig_atomic_t reading = 0;  // key mode is on in the foreground
volatile sig_atomic_t resumed = 0;  // SIGCONT came since the last look

// A job that changes or reads the terminal from the background is stopped by
// SIGTTOU or SIGTTIN; only the foreground job may.
bool InForeground() { return tcgetpgrp(STDIN_FILENO) == getpgrp(); }

// Non-canonical and unechoed, so that each key can be read as it is typed. ISIG
// stays, so Ctrl-C and Ctrl-Z still work. A read waits for one key (VMIN 1, VTIME 0):
// a shell that runs before the watcher has put the settings back waits for a key,
// where VMIN 0 would give it an empty read, the end of its input. The program's own
// reads do not wait: they go through the terminal opened again, non-blocking. Where
// it cannot be opened (another user's, after su), they go through standard input,
// with VMIN 0 so that a read returns at once.
termios KeySettings(const termios& line) {
  termios keys = line;
  keys.c_lflag &= ~(ICANON | ECHO);
  keys.c_cc[VMIN] = key_fd == STDIN_FILENO ? 0 : 1;
  keys.c_cc[VTIME] = 0;
  return keys;
}

// A descriptor of its own keeps the non-blocking flag away from the shell, which
// shares standard input's.
int OpenKeyDescriptor() {
  const char* name = ttyname(STDIN_FILENO);
  int fd =
      name == nullptr ? -1 : open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  return fd < 0 ? STDIN_FILENO : fd;
}

// The watcher hears of key mode before the terminal enters it and of its end after
// the terminal has left it, so it never takes for ours key settings that are not.
void EnterKeyMode() {
  termios current;
  if (!InForeground() || tcgetattr(STDIN_FILENO, &current) != 0) return;
  // What the user set while the job was stopped is what goes back at the end. Only
  // a stop that cannot be caught (SIGSTOP) leaves the key settings on the terminal.
  if (!SameTerminalSettings(current, modes.keys)) {
    modes.saved = current;
    modes.keys = KeySettings(current);
  }
  modes.active = 1;
  TellTerminalWatcher(modes);
  if (tcsetattr(STDIN_FILENO, TCSANOW, &modes.keys) == 0) {
    reading = 1;
    return;
  }
  modes.active = 0;
  TellTerminalWatcher(modes);
}

// From the background the terminal belongs to another job; if it still holds the
// key settings when this process ends, the watcher takes them off.
void LeaveKeyMode() {
  reading = 0;
  if (!modes.active || !InForeground()) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &modes.saved);
  modes.active = 0;
  TellTerminalWatcher(modes);
}

void Catch(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

// Ctrl-Z: the terminal goes back to the shell, then the job stops as the signal's
// default action stops it, and the shell reports it as stopped by it.
void StopOutOfKeyMode(int signal_number) {
  int saved_errno = errno;
  LeaveKeyMode();
  Catch(signal_number, SIG_DFL);
  raise(signal_number);  // held while this handler runs
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signal_number);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // the job stops here until SIGCONT
  Catch(signal_number, StopOutOfKeyMode);
  errno = saved_errno;
}

// An ending signal without a watcher: the terminal goes back, then the process ends
// as the signal's default action ends it, so that its invoker sees it die by it.
void EndOutOfKeyMode(int signal_number) {
  LeaveKeyMode();
  Catch(signal_number, SIG_DFL);
  raise(signal_number);  // held while this handler runs
  sigset_t end;
  sigemptyset(&end);
  sigaddset(&end, signal_number);
  sigprocmask(SIG_UNBLOCK, &end, nullptr);
}

void NoteResume(int) { resumed = 1; }

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The main flow changes the modes with the job control and ending signals held, so
// that a stop, or an end without a watcher, never finds them half changed.
template <typename Change>
void WithStopsHeld(Change change) {
  sigset_t held, before;
  sigemptyset(&held);
  sigaddset(&held, SIGTSTP);
  sigaddset(&held, SIGCONT);
  for (int signal_number : kEndingSignals) sigaddset(&held, signal_number);
  sigprocmask(SIG_BLOCK, &held, &before);
  change();
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

bool Ignored(int signal_number) {
  struct sigaction current;
  return sigaction(signal_number, nullptr, &current) == 0 &&
         current.sa_handler == SIG_IGN;
}

bool prepared = false;
bool watched = false;  // a watcher was started

}  // namespace

void PrepareConsole() {
  if (prepared) return;
  prepared = true;
  if (!isatty(STDIN_FILENO)) return;
  key_fd = OpenKeyDescriptor();
  watched = StartTerminalWatcher();
}

// A job started in the background takes the keyboard when it is brought to the
// foreground. Without a watcher (no process to spare) key mode still goes back on
// every way out that runs code, the ending signals included.
bool StartKeyMode() {
  if (!isatty(STDIN_FILENO)) return false;
  PrepareConsole();
  // An invoker that has a signal ignored (Ctrl-Z, or SIGHUP under nohup) keeps it so.
  if (!Ignored(SIGTSTP)) Catch(SIGTSTP, StopOutOfKeyMode);
  for (int signal_number : kEndingSignals) {
    if (!watched && !Ignored(signal_number)) Catch(signal_number, EndOutOfKeyMode);
  }
  Catch(SIGCONT, NoteResume);
  // A read of the terminal from the background fails instead of stopping the job.
  signal(SIGTTIN, SIG_IGN);
  WithStopsHeld(EnterKeyMode);
  return true;
}

// A stop and resume in the middle of a poll leaves the terminal in line mode until
// the next, where a read of standard input would wait for a whole line: the poll of
// standard input runs with the stops held.
void PollInKeyMode(void (*poll)(int fd)) {
  if (resumed) {
    resumed = 0;
    WithStopsHeld([] {
      reading = 0;
      EnterKeyMode();
    });
  }
  if (!reading) return;
  if (key_fd != STDIN_FILENO) {
    poll(key_fd);
  } else {
    WithStopsHeld([poll] { poll(STDIN_FILENO); });
  }
}

void RestoreTerminal() { WithStopsHeld(LeaveKeyMode); }
