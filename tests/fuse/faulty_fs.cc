// A damaged medium served by the kernel: files over the bytes of DATA.
//   faulty_fs DATA MOUNTPOINT [-s] [other FUSE options]
// "damaged", said to be 256 KiB (more than DATA), has an unreadable sector (EIO) at
// 0x9400, and at 0x18200 one without medium for the first two reads after each open.
// "refusing" has no medium for the first read at 0 and refuses (EINVAL) requests
// that reach 0x11000. "disk", the backing file of a loop device in the tests, fails
// as a disk does: its sectors at 0x9400, 0x10200 and 0x18400 fail with a medium
// error, a timeout and a refusal (EINVAL). "unflushable", empty and writable, takes
// every write and fails each close with ENOSPC, as a network file system reports a
// write it deferred. A request that reaches a failing sector delivers the bytes
// before it; one that starts at it fails. Direct I/O: each read reaches this server.
// "hanging" holds DATA, read through the page cache as a network share's files are;
// its reads wait until a file DATA.release exists, as reads of a share whose link is
// down wait, which only a fatal signal interrupts. Serve it multithreaded (no -s).
// "unsyncable", like "unflushable", fails each fsync with ENOSPC instead, as a file
// system that allocates late fails a write. "dropping" holds DATA; opened for the
// first time, it hands over zeros as data for the 128 KiB before 0x28000, where its
// reads end, as a network share whose server went away can. "stalling" holds DATA;
// while a file DATA.hold exists, a read from 0x20000 on creates DATA.stalled and waits
// until DATA.hold is gone (10 s at most), as a medium that stops answering does.
// "healing" holds DATA, and its sectors at 0x9400, 0x18200 and 0x20000 fail (EIO)
// their first one, two and three reads over the server's life, as sectors of a
// failing disk that read on a later try; once a file DATA.healed exists, none fail.
// Each read of it is logged as "offset size" in DATA.reads. "slow" holds DATA and
// takes 2 ms for each read, so that a copy of it lasts long enough to be killed.
// "worn" holds DATA as a worn medium serves it: each read takes 1 ms, 10 ms in the
// middle fifth of DATA, and the sectors at 0x310000 and 0xB30000 are unreadable (EIO)
// until a file DATA.healed exists. "lossy", empty and writable, keeps what is written
// to it in memory; its first fsync fails (EIO) and drops what it had not stored
// before, as a device whose writeback failed loses the pages; later ones store it.
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

struct Fault {
  const char* path;
  off_t sector;
  int error, failingReads;  // for ENOMEDIUM: how many reads fail after each open
};
const Fault kFaults[] = {
    {"/damaged", 0x9400, EIO, 0},   {"/damaged", 0x18200, ENOMEDIUM, 2},
    {"/refusing", 0, ENOMEDIUM, 1}, {"/refusing", 0x11000, EINVAL, 0},
    {"/disk", 0x9400, ENODATA, 0},  {"/disk", 0x10200, ETIMEDOUT, 0},
    {"/disk", 0x18400, EINVAL, 0},  {"/worn", 0x310000, EIO, 0},
    {"/worn", 0xB30000, EIO, 0}};
const Fault kHealingFaults[] = {{"/healing", 0x9400, EIO, 1},
                                {"/healing", 0x18200, EIO, 2},
                                {"/healing", 0x20000, EIO, 3}};
int data_fd = -1;
off_t data_size = 0;       // of DATA
std::string release_path;  // DATA.release
std::string data_path;     // DATA, as an absolute path
int dropping_opens = 0;
constexpr off_t kDropEnd = 0x28000, kDropZeros = 0x20000, kStallFrom = 0x20000;
std::map<off_t, int> healing_reads;  // failed reads by sector, never cleared
std::map<off_t, int> failed_reads;   // by sector, since the last open

bool IsUnflushable(const char* path) { return strcmp(path, "/unflushable") == 0; }
bool IsUnsyncable(const char* path) { return strcmp(path, "/unsyncable") == 0; }
bool IsLossy(const char* path) { return strcmp(path, "/lossy") == 0; }
std::string lossy_stored, lossy_written;  // on the medium; as reads see it
bool lossy_failed = false;                // its one failed fsync has come

