// What kind of thing a handle is, as GetFileType tells the console channel whether it
// writes to a screen (flushed per statement) or to a file or pipe (flushed per 128
// bytes).
#include <sys/stat.h>

#include "posix_layer.h"

DWORD GetFileType(HANDLE hFile) {
  struct stat status;
  int fd = HandleFd(hFile);
  if (fd < 0 || fstat(fd, &status) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  // Terminals, /dev/null and the like are character devices, as consoles and NUL are
  // on Windows; a directory handle is a disk object there too.
  if (S_ISCHR(status.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_DISK;
}
