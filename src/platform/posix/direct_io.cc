// Whole disks read as Windows reads them: straight from the device, bypassing the
// page cache, in requests of whole sectors. Without this a second run over the same
// disk would measure the cache, not the disk.
#include <fcntl.h>
#include <linux/fs.h>  // BLKSSZGET
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>  // offsetof
#include <cstdlib>  // posix_memalign
#include <cstring>

#include "posix_layer.h"

namespace {

bool IsBlockDevice(int fd, dev_t* device) {
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISBLK(status.st_mode)) return false;
  *device = status.st_rdev;
  return true;
}

}  // namespace

// One uncached read of the first sector tells a device that serves them from one that
// turns them all down (EINVAL); anything else, a bad first sector or an empty medium
// included, leaves the device read uncached.
bool RefusesUncachedReads(int fd, uint32_t sector_size, PreadFn pread_fn) {
  void* sector = nullptr;
  if (posix_memalign(&sector, sector_size, sector_size) != 0) return false;
  bool refused = pread_fn(fd, sector, sector_size, 0) < 0 && errno == EINVAL;
  free(sector);
  return refused;
}

// The device is opened a second time, with O_DIRECT, rather than switched over with
// fcntl, so that the open itself shows how it reads; the new descriptor is kept only
// when it names the same device and takes uncached reads. Deciding here, and not at
// the first read of the run, keeps a run that resumes on a sector the device refuses
// from taking that refusal for the device's: it is that request's own error.
int OpenUncachedIfDisk(const char* path, int fd, int flags, uint32_t* sector_size) {
  *sector_size = 0;
  dev_t device;
  if (!IsBlockDevice(fd, &device)) return fd;
  int direct = open(path, flags | O_DIRECT);
  dev_t reopened;
  int sector = 0;
  if (direct < 0) return fd;
  if (!IsBlockDevice(direct, &reopened) || reopened != device ||
      ioctl(direct, BLKSSZGET, &sector) != 0 || sector <= 0 ||
      RefusesUncachedReads(direct, static_cast<uint32_t>(sector), ::pread)) {
    close(direct);
    return fd;
  }
  close(fd);
  *sector_size = static_cast<uint32_t>(sector);
  return direct;
}

bool WholeSectors(const FileRecord& record, uint64_t offset, uint64_t size) {
  return offset % record.sector_size == 0 && size % record.sector_size == 0;
}

// What was read uncached is read through the cache from now on: any request size is
// then served, as for a file (the backup stream's content starts 20 bytes into a
// request).
void ReadCachedFromNowOn(FileRecord* record) {
  int flags = fcntl(record->fd, F_GETFL);
  if (flags >= 0) fcntl(record->fd, F_SETFL, flags & ~O_DIRECT);
  record->sector_size = 0;
}

// The geometry of a disk read uncached: its sector, which requests must be whole
// multiples of, and its size. Linux keeps no cylinders, tracks or media type; they
// are 0. A file, or a disk read through the cache, has no geometry, as a file has
// none on Windows. A disk's length is known however it is read; a file has none.
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID /*lpInBuffer*/,
                     DWORD /*nInBufferSize*/, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                     LPDWORD lpBytesReturned, LPOVERLAPPED /*lpOverlapped*/) {
  const FileRecord* record = RecordOf(hDevice);
  DISK_GEOMETRY_EX geometry = {};
  GET_LENGTH_INFORMATION length = {};
  const void* answer = nullptr;
  DWORD size = 0;
  DWORD error = ERROR_SUCCESS;
  dev_t device;
  if (record == nullptr) {
    error = ERROR_INVALID_HANDLE;
  } else if (dwIoControlCode == IOCTL_DISK_GET_DRIVE_GEOMETRY_EX &&
             record->sector_size != 0) {
    geometry.Geometry.BytesPerSector = record->sector_size;
    geometry.DiskSize.QuadPart = static_cast<int64_t>(LengthOf(record->fd).bytes);
    answer = &geometry;
    size = offsetof(DISK_GEOMETRY_EX, Data);
  } else if (dwIoControlCode == IOCTL_DISK_GET_LENGTH_INFO &&
             IsBlockDevice(record->fd, &device)) {
    length.Length.QuadPart = static_cast<int64_t>(LengthOf(record->fd).bytes);
    answer = &length;
    size = sizeof length;
  } else {
    error = ERROR_INVALID_FUNCTION;
  }
  if (error == ERROR_SUCCESS && nOutBufferSize < size)
    error = ERROR_INSUFFICIENT_BUFFER;
  if (lpBytesReturned != nullptr) *lpBytesReturned = 0;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  memcpy(lpOutBuffer, answer, size);
  if (lpBytesReturned != nullptr) *lpBytesReturned = size;
  return TRUE;
}
