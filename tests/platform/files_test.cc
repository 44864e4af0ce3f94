#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

TEST(ErrnoTable, RowsTheProgramActsOn) {
  // clang-format off
  const struct { int error; DWORD opening, transfer; } rows[] = {
      {ENOENT, 2, 2}, {ENOTDIR, 3, 3}, {EACCES, 5, 5}, {EISDIR, 5, 1}, {ENOSPC, 112, 112},
      {EIO, 23, 23}, {ENOMEDIUM, 21, 21}, {EINVAL, 87, 87}, {EBUSY, 32, 170}, {ELOOP, 31, 31}};
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.error);
    EXPECT_EQ(Win32ErrorFromErrno(row.error, ErrnoUse::kOpening), row.opening);
    EXPECT_EQ(Win32ErrorFromErrno(row.error, ErrnoUse::kTransferring), row.transfer);
  }
}

// Each call of a scripted read or pread takes the next step: a count of bytes (at
// most those wanted), filled with 'd', or -errno.
const int* script;
ssize_t Step(void* buffer, size_t wanted) {
  int step = *script++;
  if (step < 0) errno = -step;
  if (step < 0) return -1;
  std::memset(buffer, 'd', std::min<size_t>(step, wanted));
  return static_cast<ssize_t>(std::min<size_t>(step, wanted));
}

// A bad sector part-way through a request: the part that arrived is reported, and
// the rest is zeroed rather than left holding an earlier block.
TEST(ReadFile, FailurePartWayReportsThePartAndZeroesTheRest) {
  const int steps[] = {3, -EINTR, 2, -EIO};
  script = steps;
  std::string buffer(12, '~');
  ReadFn scripted = [](int, void* b, size_t n) { return Step(b, n); };
  Fill fill = ReadRequest(-1, reinterpret_cast<uint8_t*>(&buffer[0]), 12, scripted);
  EXPECT_EQ(fill.count, 5u);
  EXPECT_EQ(Win32ErrorFromErrno(fill.error, ErrnoUse::kTransferring), 23u);
  EXPECT_EQ(buffer, "ddddd" + std::string(7, '\0'));
}

// A pipe that delivers in pieces still fills each request; only its end is short.
TEST(ReadFile, FillsRequestsFromAPipeFedInPieces) {
  FILE* feeder = popen("for p in abc defg hij kl; do printf $p; sleep .01; done", "r");
  HANDLE reader = NewHandle(dup(fileno(feeder)));
  std::string got, buffer(10, '~');
  for (DWORD count = 1; count && ReadFile(reader, &buffer[0], 10, &count, nullptr);) {
    got += buffer.substr(0, count) + "|";
  }
  EXPECT_EQ(got, "abcdefghij|kl||");
  CloseHandle(reader);
  pclose(feeder);
}

// A fresh directory, removed with everything in it afterwards.
class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(mkdtemp(&dir_[0]), nullptr); }
  void TearDown() override {
    EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, nullptr, TRUE, FALSE, &context_));
    CloseHandle(file_);
    EXPECT_EQ(std::system(("rm -rf " + dir_).c_str()), 0);
  }
  std::string MakeFile(const char* name, const std::string& content) {
    std::ofstream(dir_ + name, std::ios::binary) << content;
    return dir_ + name;
  }
  HANDLE Open(const std::string& path, DWORD flags = 0) {
    return file_ = CreateFileA(path.c_str(), GENERIC_READ, 1, nullptr, OPEN_EXISTING,
                               flags, nullptr);
  }
  // One BackupRead into a buffer pre-filled with '~': what it delivered, after
  // "FAILED <code> " when it failed. Notes whether the rest kept its '~'.
  std::string Next(DWORD size, PreadFn pread_fn = ::pread) {
    std::string buffer(size + 8, '~');
    DWORD count = 0xDEAD;
    BOOL ok = BackupReadWith(file_, reinterpret_cast<LPBYTE>(&buffer[0]), size, &count,
                             FALSE, &context_, pread_fn);
    tail_kept_ = count <= size && buffer.find_first_not_of('~', count) == buffer.npos;
    buffer.resize(std::min<DWORD>(count, size));
    return ok ? buffer : "FAILED " + std::to_string(GetLastError()) + " " + buffer;
  }
  std::string dir_ = ::testing::TempDir() + "tavo-platform-XXXXXX";
  HANDLE file_ = nullptr;
  LPVOID context_ = nullptr;
  bool tail_kept_ = false;
};

