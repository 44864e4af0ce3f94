// A damaged medium served by the kernel, for tests: each file shows the bytes of one
// data file, with 512-byte sectors that fail as damaged media fail.
//   faulty_fs DATA NAME=FAULTS... MOUNTPOINT [FUSE options, e.g. -f -s]
// FAULTS is a comma-separated list of
//   eio:OFFSET          the sector at OFFSET is unreadable (EIO), always
//   nomedium:OFFSET:N   no medium (ENOMEDIUM) for the first N reads of the sector
//                       after each open; then it reads normally
//   einval:OFFSET       the device refuses requests for the sector (EINVAL), as some
//                       refuse to read at their end
//   size:BYTES          the size reported, whatever can be read (the end comes early
//                       when it is larger than DATA)
// A request that reaches a failing sector delivers the bytes before it; a request
// that starts at it fails. Files are opened for direct I/O, so every read of a
// program reaches this server with its own offset and size, as on a raw device.
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr off_t kSector = 512;

struct Fault {
  int error;     // EIO, ENOMEDIUM or EINVAL
  int attempts;  // ENOMEDIUM only: how many reads fail
};

struct MediumFile {
  std::map<off_t, Fault> faults;  // by sector offset
  off_t size;
};

int data_fd = -1;
off_t data_size = 0;
std::map<std::string, MediumFile> files;  // by "/name"

// Per open: how many reads each ENOMEDIUM sector has failed so far.
typedef std::map<off_t, int> Attempts;

bool ParseFaults(const char* text, MediumFile& file) {
  file.size = data_size;
  std::string list = text;
  for (size_t start = 0; start <= list.size();) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string item = list.substr(start, end - start);
    start = end + 1;
    long long offset = 0;
    int count = 0;
    if (sscanf(item.c_str(), "eio:%lld", &offset) == 1) {
      file.faults[offset / kSector * kSector] = {EIO, 0};
    } else if (sscanf(item.c_str(), "nomedium:%lld:%d", &offset, &count) == 2) {
      file.faults[offset / kSector * kSector] = {ENOMEDIUM, count};
    } else if (sscanf(item.c_str(), "einval:%lld", &offset) == 1) {
      file.faults[offset / kSector * kSector] = {EINVAL, 0};
    } else if (sscanf(item.c_str(), "size:%lld", &offset) == 1) {
      file.size = offset;
    } else if (!item.empty()) {
      return false;
    }
  }
  return true;
}

const MediumFile* Find(const char* path) {
  auto found = files.find(path);
  return found == files.end() ? nullptr : &found->second;
}

int GetAttributes(const char* path, struct stat* status, fuse_file_info*) {
  memset(status, 0, sizeof *status);
  if (strcmp(path, "/") == 0) {
    status->st_mode = S_IFDIR | 0555;
    status->st_nlink = 2;
    return 0;
  }
  const MediumFile* file = Find(path);
  if (file == nullptr) return -ENOENT;
  status->st_mode = S_IFREG | 0444;
  status->st_nlink = 1;
  status->st_size = file->size;
  return 0;
}

int ReadDirectory(const char* path, void* buffer, fuse_fill_dir_t fill, off_t,
                  fuse_file_info*, fuse_readdir_flags) {
  if (strcmp(path, "/") != 0) return -ENOENT;
  fill(buffer, ".", nullptr, 0, FUSE_FILL_DIR_PLUS);
  fill(buffer, "..", nullptr, 0, FUSE_FILL_DIR_PLUS);
  for (const auto& file : files)
    fill(buffer, file.first.c_str() + 1, nullptr, 0, FUSE_FILL_DIR_PLUS);
  return 0;
}

int Open(const char* path, fuse_file_info* info) {
  if (Find(path) == nullptr) return -ENOENT;
  if ((info->flags & O_ACCMODE) != O_RDONLY) return -EACCES;
  info->direct_io = 1;
  info->fh = reinterpret_cast<uint64_t>(new Attempts());
  return 0;
}

int Release(const char*, fuse_file_info* info) {
  delete reinterpret_cast<Attempts*>(info->fh);
  return 0;
}

// The first failing sector in [offset, end), or the end of the map. An ENOMEDIUM
// sector whose failing reads are used up no longer fails.
std::map<off_t, Fault>::const_iterator FirstFailing(const MediumFile& file,
                                                    const Attempts& attempts,
                                                    off_t offset, off_t end) {
  auto fault = file.faults.lower_bound(offset / kSector * kSector);
  for (; fault != file.faults.end() && fault->first < end; ++fault) {
    if (fault->second.error != ENOMEDIUM) return fault;
    auto used = attempts.find(fault->first);
    if (used == attempts.end() || used->second < fault->second.attempts) return fault;
  }
  return file.faults.end();
}

int Read(const char* path, char* buffer, size_t size, off_t offset,
         fuse_file_info* info) {
  const MediumFile* file = Find(path);
  if (file == nullptr) return -ENOENT;
  Attempts& attempts = *reinterpret_cast<Attempts*>(info->fh);
  off_t end = std::min<off_t>(offset + static_cast<off_t>(size), data_size);
  if (offset >= end) return 0;
  auto fault = FirstFailing(*file, attempts, offset, end);
  if (fault != file->faults.end()) {
    if (fault->first <= offset) {
      if (fault->second.error == ENOMEDIUM) ++attempts[fault->first];
      return -fault->second.error;
    }
    end = fault->first;
  }
  ssize_t got = pread(data_fd, buffer, static_cast<size_t>(end - offset), offset);
  return got < 0 ? -EIO : static_cast<int>(got);
}

}  // namespace

int main(int argc, char** argv) {
  int next = 2;
  if (argc >= 4) data_fd = open(argv[1], O_RDONLY);
  if (data_fd >= 0) data_size = lseek(data_fd, 0, SEEK_END);
  for (; data_fd >= 0 && next < argc && argv[next][0] != '-'; ++next) {
    char* equals = strchr(argv[next], '=');
    if (equals == nullptr) break;
    MediumFile& file = files["/" + std::string(argv[next], equals)];
    if (!ParseFaults(equals + 1, file)) data_fd = -1;
  }
  if (data_fd < 0 || files.empty() || next >= argc) {
    fprintf(stderr, "usage: faulty_fs DATA NAME=FAULTS... MOUNTPOINT [FUSE options]\n");
    return 2;
  }
  std::vector<char*> fuseArguments = {argv[0]};
  fuseArguments.insert(fuseArguments.end(), argv + next, argv + argc);
  fuse_operations operations = {};
  operations.getattr = GetAttributes;
  operations.readdir = ReadDirectory;
  operations.open = Open;
  operations.release = Release;
  operations.read = Read;
  return fuse_main(static_cast<int>(fuseArguments.size()), fuseArguments.data(),
                   &operations, nullptr);
}
