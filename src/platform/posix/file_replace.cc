// Replacing a file whole: a new version is written under another name and moved
// over the old one, so that a reader finds either the old file or the new one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "posix_layer.h"

namespace {

BOOL Fail(int error) {
  SetLastErrorFromErrno(error, ErrnoUse::kOpening);
  return FALSE;
}

// The rename is durable once the directory that holds both names is on the medium.
bool SyncDirectoryOf(const char* name) {
  std::string path = name;
  size_t slash = path.find_last_of('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

}  // namespace

// Only the form the program uses: the same directory (the same file system), and
// MOVEFILE_REPLACE_EXISTING. As on Windows, what stands at the new name must be a
// file: a device or a directory is not replaced (ERROR_ACCESS_DENIED).
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  struct stat target;
  if (lstat(lpNewFileName, &target) == 0) {
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) return Fail(EEXIST);
    if (!S_ISREG(target.st_mode)) return Fail(EACCES);
  }
  if (rename(lpExistingFileName, lpNewFileName) != 0) return Fail(errno);
  if ((dwFlags & MOVEFILE_WRITE_THROUGH) && !SyncDirectoryOf(lpNewFileName))
    return Fail(errno);
  return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  return unlink(lpFileName) == 0 ? TRUE : Fail(errno);
}
