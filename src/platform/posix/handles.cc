// Handle records: a HANDLE is a pointer to a FileRecord. The standard handles are
// static records over descriptors 0, 1 and 2; every other record comes from
// CreateFileA.
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "posix_layer.h"

namespace {

// Read and written where they stand: the invoking shell may share their offset.
constexpr FileRecord StandardRecord(int fd) {
  FileRecord record;
  record.fd = fd;
  return record;
}

FileRecord standard_input = StandardRecord(STDIN_FILENO);
FileRecord standard_output = StandardRecord(STDOUT_FILENO);
FileRecord standard_error = StandardRecord(STDERR_FILENO);

bool IsStandard(const FileRecord* record) {
  return record == &standard_input || record == &standard_output ||
         record == &standard_error;
}

}  // namespace

// A new handle's file pointer is at the start, as the descriptor's offset is.
HANDLE NewHandle(int fd, uint32_t sector_size) {
  struct stat status;
  bool known = fstat(fd, &status) == 0;
  FileRecord* record = new (std::nothrow) FileRecord;
  if (record == nullptr) return nullptr;
  record->fd = fd;
  record->disk = known && S_ISBLK(status.st_mode);
  record->positioned = record->disk || (known && S_ISREG(status.st_mode));
  record->sector_size = sector_size;
  return record;
}

HANDLE GetStdHandle(DWORD nStdHandle) {
  if (nStdHandle == STD_INPUT_HANDLE) return &standard_input;
  if (nStdHandle == STD_OUTPUT_HANDLE) return &standard_output;
  if (nStdHandle == STD_ERROR_HANDLE) return &standard_error;
  SetLastError(ERROR_INVALID_HANDLE);
  return INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE hObject) {
  FileRecord* record = RecordOf(hObject);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The descriptor is gone whatever close() says (EINTR included), so the record
  // goes too; a standard record stays, marked closed.
  int closed = close(record->fd);
  int error = errno;
  if (IsStandard(record)) {
    record->fd = -1;
  } else {
    delete record;
  }
  if (closed != 0) {
    SetLastErrorFromErrno(error, ErrnoUse::kTransferring);
    return FALSE;
  }
  return TRUE;
}
