// Opening the input, past the page cache when --direct asks for it: a second run over
// the same file then measures the medium again, not memory. Disks are read uncached
// by the platform whatever is asked.
#include "console.h"
#include "endpoints.h"
#include "run_record.h"

namespace {

HANDLE OpenWithFlags(DWORD flags, DWORD* code) {
  SetLastError(0);
  HANDLE input = CreateFileA(Run.InputPath, GENERIC_READ,
                             static_cast<DWORD>(Run.NtPlatform) * 4 + 3, nullptr,
                             OPEN_EXISTING, flags, nullptr);
  *code = GetLastError();
  return input;
}

}  // namespace

// A file system that takes no uncached reads (one in memory, some FUSE ones) refuses
// the open with ERROR_INVALID_PARAMETER; the run goes on through the cache.
HANDLE OpenInputHandle(DWORD* code) {
  if (!Run.DirectReads) return OpenWithFlags(Run.OpenFlags, code);
  HANDLE input = OpenWithFlags(Run.OpenFlags | FILE_FLAG_NO_BUFFERING, code);
  if (input != INVALID_HANDLE_VALUE) {
    Run.InputUncached = true;
    return input;
  }
  if (*code != ERROR_INVALID_PARAMETER) return input;
  WriteText("Uncached reads refused (error 87): reading through the cache");
  WriteLineEnd();
  return OpenWithFlags(Run.OpenFlags, code);
}

// A disk reports its sector as geometry, and so does a file that a POSIX layer reads
// uncached; a Windows file read uncached follows its volume's sector.
int64_t InputSectorSize() {
  DISK_GEOMETRY_EX geometry;
  DWORD returned = 0;
  if (Run.Input != INVALID_HANDLE_VALUE &&
      DeviceIoControl(Run.Input, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0,
                      &geometry, sizeof geometry, &returned, nullptr) &&
      returned >= sizeof geometry.Geometry) {
    Run.InputUncached = true;
    return geometry.Geometry.BytesPerSector;
  }
  return Run.InputUncached ? VolumeSectorSize(Run.InputPath) : 0;
}
