// Files read uncached on request (FILE_FLAG_NO_BUFFERING): O_DIRECT, with the
// alignment the file's file system asks for, so that a second run measures the
// medium again and not the page cache.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>  // major, minor
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "posix_layer.h"

namespace {

constexpr long kTmpfsMagic = 0x01021994;
constexpr long kRamfsMagic = 0x858458f6;
constexpr uint32_t kDefaultSector = 512;

// A file system in memory has no medium behind it: O_DIRECT is taken there and still
// reads the pages in memory.
bool IsInMemory(int fd) {
  struct statfs fs;
  return fstatfs(fd, &fs) == 0 &&
         (fs.f_type == kTmpfsMagic || fs.f_type == kRamfsMagic);
}

uint32_t ReadSysNumber(const std::string& path) {
  std::ifstream in(path);
  uint32_t value = 0;
  return in >> value ? value : 0;
}

// The logical sector of the block device behind the file system; a partition's is its
// disk's. 512 when there is none to ask (network and FUSE file systems).
uint32_t BackingDeviceSector(dev_t device) {
  if (major(device) == 0) return kDefaultSector;
  char base[64];
  snprintf(base, sizeof base, "/sys/dev/block/%u:%u/", major(device), minor(device));
  uint32_t sector = ReadSysNumber(std::string(base) + "queue/logical_block_size");
  if (sector == 0)
    sector = ReadSysNumber(std::string(base) + "../queue/logical_block_size");
  return sector != 0 ? sector : kDefaultSector;
}

// statx's STATX_DIOALIGN where the kernel (6.1 on) and the file system report it; 0
// there means the file takes no direct reads. Else the backing device's sector.
uint32_t DirectAlignment(int fd, bool* refused) {
  struct statx status;
  *refused = false;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &status) == 0 &&
      (status.stx_mask & STATX_DIOALIGN) != 0) {
    *refused = status.stx_dio_offset_align == 0;
    return status.stx_dio_offset_align;
  }
  struct stat plain;
  if (fstat(fd, &plain) != 0) return kDefaultSector;
  return BackingDeviceSector(plain.st_dev);
}

}  // namespace

// The file is opened again with O_DIRECT; the cached descriptor is closed once the
// direct one stands. A file system that refuses direct reads fails the open with
// ERROR_INVALID_PARAMETER, as Windows fails a request the device cannot serve.
int OpenUncachedFile(const char* path, int fd, int flags, uint32_t* sector_size,
                     DWORD* error) {
  *sector_size = 0;
  *error = ERROR_SUCCESS;
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return fd;
  bool refused = IsInMemory(fd);
  int direct = refused ? -1 : open(path, flags | O_DIRECT);
  int open_error = errno;
  uint32_t alignment = direct >= 0 ? DirectAlignment(direct, &refused) : 0;
  if (direct < 0 || refused) {
    if (direct >= 0) close(direct);
    close(fd);
    *error = direct < 0 && !refused && open_error != EINVAL
                 ? Win32ErrorFromErrno(open_error, ErrnoUse::kOpening)
                 : ERROR_INVALID_PARAMETER;
    return -1;
  }
  close(fd);
  *sector_size = alignment;
  return direct;
}
