// The last-error value, the one table that turns errno values into Win32 codes, and
// the words that say what each code stood for.
#include <cerrno>
#include <cstring>  // strerror
#include <map>
#include <string>

#include "posix_layer.h"

namespace {

DWORD last_error = ERROR_SUCCESS;  // one thread, so one value

// The words of each code's last failure, where the layer had words for it: one code
// stands for several errno values (5: no permission, a read-only file system, a
// directory), and the errno is what tells the user which.
std::map<DWORD, std::string>& WordsOfCodes() {
  static std::map<DWORD, std::string> words;
  return words;
}

struct ErrnoRow {
  int error;
  DWORD opening;       // when CreateFileA fails
  DWORD transferring;  // when a read, write or seek fails
};

// errno, then the Win32 code for a failed open and for a failed transfer. Anything
// not listed is ERROR_GEN_FAILURE (31), as in Wine, whose mapping fills the rows the
// program's own needs leave open.
constexpr ErrnoRow kErrnoRows[] = {
    // A missing name. CreateFileA makes it 3 when the parent directory is missing.
    {ENOENT, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},                    // 2
    {ENOTDIR, ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},                   // 3
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE, ERROR_FILENAME_EXCED_RANGE},  // 206
    {EINVAL, ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},              // 87
    // Permissions; a directory opened for writing is refused like any other access.
    {EACCES, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},  // 5
    {EPERM, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED, ERROR_INVALID_FUNCTION},  // 5 / 1
    // Someone else holds the file or device.
    {EBUSY, ERROR_SHARING_VIOLATION, ERROR_BUSY},                 // 32 / 170
    {ETXTBSY, ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},  // 32
    {EAGAIN, ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},   // 32
    // Resources.
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES, ERROR_TOO_MANY_OPEN_FILES},  // 4
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY},  // 8
    {EBADF, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE},         // 6
    {EEXIST, ERROR_FILE_EXISTS, ERROR_FILE_EXISTS},              // 80
    // Devices. EIO from a read is an unreadable sector, which Windows reports as a
    // data error; the read loop writes such a block through to the output.
    {EIO, ERROR_CRC, ERROR_CRC},                          // 23
    {ENOMEDIUM, ERROR_NOT_READY, ERROR_NOT_READY},        // 21: asked again later
    {ENXIO, ERROR_NO_SUCH_DEVICE, ERROR_NO_SUCH_DEVICE},  // 433
    {ENODEV, ERROR_NO_SUCH_DEVICE, ERROR_NO_SUCH_DEVICE},
    {ESPIPE, ERROR_INVALID_FUNCTION, ERROR_INVALID_FUNCTION},  // 1
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED, ERROR_NOT_SUPPORTED},    // 50
    // Space.
    {ENOSPC, ERROR_DISK_FULL, ERROR_DISK_FULL},  // 112
    {EDQUOT, ERROR_DISK_FULL, ERROR_DISK_FULL},
    {EFBIG, ERROR_FILE_TOO_LARGE, ERROR_FILE_TOO_LARGE},  // 223
    // Writing to a pipe whose reader has gone (SIGPIPE is ignored, see WriteFile).
    {EPIPE, ERROR_NO_DATA, ERROR_NO_DATA},  // 232
    // A network file whose server went away: Windows reports an unexpected network
    // error there, which ends the read loop instead of stepping on block after block.
    {ENETDOWN, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},  // 59
    {ENETUNREACH, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {ENETRESET, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {ECONNABORTED, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {ECONNRESET, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {ENOTCONN, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {ETIMEDOUT, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {EHOSTDOWN, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {EHOSTUNREACH, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
    {ESTALE, ERROR_UNEXP_NET_ERR, ERROR_UNEXP_NET_ERR},
};

// A disk read uncached reports its failures by kind, where Windows reports a disk's
// as an unreadable sector (written through to the output by the read loop) or as a
// device error (stepped over). A timeout is one of these on a disk; elsewhere it is
// the network failure above, which ends the run.
struct DiskRow {
  int error;
  DWORD code;
};
constexpr DiskRow kDiskRows[] = {
    {ENODATA, ERROR_CRC},          // 23: a medium error
    {EILSEQ, ERROR_CRC},           // a protection (integrity) error
    {ETIMEDOUT, ERROR_IO_DEVICE},  // 1117
    {ENOLINK, ERROR_IO_DEVICE},    // transport
    {EREMOTEIO, ERROR_IO_DEVICE},  // target
    {EBADE, ERROR_IO_DEVICE},      // nexus
};

}  // namespace

// A code set without words is told by the table's words for it, not by those of an
// earlier failure.
void SetLastError(DWORD dwErrCode) {
  last_error = dwErrCode;
  if (dwErrCode != ERROR_SUCCESS) WordsOfCodes().erase(dwErrCode);
}

DWORD GetLastError() { return last_error; }

void SetLastErrorWithWords(DWORD code, const std::string& words) {
  last_error = code;
  WordsOfCodes()[code] = words;
}

DWORD Win32ErrorFromErrno(int error, ErrnoUse use) {
  if (use == ErrnoUse::kTransferringDisk) {
    for (const DiskRow& row : kDiskRows) {
      if (row.error == error) return row.code;
    }
  }
  for (const ErrnoRow& row : kErrnoRows) {
    if (row.error == error) {
      return use == ErrnoUse::kOpening ? row.opening : row.transferring;
    }
  }
  return ERROR_GEN_FAILURE;
}

void SetLastErrorFromErrno(int error, ErrnoUse use) {
  SetLastErrorWithWords(Win32ErrorFromErrno(error, use), strerror(error));
}

std::string ErrorWords(DWORD code) {
  auto found = WordsOfCodes().find(code);
  if (found != WordsOfCodes().end()) return found->second;
  for (const ErrnoRow& row : kErrnoRows) {
    if (row.opening == code || row.transferring == code) return strerror(row.error);
  }
  return "";
}
