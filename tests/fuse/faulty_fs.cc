// A damaged medium served by the kernel, for tests: two files over the bytes of DATA
// whose 512-byte sectors fail as damaged media fail.
//   faulty_fs DATA MOUNTPOINT [FUSE options, e.g. -f -s]
// "damaged": the sector at 0x9400 is unreadable (EIO); the one at 0x18200 has no
// medium (ENOMEDIUM) for its first two reads after each open; its reported size,
// 256 KiB, is more than DATA holds, so the end comes early.
// "refusing": no medium for the first read at 0, and requests for the sector at
// 0x20000 are refused (EINVAL), as some devices refuse to read at their end.
// A request that reaches a failing sector delivers the bytes before it; one that
// starts at it fails. Files are opened for direct I/O, so that each read a program
// makes reaches this server with its own offset and size, as on a raw device.
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace {

struct Fault {
  int error;
  int failingReads;  // for ENOMEDIUM: how many reads fail after each open
};
struct Medium {
  const char* path;
  off_t reportedSize;  // 0: the size of DATA
  std::map<off_t, Fault> faults;
};
Medium media[] = {
    {"/damaged", 262144, {{0x9400, {EIO, 0}}, {0x18200, {ENOMEDIUM, 2}}}},
    {"/refusing", 0, {{0, {ENOMEDIUM, 1}}, {0x20000, {EINVAL, 0}}}},
};
int data_fd = -1;
off_t data_size = 0;
typedef std::map<off_t, int> FailedReads;  // per open, by sector

Medium* Find(const char* path) {
  for (Medium& medium : media) {
    if (strcmp(path, medium.path) == 0) return &medium;
  }
  return nullptr;
}

int GetAttributes(const char* path, struct stat* status, fuse_file_info*) {
  memset(status, 0, sizeof *status);
  const Medium* medium = Find(path);
  if (strcmp(path, "/") == 0) {
    status->st_mode = S_IFDIR | 0555;
  } else if (medium != nullptr) {
    status->st_mode = S_IFREG | 0444;
    status->st_size = medium->reportedSize != 0 ? medium->reportedSize : data_size;
  } else {
    return -ENOENT;
  }
  return 0;
}

int Open(const char* path, fuse_file_info* info) {
  if (Find(path) == nullptr) return -ENOENT;
  info->direct_io = 1;
  info->fh = reinterpret_cast<uint64_t>(new FailedReads());
  return 0;
}

int Release(const char*, fuse_file_info* info) {
  delete reinterpret_cast<FailedReads*>(info->fh);
  return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset,
         fuse_file_info* info) {
  const Medium* medium = Find(path);
  FailedReads& failed = *reinterpret_cast<FailedReads*>(info->fh);
  off_t end = std::min<off_t>(offset + static_cast<off_t>(size), data_size);
  for (auto fault = medium->faults.lower_bound(offset / 512 * 512);
       fault != medium->faults.end() && fault->first < end; ++fault) {
    const Fault& kind = fault->second;
    if (kind.error == ENOMEDIUM && failed[fault->first] >= kind.failingReads) continue;
    if (fault->first > offset) {
      end = fault->first;
    } else {
      ++failed[fault->first];
      return -kind.error;
    }
  }
  if (offset >= end) return 0;
  ssize_t got = pread(data_fd, buffer, static_cast<size_t>(end - offset), offset);
  return got < 0 ? -EIO : static_cast<int>(got);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (data_fd = open(argv[1], O_RDONLY)) < 0) return 2;
  data_size = lseek(data_fd, 0, SEEK_END);
  argv[1] = argv[0];
  fuse_operations operations = {};
  operations.getattr = GetAttributes;
  operations.open = Open;
  operations.release = Release;
  operations.read = Read;
  return fuse_main(argc - 1, argv + 1, &operations, nullptr);
}
