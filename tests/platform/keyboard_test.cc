#include <fcntl.h>
#include <poll.h>
#include <pty.h>  // openpty
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform_test_support.h"

namespace {

// A child whose controlling terminal, standard input and standard output are a new
// pseudo-terminal; the test types on the master side and reads what the child says.
class Keyboard : public ::testing::Test {
 protected:
  void Start(const std::function<int()>& body) {
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(tcgetattr(slave_, &original_), 0);
    child_ = fork();
    if (child_ == 0) {
      setsid();
      ioctl(slave_, TIOCSCTTY, 0);
      dup2(slave_, STDIN_FILENO);
      dup2(slave_, STDOUT_FILENO);
      close(master_);
      _exit(body());
    }
  }
  void TearDown() override { Finish(); }
  void Finish() {
    close(master_);
    close(slave_);
    master_ = slave_ = -1;
  }

  void Type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), (ssize_t)keys.size());
  }
  // The child's next line; a child that stops talking fails the test after a long
  // grace period instead of hanging it.
  std::string Heard() {
    std::string line;
    char c;
    pollfd ready = {master_, POLLIN, 0};
    while (poll(&ready, 1, 20000) == 1 && read(master_, &c, 1) == 1 && c != '\n') {
      if (c != '\r') line += c;
    }
    return line;
  }
  int Status() {
    int status = -1;
    waitpid(child_, &status, 0);
    return status;
  }
  bool TerminalAsFound() {
    termios now;
    return tcgetattr(slave_, &now) == 0 && now.c_iflag == original_.c_iflag &&
           now.c_oflag == original_.c_oflag && now.c_cflag == original_.c_cflag &&
           now.c_lflag == original_.c_lflag &&
           std::memcmp(now.c_cc, original_.c_cc, sizeof now.c_cc) == 0;
  }
  bool TerminalReadsKeys() {
    termios now;
    return tcgetattr(slave_, &now) == 0 && !(now.c_lflag & (ICANON | ECHO)) &&
           (now.c_lflag & ISIG);
  }

  int master_ = -1;
  int slave_ = -1;
  pid_t child_ = -1;
  termios original_;
};

// In the child: the pseudo-terminal is standard output.
void Say(const char* line) {
  std::string text = std::string(line) + "\n";
  if (write(STDOUT_FILENO, text.data(), text.size()) < 0) _exit(90);
}

bool WaitForKey(int key) {
  for (int tries = 0; tries < 20000; ++tries) {
    if (GetAsyncKeyState(key)) return true;
    Sleep(1);
  }
  return false;
}

void WaitForTypedBytes() {
  int pending = 0;
  while (ioctl(STDIN_FILENO, FIONREAD, &pending) == 0 && pending == 0) Sleep(1);
  Sleep(2);  // the next query is on a later tick, so it looks at the terminal
}

// Talks with the child below, one exchange per round.
int TalkAboutKeys() {
  GetAsyncKeyState(VK_ESCAPE);
  GetAsyncKeyState(VK_SPACE);
  Say("ready");
  if (!WaitForKey(VK_SPACE)) return 10;  // typed: an arrow key, then SPACE
  Say(GetAsyncKeyState(VK_ESCAPE) ? "arrow counted as ESC" : "arrow ignored");
  Say(GetAsyncKeyState(VK_SPACE) ? "space twice" : "space once");
  if (!WaitForKey(VK_ESCAPE)) return 11;  // typed: ESC
  Say(GetAsyncKeyState(VK_ESCAPE) ? "esc twice" : "esc once");
  WaitForTypedBytes();  // typed: SPACE, seen by the ESC query, then discarded
  GetAsyncKeyState(VK_ESCAPE);
  Say(FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)) &&
              !GetAsyncKeyState(VK_SPACE)
          ? "flushed pending"
          : "pending kept");
  WaitForTypedBytes();  // typed: SPACE, discarded before anyone looked
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  Sleep(2);
  Say(GetAsyncKeyState(VK_SPACE) ? "typed kept" : "flushed typed");
  ExitProcess(7);
}

