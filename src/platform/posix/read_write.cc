// ReadFile and WriteFile: whole requests, as Windows serves them for files, each at
// the handle's file pointer, which moves on by what was transferred.
#include <signal.h>
#include <unistd.h>

#include "posix_layer.h"

namespace {

// Windows' WriteFile to a pipe whose reader has gone fails with an error; it does not
// kill the process. Ignoring SIGPIPE gives the same: write() then fails with EPIPE.
__attribute__((constructor)) void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

typedef ssize_t (*PwriteFn)(int fd, const void* bytes, size_t count, off_t offset);

// What cannot seek is read and written where it stands.
ssize_t ReadHere(int fd, void* buffer, size_t count, off_t) {
  return read(fd, buffer, count);
}
ssize_t WriteHere(int fd, const void* bytes, size_t count, off_t) {
  return write(fd, bytes, count);
}

// Takes in what one write call returned; false when the request ends with it. A
// write that stores nothing would repeat forever: it is a full device.
bool TakeWritten(ssize_t put, Fill* fill) {
  if (put > 0) {
    fill->count += static_cast<size_t>(put);
    return true;
  }
  if (put < 0 && errno == EINTR) return true;
  fill->error = put == 0 ? ENOSPC : errno;
  return false;
}

// The part of a request that its first call, which returned put, did not take.
__attribute__((noinline)) Fill WriteRest(int fd, const uint8_t* bytes, size_t size,
                                         off_t offset, PwriteFn write_fn, ssize_t put) {
  Fill fill = {0, 0};
  while (TakeWritten(put, &fill) && fill.count < size) {
    put = write_fn(fd, bytes + fill.count, size - fill.count,
                   offset + static_cast<off_t>(fill.count));
  }
  return fill;
}

// Nearly every request is taken whole by its first call, which takes no loop.
Fill WriteRequest(int fd, const uint8_t* bytes, size_t size, off_t offset,
                  PwriteFn write_fn) {
  if (size == 0) return {0, 0};
  ssize_t put = write_fn(fd, bytes, size, offset);
  if (put == static_cast<ssize_t>(size)) return {size, 0};
  return WriteRest(fd, bytes, size, offset, write_fn, put);
}

// The file pointer moves on by what was transferred (only a positioned record uses it).
BOOL Report(FileRecord* record, const Fill& fill, LPDWORD count) {
  record->position += static_cast<int64_t>(fill.count);
  if (count != nullptr) *count = static_cast<DWORD>(fill.count);
  if (fill.error == 0) return TRUE;
  SetLastErrorFromErrno(
      fill.error, record->disk ? ErrnoUse::kTransferringDisk : ErrnoUse::kTransferring);
  return FALSE;
}

BOOL FailBadHandle(LPDWORD count) {
  if (count != nullptr) *count = 0;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

// The part of a request that its first call, which returned got, did not fill.
__attribute__((noinline)) Fill ReadRest(int fd, uint8_t* buffer, size_t size,
                                        off_t offset, PreadFn read_fn, ssize_t got) {
  Fill fill = {0, 0};
  if (TakeChunk(got, &fill)) fill = FillLoop(fd, buffer, size, offset, read_fn, fill);
  return fill;
}

// A failed read leaves the rest of the buffer as it was, as Windows does. Nearly every
// request is filled by its first call, which takes no loop.
Fill ReadRequest(int fd, uint8_t* buffer, size_t size, off_t offset, PreadFn read_fn) {
  if (size == 0) return {0, 0};
  ssize_t got = read_fn(fd, buffer, size, offset);
  if (got == static_cast<ssize_t>(size)) return {size, 0};
  return ReadRest(fd, buffer, size, offset, read_fn, got);
}

// A disk read uncached fails a request that is not whole sectors at a whole-sector
// offset with ERROR_INVALID_PARAMETER (EINVAL), reading nothing, as Windows' disks
// do. Whether the device takes uncached reads at all was settled when it was opened:
// a request it refuses now is that request's own error, and reading stays uncached
// (a cached read would measure the cache, and would cost a whole page of sectors for
// each one the device refuses).
Fill ReadDisk(FileRecord* record, uint8_t* buffer, size_t size, PreadFn read_fn) {
  const int64_t offset = record->position;
  if (!WholeSectors(*record, static_cast<uint64_t>(offset), size)) return {0, EINVAL};
  return ReadRequest(record->fd, buffer, size, offset, read_fn);
}

}  // namespace

// A request comes back short only at the end of the input, even from a pipe that
// delivers in pieces. Reading a directory fails with ERROR_INVALID_FUNCTION (EISDIR).
// Handles are synchronous; an OVERLAPPED is not consulted.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED /*lpOverlapped*/) {
  return ReadFileWith(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                      ::pread);
}

BOOL ReadFileWith(HANDLE file, LPVOID buffer, DWORD size, LPDWORD count,
                  PreadFn pread_fn) {
  FileRecord* record = RecordOf(file);
  if (record == nullptr) return FailBadHandle(count);
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  Fill fill = record->sector_size != 0
                  ? ReadDisk(record, bytes, size, pread_fn)
                  : ReadRequest(record->fd, bytes, size, record->position,
                                record->positioned ? pread_fn : ReadHere);
  return Report(record, fill, count);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED /*lpOverlapped*/) {
  FileRecord* record = RecordOf(hFile);
  if (record == nullptr) return FailBadHandle(lpNumberOfBytesWritten);
  Fill fill = WriteRequest(record->fd, static_cast<const uint8_t*>(lpBuffer),
                           nNumberOfBytesToWrite, record->position,
                           record->positioned ? ::pwrite : WriteHere);
  return Report(record, fill, lpNumberOfBytesWritten);
}
