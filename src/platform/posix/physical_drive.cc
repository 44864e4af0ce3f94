// Which device "\\.\PhysicalDriveN" names on Linux, and how messages name it.
#include <dirent.h>
#include <strings.h>  // strncasecmp
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "posix_layer.h"

namespace {

// Kinds of block device that are no disk of the machine, whether or not the kernel
// gives them a device link: optical drives, floppies, device-mapper volumes (LVM,
// LUKS), software RAID arrays, network block devices, loop devices and RAM disks.
constexpr std::string_view kNotDisks[] = {"sr",  "fd",   "dm-", "md",
                                          "nbd", "loop", "ram", "zram"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An eMMC device shows its boot partitions and its replay-protected memory block as
// entries of their own beside the disk (mmcblk0boot0, mmcblk0boot1, mmcblk0rpmb), with
// a device link; they are areas of the same chip, not disks.
bool IsEmmcArea(std::string_view name) {
  constexpr std::string_view kEmmc = "mmcblk";
  if (name.substr(0, kEmmc.size()) != kEmmc) return false;
  name.remove_prefix(kEmmc.size());
  while (!name.empty() && IsDigit(name[0])) name.remove_prefix(1);
  return name.substr(0, 4) == "boot" || name == "rpmb";
}

// Hardware has a device link in its directory; virtual block devices have none.
bool IsPhysicalDisk(const std::string& block_dir, std::string_view name) {
  if (name[0] == '.' || IsEmmcArea(name)) return false;
  for (std::string_view kind : kNotDisks) {
    if (name.substr(0, kind.size()) == kind) return false;
  }
  struct stat link;
  return lstat((block_dir + "/" + std::string(name) + "/device").c_str(), &link) == 0;
}

// Takes the leading run of digits, or of other characters, off rest.
std::string_view NextRun(std::string_view& rest) {
  size_t end = 1;
  while (end < rest.size() && IsDigit(rest[end]) == IsDigit(rest[0])) ++end;
  std::string_view run = rest.substr(0, end);
  rest.remove_prefix(end);
  return run;
}

// Negative, zero or positive as run a comes before, with or after run b.
int CompareRuns(std::string_view a, std::string_view b) {
  if (IsDigit(a[0]) && IsDigit(b[0])) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
  } else if (a[0] != b[0]) {
    return a[0] < b[0] ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

// The kernel names a disk by its driver's prefix and counts: nvme0n1, mmcblk1, sdb,
// sdaa. Runs of digits compare by value, other runs by their first character, then
// by length, then byte by byte, so that the letters counting a driver's disks (sda
// to sdz, then sdaa) keep their order: nvme1n1 before nvme10n1, sdz before sdaa,
// sdaa before vda.
bool InKernelOrder(const std::string& a, const std::string& b) {
  std::string_view x = a, y = b;
  while (!x.empty() && !y.empty()) {
    int order = CompareRuns(NextRun(x), NextRun(y));
    if (order != 0) return order < 0;
  }
  if (x.empty() != y.empty()) return x.empty();
  return a < b;  // the same counts written with other leading zeros
}

}  // namespace

bool DiskNumberOf(const char* name, unsigned long* n) {
  constexpr char kPhysicalDrive[] = "physicaldrive";
  const size_t prefix = strlen(kDevicePrefix), drive = strlen(kPhysicalDrive);
  if (strncmp(name, kDevicePrefix, prefix) != 0 ||
      strncasecmp(name + prefix, kPhysicalDrive, drive) != 0) {
    return false;
  }
  const char* number = name + prefix + drive;
  char* end;
  *n = std::strtoul(number, &end, 10);
  return IsDigit(*number) && *end == '\0';
}

// Disks are numbered from 0 among the machine's physical disks in /sys/block, which
// lists whole disks only (partitions live below them): with nvme0n1, sda and sdb,
// disk 0 is /dev/nvme0n1 and disk 2 is /dev/sdb. The numbering changes when a disk
// is added or removed, as Windows' does.
std::vector<std::string> PhysicalDisks(const char* block_dir) {
  std::vector<std::string> disks;
  DIR* dir = opendir(block_dir);
  if (dir == nullptr) return disks;
  while (const dirent* entry = readdir(dir)) {
    if (IsPhysicalDisk(block_dir, entry->d_name)) disks.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(disks.begin(), disks.end(), InKernelOrder);
  // sysfs writes the "/" of a device name in a subdirectory of /dev as "!".
  for (std::string& disk : disks) {
    std::replace(disk.begin(), disk.end(), '!', '/');
    disk.insert(0, "/dev/");
  }
  return disks;
}

std::string NthDiskDevice(const char* block_dir, unsigned long n) {
  std::vector<std::string> disks = PhysicalDisks(block_dir);
  return n < disks.size() ? disks[n] : "";
}

// "No such disk: this machine has 2, 0: /dev/sda and 1: /dev/sdb".
std::string NoSuchDiskWords(const char* block_dir) {
  std::vector<std::string> disks = PhysicalDisks(block_dir);
  std::string words = "No such disk: this machine has ";
  if (disks.empty()) return words + "none";
  words += std::to_string(disks.size());
  for (size_t n = 0; n < disks.size(); ++n) {
    words += n == 0 || n + 1 < disks.size() ? ", " : " and ";
    words += std::to_string(n) + ": " + disks[n];
  }
  return words;
}

// A disk is shown by the device a Linux user knows it by; a number that names none
// as users name disks, "N:".
std::string ShownName(const char* name) {
  unsigned long disk = 0;
  if (!DiskNumberOf(name, &disk)) return name;
  std::string device = NthDiskDevice(kBlockDir, disk);
  return device.empty() ? std::to_string(disk) + ":" : device;
}
