// A damaged medium served by the kernel: files over the bytes of DATA.
//   faulty_fs DATA MOUNTPOINT [-s] [other FUSE options]
// A request that reaches a failing sector delivers the bytes before it; one that
// starts at it fails. Direct I/O, so that each read reaches this server, except
// "hanging". The files (faults, their sectors, in the table below):
// "damaged", said to be 256 KiB: EIO, and no medium for the first two reads per open.
// "refusing": no medium for the first read at 0; EINVAL for requests reaching 0x11000.
// "disk", a loop device's backing file: medium errors (ENODATA, EILSEQ), transport
//   and target failures (ENOLINK, EREMOTEIO, EBADE), a timeout and a refusal.
// "unflushable", empty and writable, fails each close with ENOSPC, as a network file
//   system reports a write it deferred; "unsyncable" each fsync, as late allocation.
// "hanging", read through the page cache as a share's files are: its reads wait until
//   DATA.release exists, as on a share whose link is down. Serve it multithreaded.
// "stalling": while DATA.hold exists, a read from 0x20000 on creates DATA.stalled and
//   waits until DATA.hold is gone (10 s at most), as a medium that stops answering.
// "healing": sectors that fail (EIO) their first reads over the server's life, none
//   once DATA.healed exists; each read logged as "offset size" in DATA.reads.
// "slow": 2 ms a read. "worn": 1 ms a read, 10 ms in DATA's middle fifth; two sectors
//   fail (EIO) until DATA.healed exists.
// "lossy", empty and writable, kept in memory: its first fsync fails (EIO) and drops
//   what it had not stored, as a device whose writeback failed; later ones store it.
// "failing": a read reaching DATA's middle eighth fails (EIO) after 100 ms, as a
//   failing stretch of a disk; logged as "healing"'s are.
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

namespace {

struct Fault {
  const char* path;
  off_t sector;
  int error, failingReads;  // 0: every read fails
  int failed;               // since the last open ("healing": over the server's life)
};
Fault faults[] = {
    {"/damaged", 0x9400, EIO, 0, 0},   {"/damaged", 0x18200, ENOMEDIUM, 2, 0},
    {"/refusing", 0, ENOMEDIUM, 1, 0}, {"/refusing", 0x11000, EINVAL, 0, 0},
    {"/disk", 0x9400, ENODATA, 0, 0},  {"/disk", 0x10200, ETIMEDOUT, 0, 0},
    {"/disk", 0x18400, EINVAL, 0, 0},  {"/disk", 0xA000, EILSEQ, 0, 0},
    {"/disk", 0xB000, ENOLINK, 0, 0},  {"/disk", 0xC000, EREMOTEIO, 0, 0},
    {"/disk", 0xD000, EBADE, 0, 0},    {"/worn", 0x310000, EIO, 0, 0},
    {"/worn", 0xB30000, EIO, 0, 0},    {"/healing", 0x9400, EIO, 1, 0},
    {"/healing", 0x18200, EIO, 2, 0},  {"/healing", 0x20000, EIO, 3, 0}};
const char* const kFiles[] = {"/damaged",    "/refusing", "/disk",     "/unflushable",
                              "/unsyncable", "/hanging",  "/stalling", "/healing",
                              "/slow",       "/worn",     "/lossy",    "/failing"};
int data_fd = -1;
off_t data_size = 0;    // of DATA
std::string data_path;  // DATA, as an absolute path
constexpr off_t kStallFrom = 0x20000;
std::string lossy_stored, lossy_written;  // on the medium; as reads see it
bool lossy_failed = false;                // its one failed fsync has come

bool Is(const char* path, const char* name) { return strcmp(path, name) == 0; }
bool IsFile(const char* path) {
  return std::any_of(std::begin(kFiles), std::end(kFiles),
                     [path](const char* name) { return Is(path, name); });
}
bool Exists(const std::string& suffix) {
  return access((data_path + suffix).c_str(), F_OK) == 0;
}

int GetAttributes(const char* path, struct stat* status, fuse_file_info*) {
  memset(status, 0, sizeof *status);
  status->st_mode = IsFile(path) ? S_IFREG | 0444 : S_IFDIR | 0555;
  status->st_size = Is(path, "/damaged") ? 262144 : data_size;
  if (Is(path, "/unflushable") || Is(path, "/unsyncable") || Is(path, "/lossy"))
    status->st_mode = S_IFREG | 0666, status->st_size = 0;
  if (Is(path, "/lossy")) status->st_size = lossy_written.size();
  return IsFile(path) || Is(path, "/") ? 0 : -ENOENT;
}

int Write(const char* path, const char* data, size_t size, off_t offset,
          fuse_file_info*) {
  if (Is(path, "/lossy")) {
    lossy_written.resize(std::max(lossy_written.size(), offset + size));
    lossy_written.replace(static_cast<size_t>(offset), size, data, size);
  }
  return static_cast<int>(size);
}

int Truncate(const char* path, off_t size, fuse_file_info*) {
  if (!Is(path, "/lossy")) return -EACCES;
  lossy_written.resize(static_cast<size_t>(size));
  return 0;
}

int Flush(const char* path, fuse_file_info*) {
  return Is(path, "/unflushable") ? -ENOSPC : 0;
}

int Fsync(const char* path, int, fuse_file_info*) {
  if (Is(path, "/lossy") && !std::exchange(lossy_failed, true)) {
    lossy_written = lossy_stored;
    return -EIO;
  }
  if (Is(path, "/lossy")) lossy_stored = lossy_written;
  return Is(path, "/unsyncable") ? -ENOSPC : 0;
}

int Open(const char* path, fuse_file_info* info) {
  info->direct_io = !Is(path, "/hanging");
  for (Fault& fault : faults)
    if (!Is(fault.path, "/healing")) fault.failed = 0;
  return IsFile(path) ? 0 : -ENOENT;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
  bool logged = Is(path, "/healing") || Is(path, "/failing");
  if (FILE* log = logged ? fopen((data_path + ".reads").c_str(), "a") : nullptr)
    fprintf(log, "%lld %zu\n", static_cast<long long>(offset), size), fclose(log);
  if (Is(path, "/slow")) usleep(2000);
  while (Is(path, "/hanging") && !Exists(".release")) usleep(20000);
  if (Is(path, "/lossy")) {
    if (offset >= static_cast<off_t>(lossy_written.size())) return 0;
    size_t count = std::min(size, lossy_written.size() - static_cast<size_t>(offset));
    memcpy(buffer, lossy_written.data() + offset, count);
    return static_cast<int>(count);
  }
  if (Is(path, "/stalling") && offset >= kStallFrom && Exists(".hold")) {
    close(open((data_path + ".stalled").c_str(), O_CREAT | O_WRONLY, 0644));
    for (int waited = 0; Exists(".hold") && waited < 500; ++waited) usleep(20000);
  }
  if (Is(path, "/worn"))
    usleep(offset >= data_size / 5 * 2 && offset < data_size / 5 * 3 ? 10000 : 1000);
  off_t end = std::min<off_t>(offset + static_cast<off_t>(size), data_size);
  if (Is(path, "/failing") && offset < data_size / 16 * 9 && end > data_size / 16 * 7) {
    usleep(100000);
    return -EIO;
  }
  bool healed = (Is(path, "/worn") || Is(path, "/healing")) && Exists(".healed");
  for (Fault& fault : faults) {
    if (!Is(path, fault.path) || healed || fault.sector < offset / 512 * 512 ||
        fault.sector >= end ||
        (fault.failingReads && fault.failed >= fault.failingReads))
      continue;
    if (fault.sector <= offset) return ++fault.failed, -fault.error;
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
