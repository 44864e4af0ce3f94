#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "../../src/platform/posix/posix_layer.h"
#include "platform_test_support.h"

namespace {

constexpr uint64_t kGiB = 1ull << 30;

// A loop device over a file, when this process may set one up.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& backing) {
    int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    int number = control < 0 ? -1 : ioctl(control, LOOP_CTL_GET_FREE);
    if (control >= 0) close(control);
    if (number < 0) return;
    path_ = "/dev/loop" + std::to_string(number);
    int file = open(backing.c_str(), O_RDWR | O_CLOEXEC);
    fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ >= 0 && ioctl(fd_, LOOP_SET_FD, file) != 0) {
      close(fd_);
      fd_ = -1;
    }
    close(file);
  }
  ~LoopDevice() {
    if (fd_ < 0) return;
    ioctl(fd_, LOOP_CLR_FD, 0);
    close(fd_);
  }
  bool Attached() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

class FilePosition : public ScratchDirectory {
 protected:
  // A sparse file of the given length.
  std::string SparseFile(const std::string& name, uint64_t length) {
    std::string path = MakeFile(name, "");
    EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(length)), 0);
    return path;
  }
  // GetFileSize as the program uses it: the 64-bit size, or -1 when the last error
  // says it failed.
  int64_t SizeOf(HANDLE file) {
    SetLastError(777);
    DWORD high = 0xDEAD;
    DWORD low = GetFileSize(file, &high);
    if (GetLastError() != 0) return -1;
    return static_cast<int64_t>(static_cast<uint64_t>(high) << 32 | low);
  }
};

TEST_F(FilePosition, SizesOfFilesAndThingsWithoutLength) {
  struct Case {
    const char* name;
    uint64_t length;
  };
  for (Case c : {Case{"empty", 0}, Case{"all-ones", 0xFFFFFFFFull},
                 Case{"five-gib", 5 * kGiB + 100}}) {
    HANDLE file = OpenForReading(SparseFile(c.name, c.length));
    EXPECT_EQ(SizeOf(file), static_cast<int64_t>(c.length)) << c.name;
    CloseHandle(file);
  }
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  for (const std::string& path : {Path("fifo"), std::string("/dev/null")}) {
    // Read and write, so that opening the FIFO does not wait for a writer.
    HANDLE thing = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 3, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(thing, INVALID_HANDLE_VALUE) << path;
    EXPECT_EQ(SizeOf(thing), 0) << path;
    CloseHandle(thing);
  }
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FilePosition, SeeksBeyondFourGibAndRefusesToGoNegative) {
  HANDLE file =
      CreateFileA(SparseFile("big", 6 * kGiB).c_str(), GENERIC_READ | GENERIC_WRITE, 1,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 3, &high, FILE_BEGIN), 3u);
  EXPECT_EQ(high, 1);
  DWORD count;
  ASSERT_TRUE(WriteFile(file, "Z", 1, &count, nullptr));

  high = -1;  // the byte just written, found again from the end: 6 GiB - 2 GiB + 3
  EXPECT_EQ(SetFilePointer(file, INT32_MIN + 3, &high, FILE_END), 3u);
  EXPECT_EQ(high, 1);
  char byte = 0;
  ASSERT_TRUE(ReadFile(file, &byte, 1, &count, nullptr));
  EXPECT_EQ(byte, 'Z');
  high = 0;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 4u);
  EXPECT_EQ(high, 1);

  high = -1;  // before the start: refused, and the pointer stays
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(file, -5, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  high = -2;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  high = 0;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 4u);
  EXPECT_EQ(high, 1);
  CloseHandle(file);
}

TEST_F(FilePosition, LowHalfAllOnesIsNotAFailure) {
  HANDLE file = OpenForReading(SparseFile("f", 0));
  SetLastError(777);
  LONG high = 0;
  EXPECT_EQ(SetFilePointer(file, -1, &high, FILE_BEGIN), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(file);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  HANDLE reader = NewHandle(fds[0]);
  EXPECT_EQ(SetFilePointer(reader, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  CloseHandle(reader);
  close(fds[1]);
}

// A block device: its size comes from the device, and reads end at its end.
TEST_F(FilePosition, BlockDeviceSizeAndEnd) {
  const uint64_t length = 3 * (1u << 20) + 1024;
  LoopDevice device(SparseFile("backing", length));
  if (!device.Attached()) GTEST_SKIP() << "no loop device for this process";
  HANDLE disk = OpenForReading(device.Path());
  ASSERT_NE(disk, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(disk), static_cast<DWORD>(FILE_TYPE_DISK));
  EXPECT_EQ(SizeOf(disk), static_cast<int64_t>(length));
  EXPECT_EQ(SetFilePointer(disk, static_cast<LONG>(length - 100), nullptr, FILE_BEGIN),
            length - 100);
  char buffer[4096];
  DWORD count = 0;
  EXPECT_TRUE(ReadFile(disk, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(count, 100u);
  EXPECT_TRUE(ReadFile(disk, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(count, 0u);
  CloseHandle(disk);
}

}  // namespace
