// DeleteFileA over unlink(): the name is the one the file was created under.
#include <unistd.h>

#include "posix_layer.h"

BOOL DeleteFileA(LPCSTR lpFileName) {
  if (lpFileName == nullptr || lpFileName[0] == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (unlink(lpFileName) != 0) {
    SetLastErrorFromErrno(errno, ErrnoUse::kOpening);
    return FALSE;
  }
  return TRUE;
}
