// BackupRead: a file's backup stream, the way Windows lays it out for a file with
// one unnamed data stream. POSIX files have no other streams and tavo never asks for
// security data, so the stream is one 20-byte WIN32_STREAM_ID header and the content.
#include <unistd.h>

#include <algorithm>
#include <new>

#include "posix_layer.h"

namespace {

constexpr uint32_t kBackupData = 1;   // dwStreamId of the unnamed data stream
constexpr uint64_t kHeaderSize = 20;  // WIN32_STREAM_ID up to its empty name

// What *lpContext points to between calls.
struct BackupStream {
  uint64_t content;   // file length when the stream began, as the header says
  uint64_t length;    // header and content; 0 for a directory, which has no stream
  uint64_t position;  // bytes of the stream delivered so far
};

void PutLittleEndian(uint8_t* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// dwStreamId, dwStreamAttributes 0, Size (64 bits), dwStreamNameSize 0.
void MakeHeader(uint64_t content, uint8_t header[kHeaderSize]) {
  PutLittleEndian(header, kBackupData, 4);
  PutLittleEndian(header + 4, 0, 4);
  PutLittleEndian(header + 8, content, 8);
  PutLittleEndian(header + 16, 0, 4);
}

// The stream for fd, or an error: something without a length (a FIFO, a terminal)
// has no backup stream.
DWORD BeginStream(int fd, BackupStream** stream) {
  FileLength length = LengthOf(fd);
  if (length.error != 0) {
    return Win32ErrorFromErrno(length.error, ErrnoUse::kTransferring);
  }
  if (!length.known && !length.directory) return ERROR_INVALID_FUNCTION;
  uint64_t total = length.directory ? 0 : kHeaderSize + length.bytes;
  *stream = new (std::nothrow) BackupStream{length.bytes, total, 0};
  return *stream == nullptr ? ERROR_NOT_ENOUGH_MEMORY : ERROR_SUCCESS;
}

// Copies the part of the header that lies in [position, position + wanted).
size_t CopyHeader(const BackupStream& stream, uint8_t* buffer, uint64_t wanted) {
  if (stream.position >= kHeaderSize) return 0;
  uint8_t header[kHeaderSize];
  MakeHeader(stream.content, header);
  size_t count = static_cast<size_t>(std::min(wanted, kHeaderSize - stream.position));
  std::copy(header + stream.position, header + stream.position + count, buffer);
  return count;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

// One call delivers as much of the request as the stream still holds, across the
// header's end if need be, and leaves the rest of the buffer as it was. A failed read
// reports what arrived before it, and the stream moves past the whole request so that
// the next call goes on beyond the bad place. The content is read with pread, so the
// file pointer plays no part.
BOOL BackupReadWith(HANDLE file, LPBYTE buffer, DWORD size, LPDWORD count, BOOL abort,
                    LPVOID* context, PreadFn pread_fn) {
  if (context == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (abort) {
    delete static_cast<BackupStream*>(*context);
    *context = nullptr;
    return TRUE;
  }
  if (count != nullptr) *count = 0;
  FileRecord* record = RecordOf(file);
  if (record == nullptr) return Fail(ERROR_INVALID_HANDLE);
  // The stream's content starts 20 bytes into a request: no sector arithmetic.
  if (record->sector_size != 0) ReadCachedFromNowOn(record);
  int fd = record->fd;
  if (*context == nullptr) {
    BackupStream* fresh;
    DWORD error = BeginStream(fd, &fresh);
    if (error != ERROR_SUCCESS) return Fail(error);
    *context = fresh;
  }
  BackupStream& stream = *static_cast<BackupStream*>(*context);
  uint64_t wanted = std::min<uint64_t>(size, stream.length - stream.position);
  size_t header_count = CopyHeader(stream, buffer, wanted);
  uint64_t content_start = std::max(stream.position, kHeaderSize) - kHeaderSize;
  Fill fill = FillLoop(fd, buffer + header_count, wanted - header_count,
                       static_cast<off_t>(content_start), pread_fn);
  if (count != nullptr) *count = static_cast<DWORD>(header_count + fill.count);
  bool ended_early = fill.error == 0 && header_count + fill.count < wanted;
  // A file that shrank while it was read ends its stream where its data ended.
  stream.position = ended_early ? stream.length : stream.position + wanted;
  if (fill.error != 0) {
    SetLastErrorFromErrno(fill.error, ErrnoUse::kTransferring);
    return FALSE;
  }
  return TRUE;
}

// bProcessSecurity asks for a security stream, which POSIX files do not have.
BOOL BackupRead(HANDLE hFile, LPBYTE lpBuffer, DWORD nNumberOfBytesToRead,
                LPDWORD lpNumberOfBytesRead, BOOL bAbort, BOOL /*bProcessSecurity*/,
                LPVOID* lpContext) {
  return BackupReadWith(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                        bAbort, lpContext, ::pread);
}
