// The POSIX layer where the program's runs cannot reach it: sysfs disks, the backup
// stream, the uncached probe.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(mkdtemp(&dir_[0]), nullptr); }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf " + dir_).c_str()), 0); }
  std::string MakeFile(const char* name, const std::string& content) {
    std::ofstream(dir_ + name, std::ios::binary) << content;
    return dir_ + name;
  }
  std::string dir_ = ::testing::TempDir() + "tavo-platform-XXXXXX";
};

// Hardware (a device link) in the kernel's order of names; optical drives, floppies,
// virtual block devices and the boot and RPMB areas of an eMMC get no number, with a
// device link or without. A number past them is told with the list of them.
TEST_F(Files, DisksAreNumberedAsTheMachinesDisks) {
  for (std::string name :
       {"sdaa",       "vda",          "sdz",         "nvme10n1", "sdb",
        "cciss!c0d0", "nvme1n1",      "sda",         "nvme0n1",  "sr0",
        "fd0",        "dm-0",         "md127",       "nbd0",     "loop0",
        "ram0",       "zram0",        "dm-1",        "vdb",      "mmcblk0boot0",
        "mmcblk0",    "mmcblk0boot1", "mmcblk0rpmb", "mmcblk1",  "mmcblk10boot0",
        "mmcblk10"}) {
    ASSERT_EQ(mkdir((dir_ + "/" + name).c_str(), 0755), 0);
    if (name == "dm-1" || name == "vdb") continue;  // no device link
    ASSERT_EQ(symlink("../../devices/x", (dir_ + "/" + name + "/device").c_str()), 0);
  }
  const char* disks[] = {"cciss/c0d0", "mmcblk0", "mmcblk1",  "mmcblk10",
                         "nvme0n1",    "nvme1n1", "nvme10n1", "sda",
                         "sdb",        "sdz",     "sdaa",     "vda"};
  for (unsigned long n = 0; n < std::size(disks); ++n)
    EXPECT_EQ(NthDiskDevice(dir_.c_str(), n), std::string("/dev/") + disks[n]) << n;
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), std::size(disks)), "");
  std::string words = "No such disk: this machine has 12";
  for (unsigned long n = 0; n < std::size(disks); ++n)
    words += (n == 11 ? " and " : ", ") + std::to_string(n) + ": /dev/" + disks[n];
  EXPECT_EQ(NoSuchDiskWords(dir_.c_str()), words);
  EXPECT_EQ(NoSuchDiskWords((dir_ + "/vdb").c_str()),
            "No such disk: this machine has none");
}

// A 20-byte header, then the content: requests filled across the header's end, the
// file pointer ignored, an abort starting afresh; a failure reports what arrived and
// the next call goes on past it.
TEST_F(Files, BackupStreamIsHeaderThenContent) {
  const std::string content(120, 'x');
  const std::string stream =
      std::string("\x01\0\0\0\0\0\0\0\x78", 9) + std::string(11, '\0') + content;
  HANDLE file = CreateFileA(MakeFile("/data", content).c_str(), GENERIC_READ, 1,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  LPVOID context = nullptr;
  // One call: what it delivered, after "FAILED <code> ", "!" if it wrote past that.
  auto next = [&](DWORD size, PreadFn pread_fn = ::pread) {
    std::string buffer(size + 8, '~');
    DWORD count = 0xDEAD;
    BOOL ok = BackupReadWith(file, reinterpret_cast<LPBYTE>(&buffer[0]), size, &count,
                             FALSE, &context, pread_fn);
    bool spoilt = count > size || buffer.find_first_not_of('~', count) != buffer.npos;
    buffer.resize(std::min<DWORD>(count, size));
    return (ok ? "" : "FAILED " + std::to_string(GetLastError()) + " ") + buffer +
           (spoilt ? "!" : "");
  };
  SetFilePointer(file, 50, nullptr, FILE_BEGIN);
  for (DWORD size : {1u, 19u, 21u, 512u}) {
    std::string got, piece;
    while (got.size() < 999 && !(piece = next(size)).empty()) {
      EXPECT_TRUE(piece.size() == size || got.size() + piece.size() == stream.size());
      got += piece;
    }
    EXPECT_EQ(got, stream) << size;
    EXPECT_TRUE(BackupRead(file, nullptr, 0, nullptr, TRUE, FALSE, &context));
    EXPECT_EQ(context, nullptr);
  }
  PreadFn scripted = [](int, void* b, size_t, off_t) -> ssize_t {  // 10 bytes, then EIO
    static int calls = 0;
    return calls++ == 0 ? (memset(b, 'd', 10), 10) : (errno = EIO, -1);
  };
  EXPECT_EQ(next(64, scripted),
            "FAILED 23 " + stream.substr(0, 20) + std::string(10, 'd'));
  EXPECT_EQ(next(512), std::string(76, 'x'));
  EXPECT_TRUE(BackupRead(file, nullptr, 0, nullptr, TRUE, FALSE, &context));
  CloseHandle(file);
}

// Only a refused (EINVAL) probe of the first sector, one whole sector into an aligned
// buffer as O_DIRECT needs, makes a disk read cached; other failures do not.
TEST_F(Files, OnlyARefusedFirstSectorReadsCached) {
  static int answer;  // the probe's errno, or 0 for an empty device, -1 for a sector
  PreadFn device = [](int, void* buffer, size_t size, off_t at) -> ssize_t {
    if (size != 4096 || at != 0 || reinterpret_cast<uintptr_t>(buffer) % 4096 != 0)
      ADD_FAILURE() << "asked " << size << " bytes at " << at;
    if (answer > 0) return errno = answer, -1;
    return answer == 0 ? 0 : static_cast<ssize_t>(size);
  };
  for (int errno_value : {EINVAL, EIO, ENOMEDIUM, 0, -1}) {
    answer = errno_value;
    EXPECT_EQ(RefusesUncachedReads(-1, 4096, device), errno_value == EINVAL)
        << errno_value;
  }
}

}  // namespace
