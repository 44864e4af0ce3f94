#include <poll.h>
#include <pty.h>  // openpty
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>  // login_tty

#include <cstring>
#include <functional>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"
#include "platform.h"

namespace {

// An empty argument and one with a blank or a control character are quoted.
TEST(CommandLine, Quoting) {
  const char* argv[] = {"tavo", "a b", "", "x\ty", "\x01", "!q", "caf\xC3\xA9", "/512"};
  EXPECT_EQ(JoinCommandLine(8, argv),
            "tavo \"a b\" \"\" \"x\ty\" \"\x01\" !q caf\xC3\xA9 /512");
}

// A child on a new pseudo-terminal (its controlling terminal, standard input and
// output) that an alarm ends if it hangs; the test types keys and reads answers.
class Child : public ::testing::Test {
 protected:
  void Start(const std::function<int()>& body) {
    TearDown();
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(tcgetattr(slave_, &original_), 0);
    if ((child_ = fork()) == 0) _exit(!login_tty(slave_) && !alarm(60) ? body() : 98);
  }
  void TearDown() override {
    for (int fd : {master_, slave_}) close(fd);
  }
  void Type(const char* keys) { ASSERT_GT(write(master_, keys, std::strlen(keys)), 0); }
  char Heard() {  // a child that falls silent fails the test instead of hanging it
    char answer = '-';
    pollfd ready = {master_, POLLIN, 0};
    return poll(&ready, 1, 20000) == 1 && read(master_, &answer, 1) == 1 ? answer : '-';
  }
  int Ended() {  // the exit code, or 1000 and the signal that ended the child
    int status = -1;
    waitpid(child_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  bool TerminalAsFound() {
    termios now;
    return tcgetattr(slave_, &now) == 0 && now.c_lflag == original_.c_lflag &&
           std::memcmp(now.c_cc, original_.c_cc, sizeof now.c_cc) == 0;
  }
  int master_ = -1, slave_ = -1;
  pid_t child_ = -1;
  termios original_;
};

void Say(char answer) { ASSERT_EQ(write(STDOUT_FILENO, &answer, 1), 1); }

// True when key is pressed within a long grace period, and the press counts once.
bool WaitForKey(int key) {
  for (int tries = 0; !GetAsyncKeyState(key); Sleep(1)) {
    if (++tries == 20000) return false;
  }
  return !GetAsyncKeyState(key);
}

// A query answers whether its key was pressed since the previous query of it; the
// terminal settings come back through ExitProcess and through Ctrl-C.
TEST_F(Child, KeysOnATerminalAndTheWayOut) {
  for (const char* last : {"\x1b", "\x03"}) {  // ESC alone, or Ctrl-C
    Start([] {
      GetAsyncKeyState(VK_ESCAPE);
      Say('r');
      if (!WaitForKey(VK_SPACE)) return 10;          // typed: an arrow key, then SPACE
      Say(GetAsyncKeyState(VK_ESCAPE) ? 'E' : 's');  // the arrow is no ESC
      if (WaitForKey(VK_ESCAPE)) ExitProcess(7);
      return 11;
    });
    ASSERT_EQ(Heard(), 'r');
    EXPECT_FALSE(TerminalAsFound());
    Type("\x1b[A ");
    EXPECT_EQ(Heard(), 's');
    Type(last);
    EXPECT_EQ(Ended(), *last == '\x1b' ? 7 : 1000 + SIGINT);
    EXPECT_TRUE(TerminalAsFound());
  }
}

volatile long double zero = 0.0L, sink;
volatile double zero_double = 0.0;

// A fault after the preparation reaches the handler, in the x87 and the SSE unit,
// while flags that masked arithmetic raised before it do not fault.
TEST_F(Child, RealArithmeticFaultsReachTheHandler) {
  for (int fault : {0, 1, 2}) {
    Start([fault] {
      sink = 1.0L / zero + 1.0 / zero_double;
      PrepareRealArithmetic([] { _exit(42); });
      sink = fault == 0 ? 1.0L / zero : fault == 1 ? 1.0 / zero_double : zero + 1;
      return 0;
    });
    EXPECT_EQ(Ended(), fault < 2 ? 42 : 0) << fault;
  }
}

}  // namespace
