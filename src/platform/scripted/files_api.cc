// Files, drives and shares: opening, sizing, positioning, reading, backup-stream
// reading, writing and closing, all on the script's in-memory files.
#include <algorithm>
#include <cstddef>  // offsetof
#include <cstring>
#include <functional>  // std::hash

#include "live_state.h"

using scripted::FileSpec;
using scripted::Live;
using scripted::LogCall;
using scripted::OpenFile;
using scripted::ReadOutcome;

namespace {

FileSpec& FileBehind(const OpenFile& open) { return Live().script.files[open.name]; }

// The open file behind a handle, or null for one closed or never given out.
OpenFile* FindOpenFile(HANDLE handle) {
  auto it = Live().handles.find(reinterpret_cast<intptr_t>(handle));
  if (it != Live().handles.end() && !it->second.closed) return &it->second;
  Live().lastError = ERROR_INVALID_HANDLE;
  return nullptr;
}

// Reads are counted so that a run which would never end is stopped and reported.
void CountRead() {
  if (++Live().reads > scripted::kMaxReads) {
    scripted::FinishChild(0, "the run was stopped after " +
                                 std::to_string(scripted::kMaxReads) + " reads");
  }
  if (Live().reads == Live().script.controlEventAtRead && Live().controlRoutine)
    Live().controlRoutine(Live().script.controlEvent);
}

// The outcome queued first, used up, or a plain read when none is left.
ReadOutcome TakeOutcome(std::vector<ReadOutcome>& queued) {
  if (queued.empty()) return ReadOutcome{};
  ReadOutcome outcome = queued.front();
  queued.erase(queued.begin());
  return outcome;
}

// Copies what the outcome delivers of source from `from` on, at most `asked` bytes,
// leaves the outcome's error code, moves the fine clock on by the outcome's time and
// says how many bytes were delivered.
uint64_t Deliver(const ReadOutcome& outcome, const std::string& source, uint64_t from,
                 void* buffer, DWORD asked) {
  int64_t micros = outcome.micros >= 0 ? outcome.micros : Live().script.readMicros;
  Live().counter += micros * (scripted::kCounterFrequency / 1000000);
  uint64_t available = from < source.size() ? source.size() - from : 0;
  uint64_t delivered = std::min<uint64_t>(available, asked);
  if (outcome.bytes >= 0) delivered = std::min<uint64_t>(delivered, outcome.bytes);
  if (delivered > 0) memcpy(buffer, source.data() + from, delivered);
  if (outcome.code != 0) Live().lastError = outcome.code;
  return delivered;
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  std::string name = lpFileName;
  LogCall("CreateFileA " + name);
  auto& files = Live().script.files;
  bool existed = files.count(name) != 0;
  if (!existed && dwCreationDisposition == OPEN_EXISTING) {
    Live().lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  if (existed && dwCreationDisposition == CREATE_NEW) {
    Live().lastError = ERROR_FILE_EXISTS;
    return INVALID_HANDLE_VALUE;
  }
  if (existed && (dwFlagsAndAttributes & FILE_FLAG_NO_BUFFERING) &&
      files[name].refusesUncached) {
    Live().lastError = ERROR_INVALID_PARAMETER;
    return INVALID_HANDLE_VALUE;
  }
  // OPEN_ALWAYS and CREATE_NEW make an empty file.
  if (!existed) files[name] = FileSpec();
  // As Windows does: either on an existing file leaves ERROR_ALREADY_EXISTS.
  Live().lastError =
      existed && dwCreationDisposition != OPEN_EXISTING ? ERROR_ALREADY_EXISTS : 0;
  intptr_t handle = Live().nextHandle++;
  Live().handles[handle] = OpenFile{name, 0, false};
  return reinterpret_cast<HANDLE>(handle);
}

// The script has neither links nor directories: a file is its name, and the name's
// hash its index on the one volume.
BOOL GetFileInformationByHandle(HANDLE hFile,
                                LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return FALSE;
  const FileSpec& file = FileBehind(*open);
  uint64_t index = std::hash<std::string>()(open->name);
  *lpFileInformation = {};
  lpFileInformation->dwFileAttributes =
      file.sectorSize != 0 ? FILE_ATTRIBUTE_DEVICE : FILE_ATTRIBUTE_NORMAL;
  lpFileInformation->dwVolumeSerialNumber = 1;
  lpFileInformation->nFileSizeHigh = static_cast<DWORD>(file.length >> 32);
  lpFileInformation->nFileSizeLow = static_cast<DWORD>(file.length);
  lpFileInformation->nNumberOfLinks = 1;
  lpFileInformation->nFileIndexHigh = static_cast<DWORD>(index >> 32);
  lpFileInformation->nFileIndexLow = static_cast<DWORD>(index);
  return TRUE;
}

// A successful query leaves the last error as it was, as Windows does.
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return INVALID_FILE_SIZE;
  const FileSpec& file = FileBehind(*open);
  if (file.sizeError != 0) {
    Live().lastError = file.sizeError;
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh != nullptr)
    *lpFileSizeHigh = static_cast<DWORD>(file.length >> 32);
  return static_cast<DWORD>(file.length);
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD) {
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return INVALID_SET_FILE_POINTER;
  uint64_t high = lpDistanceToMoveHigh != nullptr
                      ? static_cast<uint32_t>(*lpDistanceToMoveHigh)
                      : (lDistanceToMove < 0 ? 0xFFFFFFFFu : 0u);
  open->offset = (high << 32) | static_cast<uint32_t>(lDistanceToMove);
  return static_cast<DWORD>(open->offset);
}

// The part of the buffer beyond what is delivered is left as it was. Only the
// requested window is read out, so a huge sparse file costs nothing. As on Windows,
// the count is 0 before anything is checked.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return FALSE;
  LogCall("ReadFile " + open->name + " at=" + std::to_string(open->offset) +
          " size=" + std::to_string(nNumberOfBytesToRead));
  CountRead();
  FileSpec& file = FileBehind(*open);
  if (file.sectorSize != 0 && (open->offset % file.sectorSize != 0 ||
                               nNumberOfBytesToRead % file.sectorSize != 0)) {
    Live().lastError = ERROR_INVALID_PARAMETER;  // as a disk refuses part of a sector
    return FALSE;
  }
  ReadOutcome outcome = TakeOutcome(file.reads[static_cast<int64_t>(open->offset)]);
  uint64_t left = file.length > open->offset ? file.length - open->offset : 0;
  std::string window = scripted::ReadContent(
      file, open->offset, std::min<uint64_t>(left, nNumberOfBytesToRead));
  uint64_t delivered = Deliver(outcome, window, 0, lpBuffer, nNumberOfBytesToRead);
  open->offset += delivered;
  if (lpNumberOfBytesRead != nullptr)
    *lpNumberOfBytesRead = static_cast<DWORD>(delivered);
  return outcome.ok ? TRUE : FALSE;
}