bool IsFile(const char* path) {
  return !strcmp(path, "/damaged") || !strcmp(path, "/refusing") ||
         !strcmp(path, "/disk") || IsUnflushable(path) || IsUnsyncable(path) ||
         !strcmp(path, "/hanging") || !strcmp(path, "/dropping") ||
         !strcmp(path, "/stalling") || !strcmp(path, "/healing") ||
         !strcmp(path, "/slow") || !strcmp(path, "/worn") || IsLossy(path);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// A read of "stalling" from kStallFrom on, while DATA.hold exists.
void Stall(off_t offset) {
  std::string hold = data_path + ".hold";
  if (offset < kStallFrom || !Exists(hold)) return;
  close(open((data_path + ".stalled").c_str(), O_CREAT | O_WRONLY, 0644));
  for (int waited = 0; Exists(hold) && waited < 500; ++waited) usleep(20000);
}

int GetAttributes(const char* path, struct stat* status, fuse_file_info*) {
  memset(status, 0, sizeof *status);
  status->st_mode = IsFile(path) ? S_IFREG | 0444 : S_IFDIR | 0555;
  status->st_size = strcmp(path, "/damaged") == 0 ? 262144 : data_size;
  if (IsUnflushable(path) || IsUnsyncable(path))
    status->st_mode = S_IFREG | 0666, status->st_size = 0;
  if (IsLossy(path))
    status->st_mode = S_IFREG | 0666, status->st_size = lossy_written.size();
  return IsFile(path) || strcmp(path, "/") == 0 ? 0 : -ENOENT;
}

int Write(const char* path, const char* data, size_t size, off_t offset,
          fuse_file_info*) {
  if (IsLossy(path)) {
    size_t end = static_cast<size_t>(offset) + size;
    if (lossy_written.size() < end) lossy_written.resize(end);
    lossy_written.replace(static_cast<size_t>(offset), size, data, size);
  }
  return static_cast<int>(size);
}

int Truncate(const char* path, off_t size, fuse_file_info*) {
  if (!IsLossy(path)) return -EACCES;
  lossy_written.resize(static_cast<size_t>(size));
  return 0;
}

int Flush(const char* path, fuse_file_info*) {
  return IsUnflushable(path) ? -ENOSPC : 0;
}

int Fsync(const char* path, int, fuse_file_info*) {
  if (IsLossy(path)) {
    if (!lossy_failed) {
      lossy_failed = true;
      lossy_written = lossy_stored;
      return -EIO;
    }
    lossy_stored = lossy_written;
  }
  return IsUnsyncable(path) ? -ENOSPC : 0;
}

int Open(const char* path, fuse_file_info* info) {
  info->direct_io = strcmp(path, "/hanging") != 0;
  failed_reads.clear();
  if (strcmp(path, "/dropping") == 0) ++dropping_opens;
  return IsFile(path) ? 0 : -ENOENT;
}

void LogRead(size_t size, off_t offset) {
  FILE* log = fopen((data_path + ".reads").c_str(), "a");
  if (log == nullptr) return;
  fprintf(log, "%lld %zu\n", static_cast<long long>(offset), size);
  fclose(log);
}

// A read stops short of the first failing sector it reaches, and fails at it.
int ReadHealing(char* buffer, size_t size, off_t offset) {
  LogRead(size, offset);
  off_t end = std::min<off_t>(offset + static_cast<off_t>(size), data_size);
  bool healed = access((data_path + ".healed").c_str(), F_OK) == 0;
  for (const Fault& fault : kHealingFaults) {
    if (healed || fault.sector < offset / 512 * 512 || fault.sector >= end ||
        healing_reads[fault.sector] >= fault.failingReads)
      continue;
    if (fault.sector <= offset) {
      ++healing_reads[fault.sector];
      return -fault.error;
    }
    end = std::min(end, fault.sector);
  }
  if (offset >= end) return 0;
  ssize_t got = pread(data_fd, buffer, static_cast<size_t>(end - offset), offset);
  return got < 0 ? -EIO : static_cast<int>(got);
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
  if (strcmp(path, "/healing") == 0) return ReadHealing(buffer, size, offset);
  if (strcmp(path, "/slow") == 0) usleep(2000);
  if (strcmp(path, "/hanging") == 0) {
    while (access(release_path.c_str(), F_OK) != 0) usleep(20000);
  }
  if (IsLossy(path)) {
    if (offset >= static_cast<off_t>(lossy_written.size())) return 0;
    size_t count = std::min(size, lossy_written.size() - static_cast<size_t>(offset));
    memcpy(buffer, lossy_written.data() + offset, count);
    return static_cast<int>(count);
  }
  if (strcmp(path, "/stalling") == 0) Stall(offset);
  if (strcmp(path, "/worn") == 0) {
    bool middle = offset >= data_size / 5 * 2 && offset < data_size / 5 * 3;
    usleep(middle ? 10000 : 1000);
  }
  off_t end = std::min<off_t>(offset + static_cast<off_t>(size), data_size);
  if (strcmp(path, "/dropping") == 0 && dropping_opens == 1) {
    end = std::min(end, kDropEnd);
    if (offset >= kDropEnd - kDropZeros && offset < end) {
      memset(buffer, 0, static_cast<size_t>(end - offset));
      return static_cast<int>(end - offset);
    }
  }
  bool healed = Exists(data_path + ".healed");
  for (const Fault& fault : kFaults) {
    if (strcmp(path, fault.path) != 0 || fault.sector < offset / 512 * 512 ||
        (healed && strcmp(path, "/worn") == 0) ||
        fault.sector >= end ||
        (fault.error == ENOMEDIUM && failed_reads[fault.sector] >= fault.failingReads))
      continue;
    if (fault.sector <= offset) {
      ++failed_reads[fault.sector];
      return -fault.error;
    }
    end = fault.sector;
  }
  if (offset >= end) return 0;
  ssize_t got = pread(data_fd, buffer, static_cast<size_t>(end - offset), offset);
  return got < 0 ? -EIO : static_cast<int>(got);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (data_fd = open(argv[1], O_RDONLY)) < 0) return 2;
  data_size = lseek(data_fd, 0, SEEK_END);
  char* real_path = realpath(argv[1], nullptr);  // the server runs from "/"
  data_path = real_path;
  release_path = data_path + ".release";
  free(real_path);
  argv[1] = argv[0];
  fuse_operations operations = {};
  operations.getattr = GetAttributes;
  operations.open = Open;
  operations.read = Read;
  operations.write = Write;
  operations.flush = Flush;
  operations.fsync = Fsync;
  operations.truncate = Truncate;
  return fuse_main(argc - 1, argv + 1, &operations, nullptr);
}
