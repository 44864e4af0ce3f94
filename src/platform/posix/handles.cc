// Handle records: a HANDLE is a pointer to a FileRecord. The standard handles are
// static records over descriptors 0 and 1; every other record comes from CreateFileA.
#include <unistd.h>

#include <new>

#include "posix_layer.h"

namespace {

FileRecord standard_input = {STDIN_FILENO, 0};
FileRecord standard_output = {STDOUT_FILENO, 0};

bool IsStandard(const FileRecord* record) {
  return record == &standard_input || record == &standard_output;
}

}  // namespace

HANDLE NewHandle(int fd, uint32_t sector_size) {
  return new (std::nothrow) FileRecord{fd, sector_size};
}

FileRecord* RecordOf(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  FileRecord* record = static_cast<FileRecord*>(handle);
  return record->fd < 0 ? nullptr : record;
}

int HandleFd(HANDLE handle) {
  const FileRecord* record = RecordOf(handle);
  return record == nullptr ? -1 : record->fd;
}

HANDLE GetStdHandle(DWORD nStdHandle) {
  if (nStdHandle == STD_INPUT_HANDLE) return &standard_input;
  if (nStdHandle == STD_OUTPUT_HANDLE) return &standard_output;
  SetLastError(ERROR_INVALID_HANDLE);
  return INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE hObject) {
  int fd = HandleFd(hObject);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The descriptor is gone whatever close() says (EINTR included), so the record
  // goes too; a standard record stays, marked closed.
  int closed = close(fd);
  int error = errno;
  FileRecord* record = static_cast<FileRecord*>(hObject);
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
