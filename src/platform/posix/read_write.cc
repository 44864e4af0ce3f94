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
Fill ReadRest(const FileRecord& record, uint8_t* buffer, size_t size, PreadFn read_fn,
              ssize_t got) {
  Fill fill = {0, 0};
  if (TakeChunk(got, &fill))
    fill = FillLoop(record.fd, buffer, size, record.position, read_fn, fill);
  return fill;
}

// A failed read leaves the rest of the buffer as it was, as Windows does.
Fill ReadRequest(const FileRecord& record, uint8_t* buffer, size_t size,
                 PreadFn read_fn) {
  if (size == 0) return {0, 0};
  ssize_t got = read_fn(record.fd, buffer, size, record.position);
  if (got == static_cast<ssize_t>(size)) return {size, 0};
  return ReadRest(record, buffer, size, read_fn, got);
}

// A disk read uncached fails a request that is not whole sectors at a whole-sector
// offset with ERROR_INVALID_PARAMETER (EINVAL), reading nothing, as Windows' disks
// do. Whether the device takes uncached reads at all was settled when it was opened:
// a request it refuses now is that request's own error, and reading stays uncached
// (a cached read would measure the cache, and would cost a whole page of sectors for
// each one the device refuses).
Fill ReadDisk(const FileRecord& record, uint8_t* buffer, size_t size, PreadFn read_fn) {
  if (!WholeSectors(record, static_cast<uint64_t>(record.position), size))
    return {0, EINVAL};
  return ReadRequest(record, buffer, size, read_fn);
}

// Every read but a cached one at a file pointer: of a disk uncached, of what cannot
// seek, or through a handle that is none.
__attribute__((noinline)) BOOL ReadOtherwise(HANDLE file, uint8_t* buffer, DWORD size,
                                             LPDWORD count, PreadFn pread_fn) {
  FileRecord* record = RecordOf(file);
  if (record == nullptr) return FailBadHandle(count);
  Fill fill = record->sector_size != 0 ? ReadDisk(*record, buffer, size, pread_fn)
                                       : ReadRequest(*record, buffer, size, ReadHere);
  return Report(record, fill, count);
}

// A request that its first pread, which returned got, did not fill: one that met the
// end of the input, or failed.
__attribute__((noinline)) BOOL ReadShort(FileRecord* record, uint8_t* buffer,
                                         DWORD size, LPDWORD count, PreadFn pread_fn,
                                         ssize_t got) {
  return Report(record, ReadRest(*record, buffer, size, pread_fn, got), count);
}

// Every write but one at a file pointer: of what cannot seek, or through a handle that
// is none.
__attribute__((noinline)) BOOL WriteOtherwise(HANDLE file, const uint8_t* bytes,
                                              DWORD size, LPDWORD count) {
  FileRecord* record = RecordOf(file);
  if (record == nullptr) return FailBadHandle(count);
  Fill fill = WriteRequest(record->fd, bytes, size, record->position,
                           record->positioned ? ::pwrite : WriteHere);
  return Report(record, fill, count);
}

// A request that its first pwrite, which returned put, did not take whole.
__attribute__((noinline)) BOOL WriteShort(FileRecord* record, const uint8_t* bytes,
                                          DWORD size, LPDWORD count, ssize_t put) {
  Fill fill = WriteRest(record->fd, bytes, size, record->position, ::pwrite, put);
  return Report(record, fill, count);
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

// The read loop makes millions of requests a second when they are small; nearly
// every one is one pread that fills it, and takes nothing else. (An empty request is
// one pread that reads nothing.)
BOOL ReadFileWith(HANDLE file, LPVOID buffer, DWORD size, LPDWORD count,
                  PreadFn pread_fn) {
  FileRecord* record = CachedRecordOf(file);
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  if (record == nullptr) return ReadOtherwise(file, bytes, size, count, pread_fn);
  ssize_t got = pread_fn(record->fd, bytes, size, record->position);
  // GCC takes a way that returns a constant for the rare one, and would lay this,
  // the usual one, out of line.
  if (__builtin_expect(got != static_cast<ssize_t>(size), 0))
    return ReadShort(record, bytes, size, count, pread_fn, got);
  record->position += got;
  if (count != nullptr) *count = size;
  return TRUE;
}

// As a read: one pwrite at the file pointer takes nearly every request whole. (An empty
// request is one pwrite that writes nothing.)
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED /*lpOverlapped*/) {
  FileRecord* record = CachedRecordOf(hFile);
  const uint8_t* bytes = static_cast<const uint8_t*>(lpBuffer);
  if (record == nullptr)
    return WriteOtherwise(hFile, bytes, nNumberOfBytesToWrite, lpNumberOfBytesWritten);
  ssize_t put = ::pwrite(record->fd, bytes, nNumberOfBytesToWrite, record->position);
  if (put != static_cast<ssize_t>(nNumberOfBytesToWrite))
    return WriteShort(record, bytes, nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                      put);
  record->position += put;
  if (lpNumberOfBytesWritten != nullptr)
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}
