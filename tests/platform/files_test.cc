#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>  // std::exchange

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(mkdtemp(&dir_[0]), nullptr); }
  void TearDown() override {
    if (file_ != nullptr) CloseHandle(file_);
    EXPECT_EQ(std::system(("rm -rf " + dir_).c_str()), 0);
  }
  std::string MakeFile(const char* name, const std::string& content) {
    std::ofstream(dir_ + name, std::ios::binary) << content;
    return dir_ + name;
  }
  // One BackupRead: what it delivered, after "FAILED <code> ", "!" if it wrote past
  // that.
  std::string Next(DWORD size, PreadFn pread_fn = ::pread) {
    std::string buffer(size + 8, '~');
    DWORD count = 0xDEAD;
    BOOL ok = BackupReadWith(file_, reinterpret_cast<LPBYTE>(&buffer[0]), size, &count,
                             FALSE, &context_, pread_fn);
    bool spoilt = count > size || buffer.find_first_not_of('~', count) != buffer.npos;
    buffer.resize(std::min<DWORD>(count, size));
    return (ok ? "" : "FAILED " + std::to_string(GetLastError()) + " ") + buffer +
           (spoilt ? "!" : "");
  }
  std::string dir_ = ::testing::TempDir() + "tavo-platform-XXXXXX";
  HANDLE file_ = nullptr;
  LPVOID context_ = nullptr;
};

// Hardware (a device link) in the kernel's order of names; optical drives, floppies,
// virtual block devices and the boot and RPMB areas of an eMMC get no number, with a
// device link or without.
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
  const char* disks[] = {"/dev/cciss/c0d0", "/dev/mmcblk0", "/dev/mmcblk1",
                         "/dev/mmcblk10",   "/dev/nvme0n1", "/dev/nvme1n1",
                         "/dev/nvme10n1",   "/dev/sda",     "/dev/sdb",
                         "/dev/sdz",        "/dev/sdaa",    "/dev/vda"};
  for (unsigned long n = 0; n < std::size(disks); ++n)
    EXPECT_EQ(NthDiskDevice(dir_.c_str(), n), disks[n]) << "disk " << n;
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), std::size(disks)), "");
}

// A 20-byte header (a data stream of 0x78 bytes), then the content. Every request is
// filled, across the header's end too; the file pointer plays no part; an abort starts
// afresh. A failure reports what arrived; the next call goes on past the failed
// request.
TEST_F(Files, BackupStreamIsHeaderThenContent) {
  const std::string content(120, 'x');
  const std::string stream =
      std::string("\x01\0\0\0\0\0\0\0\x78", 9) + std::string(11, '\0') + content;
  file_ = CreateFileA(MakeFile("/data", content).c_str(), GENERIC_READ, 1, nullptr,
                      OPEN_EXISTING, 0, nullptr);
  SetFilePointer(file_, 50, nullptr, FILE_BEGIN);
  for (DWORD size : {1u, 19u, 21u, 512u}) {
    std::string got, piece;
    while (got.size() < 999 && !(piece = Next(size)).empty()) {
      EXPECT_TRUE(piece.size() == size || got.size() + piece.size() == stream.size());
      got += piece;
    }
    EXPECT_EQ(got, stream) << size;
    EXPECT_EQ(Next(size), "") << size;
    EXPECT_TRUE(BackupRead(file_, nullptr, 0, nullptr, TRUE, FALSE, &context_));
    EXPECT_EQ(context_, nullptr);
  }
  PreadFn scripted = [](int, void* b, size_t, off_t) -> ssize_t {  // 10 bytes, then EIO
    static int calls = 0;
    return calls++ == 0 ? (memset(b, 'd', 10), 10) : (errno = EIO, -1);
  };
  EXPECT_EQ(Next(64, scripted),
            "FAILED 23 " + stream.substr(0, 20) + std::string(10, 'd'));
  EXPECT_EQ(Next(512), std::string(76, 'x'));
  EXPECT_TRUE(BackupRead(file_, nullptr, 0, nullptr, TRUE, FALSE, &context_));
}

