// What the files of the POSIX layer share among themselves: handle records, the
// errno translation, the fill loop behind every read, and disk numbering, which
// the tests drive directly.
#ifndef TAVO_SRC_PLATFORM_POSIX_POSIX_LAYER_H_
#define TAVO_SRC_PLATFORM_POSIX_POSIX_LAYER_H_

#include <sys/types.h>  // ssize_t, off_t
#include <termios.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>  // memcmp
#include <string>
#include <vector>

#include "win32_subset.h"

// Handles. A HANDLE points to one of these; the standard handles are static records.
// A regular file or a block device is positioned: the record holds its file pointer,
// and each read or write is one pread or pwrite there, with no seek before it. Pipes,
// FIFOs, terminals and other character devices cannot seek; they are read and written
// where they stand, and the standard handles, whose offset the invoking shell may
// share, are treated the same way.
// Fields are set by name; those not set keep the values below.
struct FileRecord {
  int fd = -1;               // -1 once a standard handle has been closed
  bool positioned = false;   // read and written at position, never where it stands
  bool disk = false;         // a block device, whose failures are reported as a disk's
  int64_t position = 0;      // the file pointer of a positioned record
  uint32_t sector_size = 0;  // bytes of a sector while a disk is read uncached, else 0
};
HANDLE NewHandle(int fd, uint32_t sector_size);  // null when it cannot be allocated

// Null for a null, invalid or closed handle.
inline FileRecord* RecordOf(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  FileRecord* record = static_cast<FileRecord*>(handle);
  return record->fd < 0 ? nullptr : record;
}

// The record of a handle that one pread or pwrite at its file pointer serves, or null:
// the way of nearly every request (a disk read uncached takes whole sectors only). A
// positioned record is open: only the standard records outlive their close, and they
// are never positioned.
inline FileRecord* CachedRecordOf(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  FileRecord* record = static_cast<FileRecord*>(handle);
  return record->positioned && record->sector_size == 0 ? record : nullptr;
}

inline int HandleFd(HANDLE handle) {  // -1 for a null, invalid or closed handle
  FileRecord* record = RecordOf(handle);
  return record == nullptr ? -1 : record->fd;
}

// Disks. A block device opened for reading is read uncached (O_DIRECT) where the
// device allows it: OpenUncachedIfDisk returns the descriptor to use in place of fd,
// which it may have closed, and the sector size, 0 when reads stay cached (the
// device refuses O_DIRECT, or an uncached read of its first sector). Such a handle
// serves whole sectors at whole-sector offsets only.
int OpenUncachedIfDisk(const char* path, int fd, int flags, uint32_t* sector_size);
// Files. With FILE_FLAG_NO_BUFFERING a regular file opened for reading is read with
// O_DIRECT: OpenUncachedFile returns the descriptor to use in place of fd (which it
// closes) and the alignment as sector_size; or -1, fd closed, with the Win32 error:
// ERROR_INVALID_PARAMETER when the file system takes no uncached reads. Anything but
// a regular file is returned as it is.
int OpenUncachedFile(const char* path, int fd, int flags, uint32_t* sector_size,
                     DWORD* error);
bool WholeSectors(const FileRecord& record, uint64_t offset, uint64_t size);
void ReadCachedFromNowOn(FileRecord* record);

// Errors. Some errno values mean something else when an open fails than when a read
// or a write does (EISDIR, EBUSY), and a disk's failures are told by kind.
// SetLastErrorFromErrno keeps the errno's words for ErrorWords (platform.h);
// SetLastErrorWithWords gives the layer's own, for a failure that has no errno.
enum class ErrnoUse { kOpening, kTransferring, kTransferringDisk };
DWORD Win32ErrorFromErrno(int error, ErrnoUse use);
void SetLastErrorFromErrno(int error, ErrnoUse use);
void SetLastErrorWithWords(DWORD code, const std::string& words);

// The byte length of what a descriptor reads. known is false for what has no length
// (FIFOs, sockets, character devices, directories); error is an errno value or 0.
struct FileLength {
  int error;
  bool known;
  bool directory;
  uint64_t bytes;
};
FileLength LengthOf(int fd);

// The outcome of filling a request: count bytes arrived; error is 0 when the request
// was filled or the input ended, else the errno of the read that failed.
struct Fill {
  size_t count;
  int error;
};

// One read at offset, pread's contract; a descriptor that cannot seek ignores offset.
typedef ssize_t (*PreadFn)(int fd, void* buffer, size_t count, off_t offset);

