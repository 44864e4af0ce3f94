// CreateFileA over open(): Windows device names, the dispositions the program uses,
// and Windows' rules for directories and for the last error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

#include "posix_layer.h"

namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY;

HANDLE FailOpen(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

HANDLE FailOpenSaying(DWORD error, const std::string& words) {
  SetLastErrorWithWords(error, words);
  return INVALID_HANDLE_VALUE;
}

bool IsDriveName(const char* name) {
  const size_t prefix = strlen(kDevicePrefix);
  if (strncmp(name, kDevicePrefix, prefix) != 0) return false;
  const char* device = name + prefix;
  return std::isalpha(static_cast<unsigned char>(device[0])) && device[1] == ':' &&
         device[2] == '\0';
}

// Turns the name the program opens into a path; false, the last error set, when it
// names nothing here. "\\.\PhysicalDriveN" is the N-th whole disk; "\\.\C:" has no
// Linux counterpart; anything else is a path, used as given.
bool PathForName(const char* name, std::string* path) {
  *path = name;
  unsigned long disk = 0;
  if (DiskNumberOf(name, &disk)) {
    *path = NthDiskDevice(kBlockDir, disk);
    if (!path->empty()) return true;
    SetLastErrorWithWords(ERROR_FILE_NOT_FOUND, NoSuchDiskWords(kBlockDir));
    return false;
  }
  if (!IsDriveName(name)) return true;
  SetLastErrorWithWords(ERROR_PATH_NOT_FOUND, "Linux has no drive letters");
  return false;
}

int AccessMode(DWORD access) {
  if (access & GENERIC_WRITE) return access & GENERIC_READ ? O_RDWR : O_WRONLY;
  return O_RDONLY;
}

// Creating exclusively first tells a new file from an existing one (which OPEN_ALWAYS
// reports with 183) without a window in which the test and the open disagree; an
// existing file is opened without O_TRUNC, so it is never truncated. CREATE_NEW makes
// a file that did not exist, never one reached through a symbolic link: a link
// planted at its name could point anywhere. Returns the descriptor, or -1 with errno.
int OpenPath(const char* path, int mode, DWORD disposition, bool* existed) {
  const int flags = mode | kOpenFlags;
  *existed = true;
  if (disposition == CREATE_NEW) {
    *existed = false;
    return open(path, flags | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
  }
  if (disposition != OPEN_EXISTING) {
    int fd = open(path, flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) {
      *existed = false;
      return fd;
    }
  }
  return open(path, flags);
}

// Access 0 asks for no data, only the file's identity: O_PATH needs no read right
// and does not wait for a FIFO's writer. It creates nothing.
int OpenForNoAccess(const char* path, DWORD disposition) {
  if (disposition != OPEN_EXISTING) {
    errno = EINVAL;
    return -1;
  }
  return open(path, O_PATH | O_CLOEXEC);
}

bool ParentDirectoryExists(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;  // the working directory
  std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  struct stat status;
  return stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Windows tells a missing file (2) from a missing directory on the way to it (3).
HANDLE FailOpenFromErrno(const std::string& path, int error) {
  if (error == ENOENT && !ParentDirectoryExists(path))
    return FailOpenSaying(ERROR_PATH_NOT_FOUND, strerror(ENOENT));
  SetLastErrorFromErrno(error, ErrnoUse::kOpening);
  return INVALID_HANDLE_VALUE;
}

bool IsDirectory(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

// Share modes, security attributes, templates and FILE_FLAG_POSIX_SEMANTICS have no
// POSIX counterpart: they are accepted and ignored. FILE_FLAG_NO_BUFFERING reads a
// file uncached (disks are read so anyway). Offsets are 64-bit (off_t is
// 64 bits wide here).
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE /*hTemplateFile*/) {
  static_assert(sizeof(off_t) == 8, "the layer needs 64-bit file offsets");
  const DWORD disposition = dwCreationDisposition;
  if (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS &&
      disposition != CREATE_NEW) {
    return FailOpen(ERROR_INVALID_PARAMETER);
  }
  if (lpFileName == nullptr || lpFileName[0] == '\0') {
    return FailOpenSaying(ERROR_PATH_NOT_FOUND, strerror(ENOENT));
  }
  std::string path;
  if (!PathForName(lpFileName, &path)) return INVALID_HANDLE_VALUE;

  bool existed = true;
  const int mode = AccessMode(dwDesiredAccess);
  const bool reads = dwDesiredAccess != 0 && mode == O_RDONLY;
  int fd = dwDesiredAccess == 0 ? OpenForNoAccess(path.c_str(), disposition)
                                : OpenPath(path.c_str(), mode, disposition, &existed);
  if (fd < 0) return FailOpenFromErrno(path, errno);
  uint32_t sector_size = 0;
  if (reads) {
    fd = OpenUncachedIfDisk(path.c_str(), fd, kOpenFlags | mode, &sector_size);
  }
  if (reads && (dwFlagsAndAttributes & FILE_FLAG_NO_BUFFERING)) {
    DWORD refusal = ERROR_SUCCESS;
    if (sector_size == 0)
      fd =
          OpenUncachedFile(path.c_str(), fd, kOpenFlags | mode, &sector_size, &refusal);
    if (fd < 0) return FailOpen(refusal);
  }
  // Opening a directory for writing already failed with EISDIR; for reading Windows
  // allows it only to backup semantics.
  if (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) && IsDirectory(fd)) {
    close(fd);
    return FailOpenSaying(ERROR_ACCESS_DENIED, strerror(EISDIR));
  }
  HANDLE handle = NewHandle(fd, sector_size);
  if (handle == nullptr) {
    close(fd);
    return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
  }
  SetLastError(existed && disposition != OPEN_EXISTING ? ERROR_ALREADY_EXISTS
                                                       : ERROR_SUCCESS);
  return handle;
}
