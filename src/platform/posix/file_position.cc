// Sizes and file pointers: GetFileSize and SetFilePointer, 64-bit values passed as two
// 32-bit halves.
#include <linux/fs.h>  // BLKGETSIZE64
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_layer.h"

namespace {

DWORD FailSeek(DWORD error) {
  SetLastError(error);
  return INVALID_SET_FILE_POINTER;
}

// The position that method and distance name, or an error: a seek before the start
// is ERROR_NEGATIVE_SEEK, as on Windows, and leaves the file pointer where it was.
DWORD SeekTarget(const FileRecord& record, int64_t distance, DWORD method,
                 int64_t* target) {
  int64_t base = 0;
  if (method == FILE_CURRENT) {
    base = record.positioned ? record.position : lseek(record.fd, 0, SEEK_CUR);
    if (base < 0) return Win32ErrorFromErrno(errno, ErrnoUse::kTransferring);
  } else if (method == FILE_END) {
    FileLength length = LengthOf(record.fd);
    if (length.error != 0) {
      return Win32ErrorFromErrno(length.error, ErrnoUse::kTransferring);
    }
    base = static_cast<int64_t>(length.bytes);
  } else if (method != FILE_BEGIN) {
    return ERROR_INVALID_PARAMETER;
  }
  if (__builtin_add_overflow(base, distance, target)) return ERROR_INVALID_PARAMETER;
  return *target < 0 ? ERROR_NEGATIVE_SEEK : ERROR_SUCCESS;
}

// The high half of the new file pointer goes back through high; success clears the
// last error, as in GetFileSize.
DWORD Sought(int64_t target, PLONG high) {
  if (high != nullptr) *high = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(target);
}

// Every seek but the read loop's. A positioned record only remembers where its next
// read or write goes; anything else is seeked at once, which fails for what cannot
// seek.
__attribute__((noinline)) DWORD SeekElsewhere(FileRecord* record, int64_t distance,
                                              PLONG high, DWORD method) {
  if (record == nullptr) return FailSeek(ERROR_INVALID_HANDLE);
  int64_t target = 0;
  DWORD error = SeekTarget(*record, distance, method, &target);
  if (error != ERROR_SUCCESS) return FailSeek(error);
  if (!record->positioned && lseek(record->fd, target, SEEK_SET) < 0) {
    return FailSeek(Win32ErrorFromErrno(errno, ErrnoUse::kTransferring));
  }
  record->position = target;
  return Sought(target, high);
}

}  // namespace

// fstat gives a block device's size as 0; the device itself knows its capacity.
FileLength LengthOf(int fd) {
  FileLength length = {0, false, false, 0};
  struct stat status;
  if (fstat(fd, &status) != 0) {
    length.error = errno;
  } else if (S_ISREG(status.st_mode)) {
    length.known = true;
    length.bytes = static_cast<uint64_t>(status.st_size);
  } else if (S_ISBLK(status.st_mode)) {
    length.known = true;
    if (ioctl(fd, BLKGETSIZE64, &length.bytes) != 0) length.error = errno;
  } else {
    length.directory = S_ISDIR(status.st_mode);
  }
  return length;
}

// A low half of 0xFFFFFFFF is a valid size, told from failure only by a last error of
// 0, so success always clears it. Things without a length are 0 bytes long.
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  int fd = HandleFd(hFile);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  FileLength length = LengthOf(fd);
  if (length.error != 0) {
    SetLastErrorFromErrno(length.error, ErrnoUse::kTransferring);
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh != nullptr) {
    *lpFileSizeHigh = static_cast<DWORD>(length.bytes >> 32);
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(length.bytes);
}

// Without a high half the distance is a signed 32-bit value.
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
  int64_t distance = lDistanceToMove;
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<int64_t>(
        static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32 |
        static_cast<uint32_t>(lDistanceToMove));
  }
  FileRecord* record = RecordOf(hFile);
  // The read loop seeks before every read, from the start of a file: that is a store.
  if (record == nullptr || !record->positioned || dwMoveMethod != FILE_BEGIN ||
      distance < 0) {
    return SeekElsewhere(record, distance, lpDistanceToMoveHigh, dwMoveMethod);
  }
  record->position = distance;
  return Sought(distance, lpDistanceToMoveHigh);
}