TEST_F(Keyboard, PressesSinceTheLastQueryOnATerminal) {
  Start(TalkAboutKeys);
  ASSERT_EQ(Heard(), "ready");
  EXPECT_TRUE(TerminalReadsKeys());
  Type("\x1b[A ");
  EXPECT_EQ(Heard(), "arrow ignored");
  EXPECT_EQ(Heard(), "space once");
  Type("\x1b");
  EXPECT_EQ(Heard(), "esc once");
  Type(" ");
  EXPECT_EQ(Heard(), "flushed pending");
  Type(" ");
  EXPECT_EQ(Heard(), "flushed typed");
  int status = Status();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_TRUE(TerminalAsFound());
}

// Every way out puts the terminal back: ExitProcess, exit(), and the signals that end
// a process, Ctrl-C typed on the terminal included.
TEST_F(Keyboard, TerminalRestoredOnEveryWayOut) {
  struct WayOut {
    const char* name;
    std::function<void()> leave;  // run in the child
    int signal;                   // sent from outside; 0 for none
    const char* typed;
    int expected;  // exit code or signal
  };
  const WayOut ways[] = {
      {"ExitProcess(0)", [] { ExitProcess(0); }, 0, nullptr, 0},
      {"ExitProcess(1)", [] { ExitProcess(1); }, 0, nullptr, 1},
      {"exit(3)", [] { exit(3); }, 0, nullptr, 3},
      {"Ctrl-C", [] {}, 0, "\x03", SIGINT},
      {"SIGTERM", [] {}, SIGTERM, nullptr, SIGTERM},
      {"SIGHUP", [] {}, SIGHUP, nullptr, SIGHUP},
  };
  for (const WayOut& way : ways) {
    SCOPED_TRACE(way.name);
    Start([&way] {
      GetAsyncKeyState(VK_SPACE);
      Say("ready");
      if (WaitForKey(VK_SPACE)) way.leave();
      return 99;
    });
    ASSERT_EQ(Heard(), "ready");
    EXPECT_TRUE(TerminalReadsKeys());
    if (way.signal != 0) {
      kill(child_, way.signal);
    } else {
      Type(way.typed != nullptr ? way.typed : " ");
    }
    int status = Status();
    if (way.signal != 0 || way.typed != nullptr) {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), way.expected);
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), way.expected);
    }
    EXPECT_TRUE(TerminalAsFound());
    Finish();
  }
}

// A background job must not touch the terminal: the kernel would stop it.
TEST_F(Keyboard, BackgroundJobLeavesTheTerminalAlone) {
  Start([] {
    pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);
      bool quiet = GetAsyncKeyState(VK_ESCAPE) == 0;
      return quiet && FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)) ? 0 : 1;
    }
    int status;
    waitpid(job, &status, WUNTRACED);
    if (WIFSTOPPED(status)) kill(job, SIGKILL);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
  });
  int status = Status();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(TerminalAsFound());
}

// Without a terminal no key is pressed and typed bytes stay where they are.
TEST(KeyboardWithoutTerminal, KeysNeverPressedAndNothingConsumed) {
  int status = RunInChild([] {
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], " \x1b", 2) != 2) return 1;
    close(fds[1]);  // a wrong read then meets the end instead of waiting
    dup2(fds[0], STDIN_FILENO);
    for (int i = 0; i < 5; ++i, Sleep(1)) {
      if (GetAsyncKeyState(VK_SPACE) || GetAsyncKeyState(VK_ESCAPE)) return 2;
    }
    if (FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)) ||
        GetLastError() != ERROR_INVALID_HANDLE) {
      return 3;
    }
    char bytes[3];
    return read(STDIN_FILENO, bytes, 3) == 2 && bytes[0] == ' ' ? 0 : 4;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
