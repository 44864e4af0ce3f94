// Which device "\\.\PhysicalDriveN" names on Linux.
#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "posix_layer.h"

namespace {

// Loop devices and RAM disks are not disks of the machine.
bool IsWholeDisk(const char* name) {
  return name[0] != '.' && std::strncmp(name, "loop", 4) != 0 &&
         std::strncmp(name, "ram", 3) != 0 && std::strncmp(name, "zram", 4) != 0;
}

}  // namespace

// Disks are numbered from 0 in the byte order of their names in /sys/block, which
// lists whole disks only (partitions live below them): with nvme0n1, sda and sdb,
// disk 0 is /dev/nvme0n1 and disk 2 is /dev/sdb. The numbering changes when a disk
// is added or removed, as Windows' does.
std::string NthDiskDevice(const char* block_dir, unsigned long n) {
  DIR* dir = opendir(block_dir);
  if (dir == nullptr) return "";
  std::vector<std::string> disks;
  while (const dirent* entry = readdir(dir)) {
    if (IsWholeDisk(entry->d_name)) disks.push_back(entry->d_name);
  }
  closedir(dir);
  if (n >= disks.size()) return "";
  std::sort(disks.begin(), disks.end());
  // sysfs writes the "/" of a device name in a subdirectory of /dev as "!".
  std::string device = "/dev/" + disks[n];
  std::replace(device.begin(), device.end(), '!', '/');
  return device;
}
