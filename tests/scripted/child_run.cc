// One run of the program per child process: the program's globals (the run record,
// the console channel) start fresh every time, and a crash or a hang cannot take
// the test binary down with it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app.h"
#include "gtest/gtest.h"
#include "live_state.h"

namespace scripted {

namespace {

// No run of a scenario comes near this; a child still going is stuck.
constexpr unsigned kChildSeconds = 20;

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string ReadAll(int fd) {
  std::string bytes;
  char chunk[65536];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) > 0)
    bytes.append(chunk, static_cast<size_t>(n));
  return bytes;
}

[[noreturn]] void RunChild(const Script& script, int resultFd) {
  alarm(kChildSeconds);
  Live().script = script;
  Live().resultFd = resultFd;
  RunProgram();
}

std::string DescribeEnd(int status) {
  if (WIFSIGNALED(status)) {
    int signal = WTERMSIG(status);
    return signal == SIGALRM ? "the run hung (no ExitProcess within the time limit)"
                             : "the run crashed with signal " + std::to_string(signal);
  }
  return "the run ended without ExitProcess, status " +
         std::to_string(WEXITSTATUS(status));
}

}  // namespace

LiveState& Live() {
  static LiveState state;
  return state;
}

void LogCall(const std::string& entry) { Live().result.calls.push_back(entry); }

void FinishChild(UINT exitCode, const std::string& stopReason) {
  LiveState& live = Live();
  live.result.exitCode = exitCode;
  live.result.stopReason = stopReason;
  for (const auto& [name, spec] : live.script.files) {
    live.result.files[name] =
        FileResult{spec.exists, spec.length, spec.origin, spec.bytes};
  }
  WriteAll(live.resultFd, EncodeResult(live.result));
  _exit(0);  // no atexit handlers, no flushing of the test binary's buffers
}

RunResult RunTavo(const Script& script) {
  RunResult result;
  int fds[2];
  if (pipe(fds) != 0) {
    ADD_FAILURE() << "pipe failed";
    return result;
  }
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return result;
  }
  if (pid == 0) {
    close(fds[0]);
    RunChild(script, fds[1]);
  }
  close(fds[1]);
  std::string wire = ReadAll(fds[0]);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!DecodeResult(wire, result)) {
    ADD_FAILURE() << DescribeEnd(status);
  } else if (!result.stopReason.empty()) {
    ADD_FAILURE() << result.stopReason;
  }
  return result;
}

}  // namespace scripted