// Takes in what one read call returned; false when the request ends with it: at the
// end of the input, or on a failure other than EINTR.
inline bool TakeChunk(ssize_t got, Fill* fill) {
  if (got > 0) {
    fill->count += static_cast<size_t>(got);
    return true;
  }
  if (got < 0 && errno == EINTR) return true;
  if (got < 0) fill->error = errno;
  return false;
}

// Fills buffer[fill.count, size) from offset + fill.count on by calling read_fn until
// the request is full or ends.
inline Fill FillLoop(int fd, uint8_t* buffer, size_t size, off_t offset,
                     PreadFn read_fn, Fill fill = {0, 0}) {
  while (fill.count < size &&
         TakeChunk(read_fn(fd, buffer + fill.count, size - fill.count,
                           offset + static_cast<off_t>(fill.count)),
                   &fill)) {
  }
  return fill;
}

// ReadFile with the pread() of a positioned handle replaceable, so that tests can make
// a read fail as a device fails.
BOOL ReadFileWith(HANDLE file, LPVOID buffer, DWORD size, LPDWORD count,
                  PreadFn pread_fn);

// True when the device behind fd, opened O_DIRECT, turns down an uncached read of its
// first sector (EINVAL): it takes none, and is read through the cache. pread_fn is
// replaceable, so that tests can answer as a device answers.
bool RefusesUncachedReads(int fd, uint32_t sector_size, PreadFn pread_fn);

// BackupRead with pread() replaceable, so that tests can fail a read part-way.
BOOL BackupReadWith(HANDLE file, LPBYTE buffer, DWORD size, LPDWORD count, BOOL abort,
                    LPVOID* context, PreadFn pread_fn);

// Disk numbers. block_dir is normally kBlockDir. A Windows device name is
// kDevicePrefix and the device's own: "\\.\PhysicalDrive0", "\\.\C:".
constexpr char kBlockDir[] = "/sys/block";
constexpr char kDevicePrefix[] = "\\\\.\\";
// The N of "\\.\PhysicalDriveN", in any case; false for any other name.
bool DiskNumberOf(const char* name, unsigned long* n);
// The /dev names of the machine's whole disks, in their numbers' order.
std::vector<std::string> PhysicalDisks(const char* block_dir);
// The /dev name of whole disk number n (counted from 0) among the entries of
// block_dir, or "" when there is no such disk.
std::string NthDiskDevice(const char* block_dir, unsigned long n);
// What a disk number that names no disk is told with: the disks there are.
std::string NoSuchDiskWords(const char* block_dir);

// Key scanning: bytes that a terminal delivered, turned into presses of ESC and SPACE.
struct KeyScan {
  enum State { kGround, kEscape, kControlSequence, kSingleShift } state;
  bool escape;
  bool space;
};
void ScanKeyBytes(KeyScan* scan, const uint8_t* bytes, size_t count);
void FinishKeyScan(KeyScan* scan);  // nothing more is available now

// The terminal on standard input. While the job is in the foreground, typed keys are
// readable at once and unechoed (key mode); the terminal is put back when the job
// stops or ends and taken again when it is resumed in the foreground. A job in the
// background neither reads nor changes it. PrepareConsole (platform.h) opens the
// terminal for keys and starts the watcher; StartKeyMode runs it if the program has
// not. StartKeyMode
// is false, touching nothing, when standard input is not a terminal. PollInKeyMode
// calls poll with a descriptor of the terminal whose reads never wait, only while keys
// may be read. RestoreTerminal puts back the settings key mode replaced.
bool StartKeyMode();
void PollInKeyMode(void (*poll)(int fd));
void RestoreTerminal();

// Settings of the terminal: saved, the ones to put back; keys, those of key mode;
// active, key mode may be on the terminal.
struct TerminalModes {
  termios saved;
  termios keys;
  int active;
};

inline bool SameTerminalSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The watcher: a process of its own that puts the saved settings back when this
// process ends while the terminal still holds its key settings, however it ends.
// StartTerminalWatcher is false when it cannot start (no process to spare).
// TellTerminalWatcher hands it the modes; it is async-signal-safe.
bool StartTerminalWatcher();
void TellTerminalWatcher(const TerminalModes& modes);

// Milliseconds since boot from the coarse monotonic clock, which moves once per kernel
// tick (1 to 10 ms) and is read from memory the kernel shares: no system call, no
// timer read.
int64_t MonotonicMilliseconds();

// The ending signal that SetConsoleCtrlHandler's routine was told of, or 0. A process
// that then ends with 128 + that signal's number ends by the signal itself, so that
// its invoker sees it die by it.
int CaughtEndingSignal();

#endif  // TAVO_SRC_PLATFORM_POSIX_POSIX_LAYER_H_
