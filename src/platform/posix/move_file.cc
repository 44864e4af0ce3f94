// MoveFileExA: a file put in place of another in one step, durably.
#include <fcntl.h>
#include <stdio.h>  // rename
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "posix_layer.h"

namespace {

// A rename is durable only once the directory that holds the name is.
bool SyncDirectoryOf(const char* path) {
  std::string name = path;
  size_t slash = name.find_last_of('/');
  std::string directory = slash == std::string::npos ? "." : name.substr(0, slash + 1);
  int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

}  // namespace

// rename() always replaces an existing target: a move that must not replace one is
// not offered (ERROR_INVALID_PARAMETER). As on Windows, what stands at the new name
// must be a file: a device or a directory is not replaced (ERROR_ACCESS_DENIED), so
// that a result named /dev/null does not take its place. MOVEFILE_WRITE_THROUGH syncs
// the directory.
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat target;
  if (lstat(lpNewFileName, &target) == 0 && !S_ISREG(target.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (rename(lpExistingFileName, lpNewFileName) != 0) {
    SetLastErrorFromErrno(errno, ErrnoUse::kOpening);
    return FALSE;
  }
  if ((dwFlags & MOVEFILE_WRITE_THROUGH) && !SyncDirectoryOf(lpNewFileName)) {
    SetLastErrorFromErrno(errno, ErrnoUse::kTransferring);
    return FALSE;
  }
  return TRUE;
}
