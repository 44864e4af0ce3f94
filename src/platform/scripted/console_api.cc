// Standard handles, the console's type, its input buffer and the two keys.
#include "live_state.h"

using scripted::kStderrHandle;
using scripted::kStdinHandle;
using scripted::kStdoutHandle;
using scripted::Live;

// The script's keys need no terminal.
void PrepareConsole() {}

HANDLE GetStdHandle(DWORD nStdHandle) {
  if (nStdHandle == STD_INPUT_HANDLE) return reinterpret_cast<HANDLE>(kStdinHandle);
  if (nStdHandle == STD_ERROR_HANDLE) return reinterpret_cast<HANDLE>(kStderrHandle);
  return reinterpret_cast<HANDLE>(kStdoutHandle);
}

// Standard output is a console or a file, as the script says; every other handle is
// a file's.
DWORD GetFileType(HANDLE hFile) {
  bool console =
      reinterpret_cast<intptr_t>(hFile) == kStdoutHandle && Live().script.console;
  return console ? FILE_TYPE_CHAR : FILE_TYPE_DISK;
}

BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
  return reinterpret_cast<intptr_t>(hConsoleInput) == kStdinHandle;
}

SHORT GetAsyncKeyState(int vKey) {
  const scripted::Script& script = Live().script;
  const scripted::KeyScript& key = vKey == VK_ESCAPE ? script.escape : script.space;
  int query = Live().keyQueries[vKey]++;
  if (key.heldFrom >= 0 && query >= key.heldFrom) return static_cast<SHORT>(0x8000);
  if (query < static_cast<int>(key.byQuery.size())) return key.byQuery[query];
  return 0;
}

namespace scripted {

BOOL WriteStdout(const void* data, DWORD count, LPDWORD written) {
  LiveState& live = Live();
  int index = static_cast<int>(live.result.writes.size());
  live.result.writes.emplace_back(static_cast<const char*>(data), count);
  if (live.script.stdoutFailsFrom >= 0 && index >= live.script.stdoutFailsFrom) {
    live.lastError = ERROR_NO_DATA;  // the pipe is being closed
    if (written != nullptr) *written = 0;
    return FALSE;
  }
  live.result.out += live.result.writes.back();
  if (written != nullptr) *written = count;
  return TRUE;
}

BOOL WriteStderr(const void* data, DWORD count, LPDWORD written) {
  Live().result.err.append(static_cast<const char*>(data), count);
  if (written != nullptr) *written = count;
  return TRUE;
}

}  // namespace scripted

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
  scripted::LogCall(Add ? "SetConsoleCtrlHandler add" : "SetConsoleCtrlHandler remove");
  Live().controlRoutine = Add ? HandlerRoutine : nullptr;
  return TRUE;
}
