#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "../../src/platform/posix/posix_layer.h"
#include "platform_test_support.h"

namespace {

class ReadWrite : public ScratchDirectory {};

// A pipe that delivers a request in pieces still fills it; only the end of the input
// makes a read short.
TEST_F(ReadWrite, FillsRequestsFromAPipeFedInPieces) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread feeder([fd = fds[1]] {
    for (const char* piece : {"abc", "defgh", "ij", "klmnop"}) {
      ASSERT_EQ(write(fd, piece, std::strlen(piece)), (ssize_t)std::strlen(piece));
      Sleep(2);
    }
    close(fd);
  });
  HANDLE reader = NewHandle(fds[0]);
  char buffer[10];
  DWORD count = 0;
  EXPECT_TRUE(ReadFile(reader, buffer, 10, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "abcdefghij");
  EXPECT_TRUE(ReadFile(reader, buffer, 10, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "klmnop");
  EXPECT_TRUE(ReadFile(reader, buffer, 10, &count, nullptr));
  EXPECT_EQ(count, 0u);
  feeder.join();
  CloseHandle(reader);
}

TEST_F(ReadWrite, ShortOnlyAtTheEndOfAFile) {
  HANDLE file = OpenForReading(MakeFile("ten", "0123456789"));
  char buffer[16];
  DWORD count = 0;
  EXPECT_TRUE(ReadFile(file, buffer, 4, &count, nullptr));
  EXPECT_EQ(count, 4u);
  EXPECT_TRUE(ReadFile(file, buffer, 16, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "456789");
  EXPECT_TRUE(ReadFile(file, buffer, 16, &count, nullptr));
  EXPECT_EQ(count, 0u);
  CloseHandle(file);
}

// A read function that the test scripts: each call takes the next step, a count of
// bytes (filled with 'd') or an errno as a negative number.
const int* script;
ssize_t ScriptedRead(int, void* buffer, size_t wanted) {
  int step = *script++;
  if (step < 0) {
    errno = -step;
    return -1;
  }
  size_t count = std::min(static_cast<size_t>(step), wanted);
  std::memset(buffer, 'd', count);
  return static_cast<ssize_t>(count);
}

// A bad sector part-way through a block: the part that arrived is reported, and the
// rest of the buffer holds zeros, not what an earlier block left there.
TEST_F(ReadWrite, FailureAfterPartOfABlockReportsThePartAndZeroesTheRest) {
  const int steps[] = {3, -EINTR, 2, -EIO};
  script = steps;
  uint8_t buffer[12];
  std::memset(buffer, 0xAA, sizeof buffer);
  Fill fill = ReadRequest(-1, buffer, sizeof buffer, ScriptedRead);
  EXPECT_EQ(fill.count, 5u);
  EXPECT_EQ(Win32ErrorFromErrno(fill.error, ErrnoUse::kTransferring), ERROR_CRC);
  EXPECT_EQ(std::string(buffer, buffer + 5), "ddddd");
  EXPECT_EQ(std::string(buffer + 5, buffer + 12), std::string(7, '\0'));

  const int end_steps[] = {4, 0};  // the end of the input is not a failure
  script = end_steps;
  std::memset(buffer, 0xAA, sizeof buffer);
  fill = ReadRequest(-1, buffer, sizeof buffer, ScriptedRead);
  EXPECT_EQ(fill.count, 4u);
  EXPECT_EQ(fill.error, 0);
  EXPECT_EQ(buffer[4], 0xAA);
}

TEST_F(ReadWrite, WriteFailuresAreReportedNotFatal) {
  HANDLE file = CreateFileA(Path("out").c_str(), GENERIC_WRITE, 1, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(file, "hello", 5, &count, nullptr));
  EXPECT_EQ(count, 5u);
  CloseHandle(file);

  HANDLE full =
      CreateFileA("/dev/full", GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(WriteFile(full, "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(count, 0u);
  CloseHandle(full);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  HANDLE orphan = NewHandle(fds[1]);
  EXPECT_FALSE(WriteFile(orphan, "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
  CloseHandle(orphan);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