// The stream is the file's content, read on from call to call.
BOOL BackupRead(HANDLE hFile, LPBYTE lpBuffer, DWORD nNumberOfBytesToRead,
                LPDWORD lpNumberOfBytesRead, BOOL bAbort, BOOL, LPVOID* lpContext) {
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return FALSE;
  if (bAbort) return TRUE;
  LogCall("BackupRead " + open->name);
  CountRead();
  FileSpec& file = FileBehind(*open);
  size_t call = Live().backupCalls++;
  ReadOutcome outcome =
      call < file.backupCalls.size() ? file.backupCalls[call] : ReadOutcome{};
  uint64_t& cursor = Live().backupCursor;
  uint64_t delivered =
      Deliver(outcome, file.Content(), cursor, lpBuffer, nNumberOfBytesToRead);
  cursor += delivered;
  if (lpContext != nullptr) *lpContext = &cursor;  // any value but null will do
  if (lpNumberOfBytesRead != nullptr)
    *lpNumberOfBytesRead = static_cast<DWORD>(delivered);
  return outcome.ok ? TRUE : FALSE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
  if (reinterpret_cast<intptr_t>(hFile) == scripted::kStdoutHandle) {
    return scripted::WriteStdout(lpBuffer, nNumberOfBytesToWrite,
                                 lpNumberOfBytesWritten);
  }
  if (reinterpret_cast<intptr_t>(hFile) == scripted::kStderrHandle) {
    return scripted::WriteStderr(lpBuffer, nNumberOfBytesToWrite,
                                 lpNumberOfBytesWritten);
  }
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return FALSE;
  FileSpec& file = FileBehind(*open);
  const std::vector<int64_t>& failing = file.failingWrites;
  bool fails = std::count(failing.begin(), failing.end(),
                          static_cast<int64_t>(open->offset)) > 0;
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  if (fails) {
    Live().lastError = ERROR_DISK_FULL;
    return FALSE;
  }
  if (!scripted::WriteContent(file, open->offset, lpBuffer, nNumberOfBytesToWrite)) {
    scripted::FinishChild(0, "a write at " + std::to_string(open->offset) + " of " +
                                 open->name + " would spread over more than 256 MiB");
  }
  open->offset += nNumberOfBytesToWrite;
  if (lpNumberOfBytesWritten != nullptr)
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

// A disk reports its sector and size, and its length; a file has no geometry and no
// length. The answers are the POSIX layer's: the geometry without its detection data,
// and a count of 0 on failure.
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID, DWORD,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED) {
  if (lpBytesReturned != nullptr) *lpBytesReturned = 0;
  OpenFile* open = FindOpenFile(hDevice);
  if (open == nullptr) return FALSE;
  const FileSpec& file = FileBehind(*open);
  DISK_GEOMETRY_EX geometry = {};
  geometry.Geometry.BytesPerSector = file.sectorSize;
  geometry.DiskSize.QuadPart = static_cast<int64_t>(file.length);
  GET_LENGTH_INFORMATION length = {geometry.DiskSize};
  bool known = dwIoControlCode == IOCTL_DISK_GET_DRIVE_GEOMETRY_EX ||
               dwIoControlCode == IOCTL_DISK_GET_LENGTH_INFO;
  if (!known || file.sectorSize == 0) {
    Live().lastError = ERROR_INVALID_FUNCTION;
    return FALSE;
  }
  bool wantsGeometry = dwIoControlCode == IOCTL_DISK_GET_DRIVE_GEOMETRY_EX;
  const DWORD size = wantsGeometry ? offsetof(DISK_GEOMETRY_EX, Data) : sizeof length;
  if (nOutBufferSize < size) {
    Live().lastError = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  memcpy(lpOutBuffer, wantsGeometry ? static_cast<const void*>(&geometry) : &length,
         size);
  if (lpBytesReturned != nullptr) *lpBytesReturned = size;
  return TRUE;
}

// As Windows: a file that is still open (without FILE_SHARE_DELETE) is not deleted.
BOOL DeleteFileA(LPCSTR lpFileName) {
  std::string name = lpFileName;
  LogCall("DeleteFileA " + name);
  auto& files = Live().script.files;
  if (files.count(name) == 0) {
    Live().lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  for (const auto& [handle, open] : Live().handles) {
    if (open.name == name && !open.closed) {
      Live().lastError = ERROR_SHARING_VIOLATION;
      return FALSE;
    }
  }
  files.erase(name);
  return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
  OpenFile* open = FindOpenFile(hObject);
  if (open == nullptr) return FALSE;
  open->closed = true;
  DWORD error = FileBehind(*open).closeError;
  if (error == 0) return TRUE;
  Live().lastError = error;
  return FALSE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
  OpenFile* open = FindOpenFile(hFile);
  if (open == nullptr) return FALSE;
  LogCall("FlushFileBuffers " + open->name);
  DWORD error = FileBehind(*open).flushError;
  if (error == 0) return TRUE;
  Live().lastError = error;
  return FALSE;
}

// The file under the new name takes the place of any there; handles open on the old
// name are not followed.
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD) {
  auto& files = Live().script.files;
  auto it = files.find(lpExistingFileName);
  LogCall(std::string("MoveFileExA ") + lpExistingFileName + " " + lpNewFileName);
  if (it == files.end()) {
    Live().lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  FileSpec moved = it->second;
  files.erase(it);
  files[lpNewFileName] = moved;
  return TRUE;
}

DWORD VolumeSectorSize(const char*) { return 0; }
