#include <poll.h>
#include <pty.h>  // openpty
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>  // login_tty

#include <cstring>

#include "gtest/gtest.h"
#include "platform.h"

namespace {

// True when key is pressed within a long grace period, and the press counts once.
bool WaitForKey(int key) {
  for (int tries = 0; !GetAsyncKeyState(key); Sleep(1))
    if (++tries == 20000) return false;
  return !GetAsyncKeyState(key);
}

// A child on a new pseudo-terminal: a query answers whether its key was pressed since
// the previous query of it, an arrow key is no ESC, and the terminal settings come
// back through ExitProcess and through Ctrl-C.
TEST(Keys, OnATerminalAndTheWayOut) {
  for (const char* last : {"\x1b", "\x03"}) {  // ESC alone, or Ctrl-C
    int master, slave, status = -1;
    termios before, now;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    pid_t child = fork();
    if (child == 0 && (login_tty(slave) != 0 || alarm(60) != 0)) _exit(98);
    if (child == 0) {
      auto say = [](char answer) { return write(STDOUT_FILENO, &answer, 1) == 1; };
      GetAsyncKeyState(VK_ESCAPE);
      say('r');
      if (!WaitForKey(VK_SPACE)) _exit(10);          // typed: an arrow key, then SPACE
      say(GetAsyncKeyState(VK_ESCAPE) ? 'E' : 's');  // the arrow is no ESC
      if (WaitForKey(VK_ESCAPE)) ExitProcess(7);
      _exit(11);
    }
    // A child that falls silent fails the test instead of hanging it.
    auto heard = [&] {
      char answer = '-';
      pollfd ready = {master, POLLIN, 0};
      return poll(&ready, 1, 20000) == 1 && read(master, &answer, 1) == 1 ? answer
                                                                          : '-';
    };
    auto asFound = [&] {
      return tcgetattr(slave, &now) == 0 && now.c_lflag == before.c_lflag &&
             std::memcmp(now.c_cc, before.c_cc, sizeof now.c_cc) == 0;
    };
    ASSERT_EQ(heard(), 'r');
    EXPECT_FALSE(asFound());
    ASSERT_EQ(write(master, "\x1b[A ", 4), 4);
    EXPECT_EQ(heard(), 's');
    ASSERT_EQ(write(master, last, 1), 1);
    waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status),
              *last == '\x1b' ? 7 : 1000 + SIGINT);
    EXPECT_TRUE(asFound());
    for (int fd : {master, slave}) close(fd);
  }
}

}  // namespace
