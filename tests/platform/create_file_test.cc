#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "../../src/platform/posix/posix_layer.h"
#include "platform_test_support.h"

namespace {

class CreateFile : public ScratchDirectory {
 protected:
  // The last error CreateFileA leaves, closing what it opened.
  DWORD OpenError(const std::string& name, DWORD access, DWORD disposition,
                  DWORD flags = 0) {
    SetLastError(12345);
    HANDLE file =
        CreateFileA(name.c_str(), access, 7, nullptr, disposition, flags, nullptr);
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return error;
  }
  long long SizeOf(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? status.st_size : -1;
  }
};

TEST_F(CreateFile, MissingFileIsTwoAndMissingDirectoryThree) {
  std::string file = MakeFile("file", "x");
  EXPECT_EQ(OpenError(Path("absent"), GENERIC_READ, OPEN_EXISTING), 2u);
  EXPECT_EQ(OpenError(Path("absent/file"), GENERIC_READ, OPEN_EXISTING), 3u);
  EXPECT_EQ(OpenError(Path("absent/file"), GENERIC_WRITE, OPEN_ALWAYS), 3u);
  EXPECT_EQ(OpenError(file + "/below", GENERIC_READ, OPEN_EXISTING), 3u);
  EXPECT_EQ(OpenError("", GENERIC_READ, OPEN_EXISTING), 3u);
  EXPECT_EQ(OpenError(file, GENERIC_READ, OPEN_EXISTING), 0u);
}

// OPEN_ALWAYS says whether the file was there, and never shortens it.
TEST_F(CreateFile, OpenAlwaysCreatesOrKeeps) {
  EXPECT_EQ(OpenError(Path("new"), GENERIC_WRITE, OPEN_ALWAYS), 0u);
  EXPECT_EQ(SizeOf(Path("new")), 0);
  std::string old = MakeFile("old", std::string(1000, 'o'));
  EXPECT_EQ(OpenError(old, GENERIC_WRITE, OPEN_ALWAYS), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(SizeOf(old), 1000);
  EXPECT_EQ(OpenError(old, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS),
            ERROR_ALREADY_EXISTS);
  EXPECT_EQ(SizeOf(old), 1000);
}

TEST_F(CreateFile, DirectoriesOnlyForReadingWithBackupSemantics) {
  EXPECT_EQ(OpenError(dir_, GENERIC_READ, OPEN_EXISTING), 5u);
  EXPECT_EQ(OpenError(dir_, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_POSIX_SEMANTICS),
            5u);
  EXPECT_EQ(OpenError(dir_, GENERIC_WRITE, OPEN_ALWAYS), 5u);
  EXPECT_EQ(OpenError(dir_, GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS),
            5u);

  HANDLE directory = OpenForReading(dir_, FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(directory, INVALID_HANDLE_VALUE);
  char buffer[16];
  DWORD count = 99;
  EXPECT_FALSE(ReadFile(directory, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(CloseHandle(directory));
}

TEST_F(CreateFile, DeviceNames) {
  EXPECT_EQ(OpenError("\\\\.\\c:", GENERIC_READ, OPEN_EXISTING), 3u);
  EXPECT_EQ(OpenError("\\\\.\\Z:", GENERIC_READ, OPEN_EXISTING), 3u);
  EXPECT_EQ(OpenError("\\\\.\\physicaldrive99", GENERIC_READ, OPEN_EXISTING), 2u);
  EXPECT_EQ(OpenError("\\\\.\\PhysicalDrive99", GENERIC_READ, OPEN_EXISTING), 2u);
}

TEST_F(CreateFile, PhysicalDriveZeroIsTheFirstDisk) {
  std::string disk = NthDiskDevice("/sys/block", 0);
  int readable = disk.empty() ? -1 : open(disk.c_str(), O_RDONLY);
  if (readable < 0) GTEST_SKIP() << "no disk this process may read";
  close(readable);
  HANDLE drive = OpenForReading("\\\\.\\PHYSICALDRIVE0");
  ASSERT_NE(drive, INVALID_HANDLE_VALUE) << disk;
  EXPECT_EQ(GetFileType(drive), static_cast<DWORD>(FILE_TYPE_DISK));
  DWORD high = 0;
  DWORD low = GetFileSize(drive, &high);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_NE(low | high, 0u) << "a block device's size comes from the device";
  CloseHandle(drive);
}

TEST_F(CreateFile, DisksAreNumberedInNameOrderWithoutLoopAndRamDisks) {
  for (const char* name :
       {"sdb", "loop0", "sda", "ram1", "zram0", "nvme0n1", "cciss!c0d0"}) {
    ASSERT_EQ(mkdir(Path(name).c_str(), 0755), 0);
  }
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 0), "/dev/cciss/c0d0");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 1), "/dev/nvme0n1");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 3), "/dev/sdb");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 4), "");
  EXPECT_EQ(NthDiskDevice(Path("absent").c_str(), 0), "");
}

}  // namespace
