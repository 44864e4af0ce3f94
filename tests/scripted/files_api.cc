// Files, drives and shares: opening, sizing, positioning, reading, backup-stream
// reading, writing and closing, all on the script's in-memory files.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "live_state.h"

using scripted::FileSpec;
using scripted::Live;
using scripted::LogCall;
using scripted::OpenFile;
using scripted::ReadOutcome;

namespace {

std::string Hex(DWORD value) {
  char text[16];
  snprintf(text, sizeof text, "%x", value);
  return text;
}

FileSpec& FileBehind(const OpenFile& open) { return Live().script.files[open.name]; }

// Reads are counted so that a run which would never end is stopped and reported.
void CountRead() {
  if (++Live().reads > Live().script.maxReads) {
    scripted::FinishChild(0, "the run was stopped after " +
                                 std::to_string(Live().script.maxReads) + " reads");
  }
}

ReadOutcome NextReadOutcome(FileSpec& file, int64_t offset) {
  auto it = file.reads.find(offset);
  if (it == file.reads.end() || it->second.empty()) return scripted::Succeed();
  ReadOutcome outcome = it->second.front();
  it->second.erase(it->second.begin());
  return outcome;
}

uint64_t Delivered(const ReadOutcome& outcome, uint64_t available, DWORD asked) {
  uint64_t natural = std::min<uint64_t>(available, asked);
  if (outcome.bytes < 0) return natural;
  return std::min<uint64_t>(outcome.bytes, asked);
}

BOOL Complete(const ReadOutcome& outcome, uint64_t delivered, LPDWORD count) {
  if (count != nullptr) *count = static_cast<DWORD>(delivered);
  if (outcome.code != 0) Live().lastError = outcome.code;
  return outcome.ok ? TRUE : FALSE;
}

bool WriteFails(const FileSpec& file, uint64_t offset) {
  if (file.writeError == 0) return false;
  if (file.failingWrites.empty()) return true;
  return std::count(file.failingWrites.begin(), file.failingWrites.end(),
                    static_cast<int64_t>(offset)) > 0;
}

// A context BackupRead hands out; the program must give it back unchanged.
LPVOID const kBackupContext = reinterpret_cast<LPVOID>(0xBAC0);

std::string ContextState(LPVOID* context) {
  if (context == nullptr) return "none";
  if (*context == nullptr) return "new";
  return *context == kBackupContext ? "kept" : "foreign";
}

// The open file behind a handle, or null, logged, for a handle that is closed or
// was never given out.
OpenFile* FindOpenFile(HANDLE handle, const char* caller) {
  auto it = Live().handles.find(reinterpret_cast<intptr_t>(handle));
  if (it == Live().handles.end() || it->second.closed) {
    LogCall(std::string(caller) + " bad-handle");
    Live().lastError = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  return &it->second;
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE) {
  std::string name = lpFileName;
  LogCall("CreateFileA " + name + " access=" + Hex(dwDesiredAccess) +
          " share=" + Hex(dwShareMode) + " disposition=" + Hex(dwCreationDisposition) +
          " flags=" + Hex(dwFlagsAndAttributes));
  auto& files = Live().script.files;
  auto it = files.find(name);
  if (it != files.end() && it->second.openError != 0) {
    Live().lastError = it->second.openError;
    return INVALID_HANDLE_VALUE;
  }
  bool existed = it != files.end() && it->second.exists;
  if (!existed && dwCreationDisposition != OPEN_ALWAYS) {
    Live().lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  if (!existed) {
    FileSpec& created = files[name];
    created.exists = true;
    created.length = created.origin = 0;
    created.bytes.clear();
  }
  // As Windows does: OPEN_ALWAYS on an existing file leaves ERROR_ALREADY_EXISTS.
  Live().lastError =
      existed && dwCreationDisposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : 0;
  intptr_t handle = Live().nextHandle++;
  Live().handles[handle] = OpenFile{name, 0, false};
  return reinterpret_cast<HANDLE>(handle);
}

// A successful query leaves the last error as it was, as Windows does.
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  OpenFile* open = FindOpenFile(hFile, "GetFileSize");
  if (open == nullptr) return INVALID_FILE_SIZE;
  LogCall("GetFileSize " + open->name);
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
                     DWORD dwMoveMethod) {
  OpenFile* open = FindOpenFile(hFile, "SetFilePointer");
  if (open == nullptr) return INVALID_SET_FILE_POINTER;
  uint64_t high = lpDistanceToMoveHigh != nullptr
                      ? static_cast<uint32_t>(*lpDistanceToMoveHigh)
                      : (lDistanceToMove < 0 ? 0xFFFFFFFFu : 0u);
  open->offset = (high << 32) | static_cast<uint32_t>(lDistanceToMove);
  LogCall("SetFilePointer " + open->name + " to=" + std::to_string(open->offset) +
          " method=" + std::to_string(dwMoveMethod));
  if (lpDistanceToMoveHigh != nullptr) {
    *lpDistanceToMoveHigh = static_cast<LONG>(open->offset >> 32);
  }
  return static_cast<DWORD>(open->offset);
}

// The part of the buffer beyond what is delivered is left as it was.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED) {
  OpenFile* open = FindOpenFile(hFile, "ReadFile");
  if (open == nullptr) return FALSE;
  LogCall("ReadFile " + open->name + " at=" + std::to_string(open->offset) +
          " size=" + std::to_string(nNumberOfBytesToRead));
  CountRead();
  FileSpec& file = FileBehind(*open);
  ReadOutcome outcome = NextReadOutcome(file, static_cast<int64_t>(open->offset));
  uint64_t available = open->offset < file.length ? file.length - open->offset : 0;
  uint64_t delivered = Delivered(outcome, available, nNumberOfBytesToRead);
  std::string data = scripted::ReadContent(file, open->offset, delivered);
  memcpy(lpBuffer, data.data(), delivered);
  open->offset += delivered;
  return Complete(outcome, delivered, lpNumberOfBytesRead);
}

BOOL BackupRead(HANDLE hFile, LPBYTE lpBuffer, DWORD nNumberOfBytesToRead,
                LPDWORD lpNumberOfBytesRead, BOOL bAbort, BOOL bProcessSecurity,
                LPVOID* lpContext) {
  OpenFile* open = FindOpenFile(hFile, "BackupRead");
  if (open == nullptr) return FALSE;
  std::string context = ContextState(lpContext);
  if (bAbort) {
    LogCall("BackupRead " + open->name + " abort context=" + context);
    if (lpContext != nullptr) *lpContext = nullptr;
    return TRUE;
  }
  LogCall("BackupRead " + open->name + " size=" + std::to_string(nNumberOfBytesToRead) +
          " security=" + std::to_string(bProcessSecurity) + " context=" + context);
  CountRead();
  FileSpec& file = FileBehind(*open);
  std::string stream = file.backupStream ? *file.backupStream
                                         : scripted::ReadContent(file, 0, file.length);
  size_t call = Live().backupCalls++;
  ReadOutcome outcome =
      call < file.backupCalls.size() ? file.backupCalls[call] : ReadOutcome{};
  uint64_t& cursor = Live().backupCursor;
  uint64_t available = stream.size() - std::min<uint64_t>(cursor, stream.size());
  uint64_t delivered =
      std::min(Delivered(outcome, available, nNumberOfBytesToRead), available);
  memcpy(lpBuffer, stream.data() + cursor, delivered);
  cursor += delivered;
  if (lpContext != nullptr) *lpContext = kBackupContext;
  return Complete(outcome, delivered, lpNumberOfBytesRead);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
  if (reinterpret_cast<intptr_t>(hFile) == scripted::kStdoutHandle) {
    return scripted::WriteStdout(lpBuffer, nNumberOfBytesToWrite,
                                 lpNumberOfBytesWritten);
  }
  OpenFile* open = FindOpenFile(hFile, "WriteFile");
  if (open == nullptr) return FALSE;
  FileSpec& file = FileBehind(*open);
  bool fails = WriteFails(file, open->offset);
  LogCall("WriteFile " + open->name + " at=" + std::to_string(open->offset) +
          " size=" + std::to_string(nNumberOfBytesToWrite) + (fails ? " failed" : ""));
  if (fails) {
    Live().lastError = file.writeError;
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
    return FALSE;
  }
  if (!scripted::WriteContent(file, open->offset, lpBuffer, nNumberOfBytesToWrite)) {
    scripted::FinishChild(0, "a write at " + std::to_string(open->offset) + " of " +
                                 open->name +
                                 " would spread its content over more than 256 MiB");
  }
  open->offset += nNumberOfBytesToWrite;
  if (lpNumberOfBytesWritten != nullptr)
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
  OpenFile* open = FindOpenFile(hObject, "CloseHandle");
  if (open == nullptr) return FALSE;
  LogCall("CloseHandle " + open->name);
  open->closed = true;
  return TRUE;
}
