#include <fcntl.h>
#include <pty.h>  // openpty
#include <sys/socket.h>
#include <unistd.h>

#include "../../src/platform/posix/posix_layer.h"
#include "platform_test_support.h"

namespace {

class Console : public ScratchDirectory {
 protected:
  // GetFileType of standard output while it is fd; checked in a child, whose
  // standard output may be replaced.
  DWORD TypeAsStandardOutput(int fd) {
    int status = RunInChild([fd] {
      dup2(fd, STDOUT_FILENO);
      return static_cast<int>(GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)));
    });
    close(fd);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
  }
};

TEST_F(Console, FileTypesOfStandardOutput) {
  int pipe_fds[2], socket_fds[2], terminal, terminal_slave;
  ASSERT_EQ(pipe(pipe_fds), 0);
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, socket_fds), 0);
  ASSERT_EQ(openpty(&terminal, &terminal_slave, nullptr, nullptr, nullptr), 0);

  EXPECT_EQ(TypeAsStandardOutput(terminal_slave), static_cast<DWORD>(FILE_TYPE_CHAR));
  EXPECT_EQ(TypeAsStandardOutput(open("/dev/null", O_WRONLY)), (DWORD)FILE_TYPE_CHAR);
  EXPECT_EQ(TypeAsStandardOutput(open(MakeFile("f", "").c_str(), O_WRONLY)),
            static_cast<DWORD>(FILE_TYPE_DISK));
  EXPECT_EQ(TypeAsStandardOutput(pipe_fds[1]), static_cast<DWORD>(FILE_TYPE_PIPE));
  EXPECT_EQ(TypeAsStandardOutput(socket_fds[1]), static_cast<DWORD>(FILE_TYPE_PIPE));
  close(pipe_fds[0]);
  close(socket_fds[0]);
  close(terminal);

  int closed = RunInChild([] {
    close(STDOUT_FILENO);
    return GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN &&
                   GetLastError() == ERROR_INVALID_HANDLE
               ? 0
               : 1;
  });
  EXPECT_EQ(closed, 0);
}

}  // namespace
