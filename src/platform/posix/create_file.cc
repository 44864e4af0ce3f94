// CreateFileA over open(): Windows device names, the dispositions the program uses,
// and Windows' rules for directories and for the last error.
#include <fcntl.h>
#include <strings.h>  // strncasecmp
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "posix_layer.h"

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";  // \\.\ before a device name
constexpr size_t kDevicePrefixLength = 4;
constexpr char kPhysicalDrive[] = "physicaldrive";
constexpr size_t kPhysicalDriveLength = 13;
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY;

HANDLE FailOpen(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

bool IsDriveLetter(const char* device) {
  return std::isalpha(static_cast<unsigned char>(device[0])) && device[1] == ':' &&
         device[2] == '\0';
}

// Turns the name the program opens into a path; 0 or the Win32 error of the open.
// "\\.\PhysicalDriveN" is the N-th whole disk; "\\.\C:" has no Linux counterpart;
// anything else is a path, used as given.
DWORD PathForName(const char* name, std::string* path) {
  *path = name;
  if (path->compare(0, kDevicePrefixLength, kDevicePrefix) != 0) return ERROR_SUCCESS;
  const char* device = name + kDevicePrefixLength;
  if (IsDriveLetter(device)) return ERROR_PATH_NOT_FOUND;
  if (strncasecmp(device, kPhysicalDrive, kPhysicalDriveLength) != 0) {
    return ERROR_SUCCESS;
  }
  const char* number = device + kPhysicalDriveLength;
  char* end;
  unsigned long n = std::strtoul(number, &end, 10);
  if (!std::isdigit(static_cast<unsigned char>(*number)) || *end != '\0') {
    return ERROR_SUCCESS;
  }
  *path = NthDiskDevice("/sys/block", n);
  return path->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

int AccessMode(DWORD access) {
  if (access & GENERIC_WRITE) return access & GENERIC_READ ? O_RDWR : O_WRONLY;
  return O_RDONLY;
}

// Creating exclusively first tells a new file from an existing one (which OPEN_ALWAYS
// reports with 183) without a window in which the test and the open disagree; an
// existing file is opened without O_TRUNC, so it is never truncated, except by
// CREATE_ALWAYS. A read-only open does not wait: on Windows opening a pipe never
// waits for its writer, and here a FIFO without one would hold the run in open() for
// good. Returns the descriptor, or -1 with errno.
int OpenPath(const char* path, int mode, bool create, bool truncate, bool* existed) {
  const int flags = mode | kOpenFlags | (truncate ? O_TRUNC : 0) |
                    (mode == O_RDONLY ? O_NONBLOCK : 0);
  *existed = true;
  if (create) {
    int fd = open(path, flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) {
      *existed = false;
      return fd;
    }
  }
  return open(path, flags);
}

// Reads wait for their data again, as ReadFile's do, once the open is done.
void ReadBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

bool ParentDirectoryExists(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;  // the working directory
  std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  struct stat status;
  return stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Windows tells a missing file (2) from a missing directory on the way to it (3).
DWORD OpenError(const std::string& path, int error) {
  if (error == ENOENT && !ParentDirectoryExists(path)) return ERROR_PATH_NOT_FOUND;
  return Win32ErrorFromErrno(error, ErrnoUse::kOpening);
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
      disposition != CREATE_ALWAYS) {
    return FailOpen(ERROR_INVALID_PARAMETER);
  }
  if (lpFileName == nullptr || lpFileName[0] == '\0') {
    return FailOpen(ERROR_PATH_NOT_FOUND);
  }
  std::string path;
  DWORD name_error = PathForName(lpFileName, &path);
  if (name_error != ERROR_SUCCESS) return FailOpen(name_error);

  bool existed;
  const int mode = AccessMode(dwDesiredAccess);
  int fd = OpenPath(path.c_str(), mode, disposition != OPEN_EXISTING,
                    disposition == CREATE_ALWAYS, &existed);
  if (fd < 0) return FailOpen(OpenError(path, errno));
  if (mode == O_RDONLY) ReadBlocking(fd);
  uint32_t sector_size = 0;
  if (mode == O_RDONLY) {
    fd = OpenUncachedIfDisk(path.c_str(), fd, kOpenFlags | mode, &sector_size);
  }
  if (mode == O_RDONLY && (dwFlagsAndAttributes & FILE_FLAG_NO_BUFFERING)) {
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
    return FailOpen(ERROR_ACCESS_DENIED);
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
