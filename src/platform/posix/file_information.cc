// GetFileInformationByHandle over fstat(): the device stands for the volume serial
// and the inode for the file index, which together name one file however it is
// reached (another spelling, a symbolic link, a hard link).
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "posix_layer.h"

namespace {

// 100 ns units since 1601, as Windows counts file times.
FILETIME FileTimeOf(const timespec& time) {
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
  uint64_t ticks =
      static_cast<uint64_t>(time.tv_sec + kSecondsFrom1601To1970) * 10000000u +
      static_cast<uint64_t>(time.tv_nsec) / 100u;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The kernel's own 32-bit encoding of a device number: unique below major 4096 and
// minor 2^20, which every device number in use is.
DWORD VolumeSerialOf(dev_t device) {
  uint32_t major_number = major(device), minor_number = minor(device);
  return (minor_number & 0xFFu) | (major_number << 8) | ((minor_number & ~0xFFu) << 12);
}

}  // namespace

// The status change time stands in for the creation time, which stat() lacks.
BOOL GetFileInformationByHandle(HANDLE hFile,
                                LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  int fd = HandleFd(hFile);
  struct stat status;
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (fstat(fd, &status) != 0) {
    SetLastErrorFromErrno(errno, ErrnoUse::kTransferring);
    return FALSE;
  }
  BY_HANDLE_FILE_INFORMATION& info = *lpFileInformation;
  // A FIFO, a socket or a device is no file: Windows marks devices so.
  info.dwFileAttributes = S_ISDIR(status.st_mode)   ? FILE_ATTRIBUTE_DIRECTORY
                          : S_ISREG(status.st_mode) ? FILE_ATTRIBUTE_NORMAL
                                                    : FILE_ATTRIBUTE_DEVICE;
  info.ftCreationTime = FileTimeOf(status.st_ctim);
  info.ftLastAccessTime = FileTimeOf(status.st_atim);
  info.ftLastWriteTime = FileTimeOf(status.st_mtim);
  info.dwVolumeSerialNumber = VolumeSerialOf(status.st_dev);
  uint64_t size = static_cast<uint64_t>(status.st_size);
  info.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  info.nFileSizeLow = static_cast<DWORD>(size);
  info.nNumberOfLinks = static_cast<DWORD>(status.st_nlink);
  uint64_t index = static_cast<uint64_t>(status.st_ino);
  info.nFileIndexHigh = static_cast<DWORD>(index >> 32);
  info.nFileIndexLow = static_cast<DWORD>(index);
  return TRUE;
}