// A disk fails as Windows' disks do: a medium or protection error is an unreadable
// sector (23), a timeout or a transport failure a device error (1117), which the
// read loop steps over; on a file a timeout is a network failure (59), which ends the
// run. A refusal is that request's own error (87), the first request of a handle
// included, and a request of part of a sector is refused without a read.
TEST_F(Files, DiskReadsFailAsOnWindows) {
  int bytes = open(MakeFile("/d", std::string(1024, 'd')).c_str(), O_RDONLY);
  FileRecord disk, file;
  disk.fd = file.fd = bytes;
  disk.positioned = file.positioned = true;
  disk.disk = true;
  disk.sector_size = 512;
  static int error;  // the next read fails with it
  PreadFn device = [](int fd, void* buffer, size_t size, off_t at) -> ssize_t {
    int fails = std::exchange(error, 0);
    return fails != 0 ? (errno = fails, -1) : pread(fd, buffer, size, at);
  };
  auto code = [&](FileRecord& record, int fails_with, DWORD size = 512) {
    char buffer[512];
    DWORD count;
    error = fails_with;
    return ReadFileWith(&record, buffer, size, &count, device) ? 0 : GetLastError();
  };
  EXPECT_EQ(code(disk, EINVAL), 87u);
  EXPECT_EQ(code(disk, 0), 0u);
  // errno, then the code on a disk and on a file
  const int rows[][3] = {{ENODATA, 23, 31},     {EILSEQ, 23, 31},
                         {ETIMEDOUT, 1117, 59}, {ENOLINK, 1117, 31},
                         {EREMOTEIO, 1117, 31}, {EBADE, 1117, 31},
                         {EIO, 23, 23},         {EINVAL, 87, 87}};
  for (const auto& row : rows) {
    EXPECT_EQ(code(disk, row[0]), static_cast<DWORD>(row[1])) << row[0];
    EXPECT_EQ(code(file, row[0]), static_cast<DWORD>(row[2])) << row[0];
  }
  EXPECT_EQ(code(disk, EIO, 1), 87u);
  EXPECT_EQ(disk.sector_size, 512u);
  close(bytes);
}

