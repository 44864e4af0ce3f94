// The terminal watcher: a child process that lives until the program's process ends.
// It holds one end of a socket pair and the program the other; the program's end
// closes when its process ends, by SIGKILL too, and the kernel closes it before it
// reports the death to the parent. The watcher then puts the saved settings back if
// the terminal still holds exactly the key settings that the program last said it
// had set: a shell or a user who has set other settings since keeps them.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>  // std::max

#include "posix_layer.h"

namespace {

int watcher_socket = -1;  // the program's end; -1 without a watcher

[[noreturn]] void Watch(int socket) {
  TerminalModes last = {}, next;
  for (;;) {
    ssize_t got = recv(socket, &next, sizeof next, 0);
    if (got == static_cast<ssize_t>(sizeof next)) {
      last = next;
    } else if (got == 0 || (got < 0 && errno != EINTR)) {
      break;
    }
  }
  termios current;
  if (last.active && tcgetattr(STDIN_FILENO, &current) == 0 &&
      SameTerminalSettings(current, last.keys)) {
    tcsetattr(STDIN_FILENO, TCSANOW, &last.saved);
  }
  _exit(0);
}

// A session of its own: no signal from the keyboard or for the job (Ctrl-C, Ctrl-Z,
// kill %1) reaches the watcher, and the terminal's job control does not hold up its
// tcsetattr while the shell has the foreground. Those the job got before the watcher
// left it are discarded with the signals still blocked.
void LeaveJob() {
  setsid();
  for (int signal_number : {SIGINT, SIGQUIT, SIGTSTP, SIGTERM, SIGHUP, SIGCONT}) {
    signal(signal_number, SIG_IGN);
    signal(signal_number, SIG_DFL);
  }
}

// Closes every descriptor from first on. Where close_range is missing or refused
// (kernels before 5.9, seccomp profiles that deny it), one by one up to the limit of
// open descriptors.
void CloseFrom(int first) {
  if (close_range(static_cast<unsigned>(first), ~0U, 0) == 0) return;
  const long limit = std::max(sysconf(_SC_OPEN_MAX), 1024L);
  for (long fd = first; fd < limit; ++fd) close(static_cast<int>(fd));
}

}  // namespace

// Only the terminal and the socket stay open in the watcher: a pipe the program
// writes to, a file or a device it reads, end when the program ends. The program's
// end of the pair goes first: while the watcher held it, the watcher would never see
// the program end.
bool StartTerminalWatcher() {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return false;
  sigset_t all, before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
  pid_t pid = fork();
  if (pid == 0) {
    close(ends[0]);
    LeaveJob();
    sigprocmask(SIG_SETMASK, &before, nullptr);
    dup2(ends[1], STDOUT_FILENO);
    CloseFrom(STDERR_FILENO);
    Watch(STDOUT_FILENO);
  }
  sigprocmask(SIG_SETMASK, &before, nullptr);
  close(ends[1]);
  if (pid < 0) {
    close(ends[0]);
    return false;
  }
  watcher_socket = ends[0];
  return true;
}

// Never waits: a message the socket has no room for is dropped, and the watcher's
// check of the terminal's settings stays the safeguard.
void TellTerminalWatcher(const TerminalModes& modes) {
  if (watcher_socket >= 0)
    send(watcher_socket, &modes, sizeof modes, MSG_NOSIGNAL | MSG_DONTWAIT);
}