TEST_F(Files, CreateFileLastErrors) {
  const std::string old = MakeFile("/old", std::string(1000, 'o')), slash = dir_ + "/";
  const DWORD r = GENERIC_READ, w = GENERIC_WRITE, backup = FILE_FLAG_BACKUP_SEMANTICS;
  // clang-format off
  const struct { std::string name; DWORD access, disposition, flags, error; } cases[] = {
      {slash + "absent", r, OPEN_EXISTING, 0, 2}, {slash + "absent/f", w, OPEN_ALWAYS, 0, 3},
      {old + "/below", r, OPEN_EXISTING, 0, 3},   {slash + "new", w, OPEN_ALWAYS, 0, 0},
      {slash + "new", r | w, OPEN_ALWAYS, 0, 183}, {old, w, OPEN_ALWAYS, 0, 183},
      {dir_, r, OPEN_EXISTING, 0, 5},             {dir_, w, OPEN_ALWAYS, backup, 5},
      {"\\\\.\\c:", r, OPEN_EXISTING, 0, 3},      {"\\\\.\\PhysicalDrive99", r, OPEN_EXISTING, 0, 2}};
  // clang-format on
  for (const auto& c : cases) {
    SetLastError(12345);
    HANDLE file = CreateFileA(c.name.c_str(), c.access, 7, nullptr, c.disposition,
                              c.flags, nullptr);
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    EXPECT_EQ(file == INVALID_HANDLE_VALUE, c.error != 0 && c.error != 183) << c.name;
    CloseHandle(file);
  }
  EXPECT_EQ(std::ifstream(old, std::ios::ate).tellg(), std::streampos(1000));
  DWORD count = 99, word;
  EXPECT_FALSE(ReadFile(Open(dir_, backup), &word, sizeof word, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(count, 0u);
}

TEST_F(Files, SizeOfASparseFileBeyondFourGib) {
  ASSERT_EQ(truncate(MakeFile("/big", "").c_str(), (5ll << 30) + 100), 0);
  DWORD high = 0;
  Open(dir_ + "/big");
  SetLastError(777);
  EXPECT_EQ(GetFileSize(file_, &high), (1u << 30) + 100);
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(GetLastError(), 0u);
}

// Whole disks in the order of their names, without loop devices and RAM disks.
TEST_F(Files, DisksAreNumberedInNameOrder) {
  for (auto name : {"/cciss!c0d0", "/loop0", "/zram0", "/ram1", "/sdb"})
    MakeFile(name, "");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 0), "/dev/cciss/c0d0");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 1), "/dev/sdb");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 2), "");
}

// The 20-byte header of a data stream whose content is shorter than 256 bytes.
std::string Header(char length) {
  return std::string("\x01\0\0\0\0\0\0\0", 8) + length + std::string(11, '\0');
}

// Every request is filled, across the header's end too, until the stream ends; the
// file pointer plays no part, and after an abort the stream begins afresh.
TEST_F(Files, BackupStreamIsHeaderThenContentThenEmptyReads) {
  std::string stream = Header(120);
  for (int i = 0; i < 120; ++i) stream += static_cast<char>('a' + i % 26);
  SetFilePointer(Open(MakeFile("/data", stream.substr(20))), 50, nullptr, FILE_BEGIN);
  for (DWORD size : {1u, 19u, 21u, 512u}) {
    std::string got;
    for (std::string piece; got.size() < 999 && !(piece = Next(size)).empty();) {
      EXPECT_TRUE(piece.size() == size || got.size() + piece.size() == stream.size());
      EXPECT_TRUE(tail_kept_) << size;
      got += piece;
    }
    EXPECT_EQ(got, stream) << size;
    EXPECT_EQ(Next(size), "") << size;
    EXPECT_TRUE(BackupRead(file_, nullptr, 0, nullptr, TRUE, FALSE, &context_));
    EXPECT_EQ(context_, nullptr);
  }
}

// A failure reports what arrived before it; the next call goes on past the request.
TEST_F(Files, BackupFailureMovesTheStreamPastTheRequest) {
  const int steps[] = {10, -EIO, 999};
  script = steps;
  PreadFn scripted = [](int, void* b, size_t n, off_t) { return Step(b, n); };
  Open(MakeFile("/content", std::string(100, 'x')));
  EXPECT_EQ(Next(64, scripted), "FAILED 23 " + Header(100) + std::string(10, 'd'));
  EXPECT_TRUE(tail_kept_);
  EXPECT_EQ(Next(64, scripted), std::string(56, 'd'));
}

}  // namespace