// An output is opened for reading too, for the resume check. A flush reaches the
// medium of a file; what cannot be synchronised by its nature (a FIFO, /dev/null)
// has nothing to flush and is no failure.
TEST_F(Files, OutputsAreReadableAndFlushed) {
  std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {dir_ + "/out", fifo, std::string("/dev/null")}) {
    HANDLE output = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 1, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(output, INVALID_HANDLE_VALUE) << name;
    DWORD count = 0;
    char read[4] = {};
    EXPECT_TRUE(WriteFile(output, "abc", 3, &count, nullptr)) << name;
    if (name == dir_ + "/out") {
      SetFilePointer(output, 1, nullptr, FILE_BEGIN);
      EXPECT_TRUE(ReadFile(output, read, 3, &count, nullptr));
      EXPECT_EQ(std::string(read, count), "bc");
    }
    EXPECT_TRUE(FlushFileBuffers(output)) << name;
    EXPECT_TRUE(CloseHandle(output));
  }
  EXPECT_FALSE(FlushFileBuffers(INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Whether a disk is read uncached is decided by one read of its first sector when it
// is opened: only a refusal there (EINVAL) makes it read cached. A medium error, a
// missing medium or an empty device leave it uncached; the read asks for one whole
// sector at offset 0 into a buffer aligned to the sector, as O_DIRECT needs.
TEST_F(Files, OnlyARefusedFirstSectorReadsCached) {
  static int answer;  // the probe's errno, or 0 for an empty device, -1 for a sector
  PreadFn device = [](int, void* buffer, size_t size, off_t at) -> ssize_t {
    if (size != 4096 || at != 0 || reinterpret_cast<uintptr_t>(buffer) % 4096 != 0) {
      ADD_FAILURE() << "asked " << size << " bytes at " << at;
    }
    if (answer > 0) return errno = answer, -1;
    return answer == 0 ? 0 : static_cast<ssize_t>(size);
  };
  const std::pair<int, bool> cases[] = {
      {EINVAL, true}, {EIO, false}, {ENOMEDIUM, false}, {0, false}, {-1, false}};
  for (const auto& [errno_value, refused] : cases) {
    answer = errno_value;
    EXPECT_EQ(RefusesUncachedReads(-1, 4096, device), refused) << errno_value;
  }
}

std::string Content(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A map or result file is written to a temporary file of its own and moved over the
// old one in one step. CREATE_NEW makes only a file that was not there: an existing
// file, a link to one and a dangling link are each refused (80), the link's target
// neither changed nor created. MoveFileExA never replaces a device or a directory,
// and a move that must not replace is not offered.
TEST_F(Files, AFileIsReplacedWholeInOneStep) {
  std::string target = MakeFile("/map", "old map\n");
  std::string beside = dir_ + "/map.1-0.tmp";
  ASSERT_EQ(symlink(target.c_str(), (dir_ + "/link").c_str()), 0);
  ASSERT_EQ(symlink((dir_ + "/made").c_str(), (dir_ + "/dangling").c_str()), 0);
  for (const char* taken : {"/map", "/link", "/dangling"}) {
    EXPECT_EQ(CreateFileA((dir_ + taken).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS) << taken;
  }
  EXPECT_EQ(Content(target), "old map\n");
  EXPECT_NE(access((dir_ + "/made").c_str(), F_OK), 0);
  file_ = CreateFileA(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file_, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file_, "new map\n", 8, &written, nullptr));
  EXPECT_TRUE(FlushFileBuffers(file_));
  CloseHandle(std::exchange(file_, nullptr));
  EXPECT_FALSE(MoveFileExA(beside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(MoveFileExA(beside.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(Content(target), "new map\n");
  EXPECT_FALSE(MoveFileExA(beside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileExA(target.c_str(), dir_.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(MoveFileExA(target.c_str(), "/dev/null", MOVEFILE_REPLACE_EXISTING));
  EXPECT_TRUE(DeleteFileA(target.c_str()));
  EXPECT_FALSE(DeleteFileA(target.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A file's volume and index are the same through a hard link, a symbolic link and
// another spelling, and another file's differ. Opening with access 0 to learn them
// needs no read right, does not wait for a FIFO's writer, creates nothing, and opens a
// directory only with backup semantics.
TEST_F(Files, AFileIsKnownByItsVolumeAndIndex) {
  std::string file = MakeFile("/file", "data"), fifo = dir_ + "/fifo";
  ASSERT_EQ(link(file.c_str(), (dir_ + "/hard").c_str()), 0);
  ASSERT_EQ(symlink("file", (dir_ + "/soft").c_str()), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0200), 0);
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  auto identity = [](const std::string& name, DWORD flags = 0) {
    HANDLE handle =
        CreateFileA(name.c_str(), 0, 7, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
      return "error " + std::to_string(GetLastError());
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(GetFileInformationByHandle(handle, &info)) << name;
    CloseHandle(handle);
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow) + " links " +
           std::to_string(info.nNumberOfLinks);
  };
  const std::string own = identity(file);
  EXPECT_EQ(own.find("links 2"), own.size() - 7) << own;
  for (const char* other : {"/hard", "/soft", "/./file"})
    EXPECT_EQ(identity(dir_ + other), own) << other;
  EXPECT_NE(identity(fifo), own);
  EXPECT_EQ(identity(fifo).find("error"), std::string::npos);
  EXPECT_EQ(identity(dir_), "error 5");
  EXPECT_EQ(identity(dir_, FILE_FLAG_BACKUP_SEMANTICS).find("error"),
            std::string::npos);
  EXPECT_EQ(identity(dir_ + "/absent"), "error 2");
  EXPECT_EQ(
      CreateFileA((dir_ + "/absent").c_str(), 0, 7, nullptr, OPEN_ALWAYS, 0, nullptr),
      INVALID_HANDLE_VALUE);
  EXPECT_NE(access((dir_ + "/absent").c_str(), F_OK), 0);
}

// A file in memory is not read uncached (87); one on a disk's file system is, in whole
// sectors only. The temporary directory may itself be in memory.
TEST_F(Files, UncachedOpens) {
  struct stat shm;
  if (stat("/dev/shm", &shm) == 0) {
    std::string inMemory = "/dev/shm/tavo-platform-" + std::to_string(getpid());
    std::ofstream(inMemory) << "bytes";
    EXPECT_EQ(CreateFileA(inMemory.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING,
                          FILE_FLAG_NO_BUFFERING, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    unlink(inMemory.c_str());
  }
  file_ = CreateFileA(MakeFile("/data", std::string(8192, 'd')).c_str(), GENERIC_READ,
                      7, nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    file_ = nullptr;
    return;
  }
  uint32_t sector = RecordOf(file_)->sector_size;
  ASSERT_GE(sector, 512u);
  void* buffer = aligned_alloc(4096, 8192);
  DWORD count = 0;
  EXPECT_FALSE(ReadFile(file_, buffer, sector - 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(ReadFile(file_, buffer, 8192, &count, nullptr));
  EXPECT_EQ(count, 8192u);
  free(buffer);
}

}  // namespace
