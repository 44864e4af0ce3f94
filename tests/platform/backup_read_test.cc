#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "../../src/platform/posix/posix_layer.h"
#include "platform_test_support.h"

namespace {

class Backup : public ScratchDirectory {
 protected:
  void TearDown() override {
    EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, nullptr, TRUE, FALSE, &context_));
    EXPECT_EQ(context_, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    ScratchDirectory::TearDown();
  }
  // One call with a buffer pre-filled with 0x14; returns what it delivered, or
  // "FAILED <code>" before it.
  std::string Next(DWORD size, PreadFn pread_fn = ::pread) {
    std::vector<uint8_t> buffer(size + 8, 0x14);
    DWORD count = 0xDEAD;
    SetLastError(0);
    BOOL ok =
        BackupReadWith(file_, buffer.data(), size, &count, FALSE, &context_, pread_fn);
    tail_untouched_ = count <= size && std::all_of(buffer.begin() + count, buffer.end(),
                                                   [](uint8_t b) { return b == 0x14; });
    std::string delivered(buffer.begin(),
                          buffer.begin() + std::min<DWORD>(count, size));
    return ok ? delivered
              : "FAILED " + std::to_string(GetLastError()) + " " + delivered;
  }

  HANDLE file_ = INVALID_HANDLE_VALUE;
  LPVOID context_ = nullptr;
  bool tail_untouched_ = false;
};

std::string DataHeader(uint64_t size) {
  std::string header("\x01\0\0\0\0\0\0\0", 8);
  for (int i = 0; i < 8; ++i) header += static_cast<char>(size >> (8 * i));
  return header + std::string(4, '\0');
}

// The stream is the same whatever the request size, requests cross the header's end,
// and the file pointer plays no part.
TEST_F(Backup, HeaderThenContentThenEmptyReadsForEveryRequestSize) {
  std::string content;
  for (int i = 0; i < 1000; ++i) content += static_cast<char>('a' + i % 26);
  std::string path = MakeFile("data", content);
  const std::string stream = DataHeader(1000) + content;
  ASSERT_EQ(stream.size(), 1020u);
  for (DWORD size : {1u, 7u, 19u, 20u, 21u, 512u, 1020u, 4096u}) {
    SCOPED_TRACE(size);
    file_ = OpenForReading(path);
    SetFilePointer(file_, 500, nullptr, FILE_BEGIN);
    std::string got;
    for (std::string piece; !(piece = Next(size)).empty();) {
      EXPECT_TRUE(piece.size() == size || got.size() + piece.size() == stream.size());
      got += piece;
    }
    EXPECT_EQ(got, stream);
    EXPECT_EQ(Next(size), "");
    EXPECT_TRUE(tail_untouched_);
    EXPECT_EQ(SetFilePointer(file_, 0, nullptr, FILE_CURRENT), 500u);
    EXPECT_TRUE(BackupRead(file_, nullptr, 0, nullptr, TRUE, FALSE, &context_));
    EXPECT_EQ(context_, nullptr);
    CloseHandle(file_);
  }
  file_ = INVALID_HANDLE_VALUE;
}

TEST_F(Backup, ShortReadLeavesTheRestOfTheBufferAlone) {
  file_ = OpenForReading(MakeFile("small", "0123456789"));
  EXPECT_EQ(Next(4096), DataHeader(10) + "0123456789");
  EXPECT_TRUE(tail_untouched_);
}

TEST_F(Backup, EmptyFileDirectoryAndFifo) {
  file_ = OpenForReading(MakeFile("empty", ""));
  EXPECT_EQ(Next(64), DataHeader(0));
  EXPECT_EQ(Next(64), "");
  CloseHandle(file_);
  EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, nullptr, TRUE, FALSE, &context_));

  file_ = OpenForReading(dir_, FILE_FLAG_BACKUP_SEMANTICS);
  EXPECT_EQ(Next(64), "");
  CloseHandle(file_);
  EXPECT_TRUE(BackupRead(nullptr, nullptr, 0, nullptr, TRUE, FALSE, &context_));

  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  file_ = CreateFileA(Path("fifo").c_str(), GENERIC_READ | GENERIC_WRITE, 3, nullptr,
                      OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Next(64), "FAILED 1 ");
  EXPECT_EQ(context_, nullptr);
}

// The content's pread: 10 good bytes, then a bad place; every later call succeeds.
int scripted_calls;
off_t asked_offsets[8];
ssize_t FailingOnce(int, void* buffer, size_t count, off_t offset) {
  asked_offsets[scripted_calls] = offset;
  if (scripted_calls++ == 1) {
    errno = EIO;
    return -1;
  }
  size_t given = scripted_calls == 1 ? std::min<size_t>(count, 10) : count;
  std::memset(buffer, 'c', given);
  return static_cast<ssize_t>(given);
}

// A failure reports what arrived before it, keeps the pre-fill, and the next call
// goes on past the whole failed request.
TEST_F(Backup, FailureMovesTheStreamPastTheRequest) {
  file_ = OpenForReading(MakeFile("content", std::string(100, 'x')));
  scripted_calls = 0;
  EXPECT_EQ(Next(64, FailingOnce),
            "FAILED 23 " + DataHeader(100) + std::string(10, 'c'));
  EXPECT_TRUE(tail_untouched_);
  EXPECT_EQ(Next(64, FailingOnce), std::string(56, 'c'));
  ASSERT_EQ(scripted_calls, 3);
  EXPECT_EQ(asked_offsets[0], 0);
  EXPECT_EQ(asked_offsets[1], 10);
  EXPECT_EQ(asked_offsets[2], 44);  // stream offset 64, less the header
  EXPECT_EQ(Next(64, FailingOnce), "");
}

}  // namespace
