#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

// Each scripted pread takes the next step: that many bytes of 'd', or -errno.
const int* script;
ssize_t Step(void* buffer) {
  int step = *script++;
  if (step < 0) return errno = -step, -1;
  return std::memset(buffer, 'd', step), step;
}

// A fresh directory, removed with everything in it afterwards.
class Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(mkdtemp(&dir_[0]), nullptr); }
  void TearDown() override {
    Open("");
    EXPECT_EQ(std::system(("rm -rf " + dir_).c_str()), 0);
  }
  std::string MakeFile(const char* name, const std::string& content) {
    std::ofstream(dir_ + name, std::ios::binary) << content;
    return dir_ + name;
  }
  // Closes the file opened before, so that each test leaves nothing open.
  HANDLE Open(const std::string& path, DWORD flags = 0) {
    if (file_ != nullptr && file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    return file_ = CreateFileA(path.c_str(), GENERIC_READ, 1, nullptr, OPEN_EXISTING,
                               flags, nullptr);
  }
  // One BackupRead into a buffer of '~': what it delivered, after "FAILED <code> "
  // when it failed, and "!" when it touched the buffer beyond that.
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

// Whole disks in the order of their names, without loop devices and RAM disks.
TEST_F(Files, DisksAreNumberedInNameOrder) {
  for (auto name : {"/cciss!c0d0", "/loop0", "/zram0", "/ram1", "/sdb"})
    MakeFile(name, "");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 0), "/dev/cciss/c0d0");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 1), "/dev/sdb");
  EXPECT_EQ(NthDiskDevice(dir_.c_str(), 2), "");
}

// The stream is a 20-byte header (a data stream of 0x78 bytes), then the content.
// Every request is filled, across the header's end too, until the stream ends; the
// file pointer plays no part, and after an abort the stream begins afresh. A failure
// reports what arrived before it; the next call goes on past the failed request.
TEST_F(Files, BackupStreamIsHeaderThenContent) {
  const std::string content(120, 'x');
  const std::string stream =
      std::string("\x01\0\0\0\0\0\0\0\x78", 9) + std::string(11, '\0') + content;
  SetFilePointer(Open(MakeFile("/data", content)), 50, nullptr, FILE_BEGIN);
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
  const int steps[] = {10, -EIO};
  script = steps;
  PreadFn scripted = [](int, void* b, size_t, off_t) { return Step(b); };
  EXPECT_EQ(Next(64, scripted),
            "FAILED 23 " + stream.substr(0, 20) + std::string(10, 'd'));
  EXPECT_EQ(Next(512), std::string(76, 'x'));
  EXPECT_TRUE(BackupRead(file_, nullptr, 0, nullptr, TRUE, FALSE, &context_));
}

// A block device is positioned too; beyond its end a read returns nothing, where a
// seek there used to fail and the read came from wherever the device stood.
TEST_F(Files, BlockDeviceReadsAtItsFilePointer) {
  std::string content(65536, 'a');
  content.replace(4096, 3, "xyz");
  const std::string list = dir_ + "/loop";
  if (getuid() != 0 ||
      std::system(("losetup -f --show -r " + MakeFile("/disk", content) + " >" + list +
                   " 2>/dev/null")
                      .c_str()) != 0) {
    GTEST_SKIP() << "no loop device (needs root and losetup): block device not tested";
  }
  std::string device;
  std::ifstream(list) >> device;
  // Read uncached, whole sectors into a page-aligned buffer, as tavo's own.
  alignas(4096) static char got[4096];
  DWORD count = 99;
  SetFilePointer(Open(device), 4096, nullptr, FILE_BEGIN);
  EXPECT_TRUE(ReadFile(file_, got, 4096, &count, nullptr));
  EXPECT_EQ(std::string(got, 4), "xyza");
  SetFilePointer(file_, 1 << 20, nullptr, FILE_BEGIN);
  EXPECT_TRUE(ReadFile(file_, got, 4096, &count, nullptr));
  EXPECT_EQ(count, 0u);
  Open("");
  EXPECT_EQ(std::system(("losetup -d " + device).c_str()), 0);
}

// A file's pointer lives in its handle: reads and writes go where the last seek or
// transfer left it and move it by what they moved, FILE_CURRENT reports it, a failed
// seek leaves it, and beyond 4 GiB both halves count. A pipe is read in order.
TEST_F(Files, FilePointerMovesAsOnWindows) {
  const std::string path = MakeFile("/data", "0123456789abcdefghij");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char got[16];
  DWORD count = 0;
  auto read = [&](DWORD size) {
    EXPECT_TRUE(ReadFile(file, got, size, &count, nullptr));
    return std::string(got, count);
  };
  auto write = [&](const char* text) {
    EXPECT_TRUE(WriteFile(file, text, strlen(text), &count, nullptr));
  };
  auto at = [&] { return SetFilePointer(file, 0, nullptr, FILE_CURRENT); };
  EXPECT_EQ(read(4), "0123");
  EXPECT_EQ(SetFilePointer(file, 10, nullptr, FILE_BEGIN), 10u);
  EXPECT_EQ(read(3), "abc");
  EXPECT_EQ(read(2), "de");
  write("XY");
  EXPECT_EQ(at(), 17u);
  EXPECT_EQ(SetFilePointer(file, -8, nullptr, FILE_CURRENT), 9u);
  EXPECT_EQ(read(4), "9abc");
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file, -14, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(at(), 13u);
  EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 17u);
  EXPECT_EQ(read(8), "hij");  // the end of the input: short, then nothing
  EXPECT_EQ(read(8), "");
  EXPECT_EQ(at(), 20u);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 5, &high, FILE_BEGIN), 5u);
  EXPECT_EQ(read(8), "");
  write("Z");
  high = 0;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 6u);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_EQ(read(16), "0123456789abcdeX");
  CloseHandle(file);
  std::ifstream stored(path, std::ios::binary | std::ios::ate);
  EXPECT_EQ(stored.tellg(), std::streampos((1ll << 32) + 6));
  std::string tail(4, '?');
  stored.seekg(16).read(&tail[0], 4);
  EXPECT_EQ(tail, "Yhij");

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  HANDLE in = NewHandle(ends[0], 0), out = NewHandle(ends[1], 0);
  file = out;
  write("piped");
  CloseHandle(out);
  file = in;
  EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(read(3), "pip");
  EXPECT_EQ(read(8), "ed");
  EXPECT_EQ(read(8), "");
  CloseHandle(in);
}

}  // namespace
