// ReadFile and WriteFile: whole requests, as Windows serves them for files.
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "posix_layer.h"

namespace {

// Windows' WriteFile to a pipe whose reader has gone fails with an error; it does not
// kill the process. Ignoring SIGPIPE gives the same: write() then fails with EPIPE.
__attribute__((constructor)) void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

// A write that stores nothing would repeat forever: it is a full device.
Fill WriteAll(int fd, const uint8_t* bytes, size_t size) {
  Fill fill = {0, 0};
  while (fill.count < size) {
    ssize_t put = write(fd, bytes + fill.count, size - fill.count);
    if (put > 0) {
      fill.count += static_cast<size_t>(put);
    } else if (put == 0 || errno != EINTR) {
      fill.error = put == 0 ? ENOSPC : errno;
      break;
    }
  }
  return fill;
}

BOOL Report(const Fill& fill, LPDWORD count) {
  if (count != nullptr) *count = static_cast<DWORD>(fill.count);
  if (fill.error == 0) return TRUE;
  SetLastErrorFromErrno(fill.error, ErrnoUse::kTransferring);
  return FALSE;
}

// A disk read uncached fails a request that is not whole sectors at a whole-sector
// offset with ERROR_INVALID_PARAMETER (EINVAL), reading nothing, as Windows' disks
// do. A whole-sector request the device turns down all the same is finished, and
// every later one served, through the cache.
Fill ReadDisk(FileRecord* record, uint8_t* buffer, size_t size) {
  off_t offset = lseek(record->fd, 0, SEEK_CUR);
  if (offset < 0) return {0, errno};
  if (!WholeSectors(*record, static_cast<uint64_t>(offset), size)) return {0, EINVAL};
  Fill fill = ReadRequest(record->fd, buffer, size, ::read);
  if (fill.error == EINVAL) {
    ReadCachedFromNowOn(record);
    Fill rest = ReadRequest(record->fd, buffer + fill.count, size - fill.count, ::read);
    fill = {fill.count + rest.count, rest.error};
  }
  return fill;
}

}  // namespace

Fill ReadRequest(int fd, uint8_t* buffer, size_t size, ReadFn read_fn) {
  Fill fill = FillLoop(buffer, size, [fd, read_fn](uint8_t* at, size_t wanted, size_t) {
    return read_fn(fd, at, wanted);
  });
  if (fill.error != 0) std::memset(buffer + fill.count, 0, size - fill.count);
  return fill;
}

// A request comes back short only at the end of the input, even from a pipe that
// delivers in pieces. Reading a directory fails with ERROR_INVALID_FUNCTION (EISDIR).
// Handles are synchronous; an OVERLAPPED is not consulted.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED /*lpOverlapped*/) {
  FileRecord* record = RecordOf(hFile);
  if (record == nullptr) return Report({0, EBADF}, lpNumberOfBytesRead);
  uint8_t* buffer = static_cast<uint8_t*>(lpBuffer);
  if (record->sector_size != 0) {
    return Report(ReadDisk(record, buffer, nNumberOfBytesToRead), lpNumberOfBytesRead);
  }
  return Report(ReadRequest(record->fd, buffer, nNumberOfBytesToRead, ::read),
                lpNumberOfBytesRead);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED /*lpOverlapped*/) {
  int fd = HandleFd(hFile);
  if (fd < 0) return Report({0, EBADF}, lpNumberOfBytesWritten);
  return Report(
      WriteAll(fd, static_cast<const uint8_t*>(lpBuffer), nNumberOfBytesToWrite),
      lpNumberOfBytesWritten);
}
