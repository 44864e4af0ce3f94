// The sector of the volume that holds a path, which uncached reads of its files must
// be whole multiples of.
#include "platform.h"

DWORD VolumeSectorSize(const char* path) {
  char root[MAX_PATH];
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetVolumePathNameA(path, root, sizeof root) ||
      !GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters)) {
    return 0;
  }
  return bytesPerSector;
}
