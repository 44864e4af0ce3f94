// FlushFileBuffers over fsync: what the kernel still holds for a file or a disk
// reaches the medium, and a write that the medium fails late is reported now.
#include <unistd.h>

#include "posix_layer.h"

// A pipe, a terminal or /dev/null cannot be synchronised by its nature (EINVAL; a
// file system that has no such thing says EROFS or ENOTSUP): it holds nothing to
// flush, as Windows' NUL holds nothing.
BOOL FlushFileBuffers(HANDLE hFile) {
  FileRecord* record = RecordOf(hFile);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  while (fsync(record->fd) != 0) {
    if (errno == EINTR) continue;
    if (errno == EINVAL || errno == EROFS || errno == ENOTSUP) return TRUE;
    SetLastErrorFromErrno(
        errno, record->disk ? ErrnoUse::kTransferringDisk : ErrnoUse::kTransferring);
    return FALSE;
  }
  return TRUE;
}
