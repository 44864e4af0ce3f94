// Standard handles, the console's type, its input buffer and the two keys.
#include "live_state.h"

using scripted::kStdinHandle;
using scripted::kStdoutHandle;
using scripted::Live;
using scripted::LogCall;
using scripted::StdoutKind;

HANDLE GetStdHandle(DWORD nStdHandle) {
  if (nStdHandle == STD_INPUT_HANDLE) return reinterpret_cast<HANDLE>(kStdinHandle);
  if (nStdHandle != STD_OUTPUT_HANDLE) {
    LogCall("GetStdHandle unexpected " + std::to_string(nStdHandle));
    return INVALID_HANDLE_VALUE;
  }
  if (Live().script.out.kind == StdoutKind::kNoHandle) {
    Live().lastError = ERROR_INVALID_HANDLE;
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(kStdoutHandle);
}

// FILE_TYPE_UNKNOWN comes with no error code, as it does for a handle of no known kind.
DWORD GetFileType(HANDLE hFile) {
  if (reinterpret_cast<intptr_t>(hFile) != kStdoutHandle) return FILE_TYPE_DISK;
  switch (Live().script.out.kind) {
    case StdoutKind::kConsole:
      return FILE_TYPE_CHAR;
    case StdoutKind::kDisk:
      return FILE_TYPE_DISK;
    case StdoutKind::kPipe:
      return FILE_TYPE_PIPE;
    default:
      return FILE_TYPE_UNKNOWN;
  }
}

BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
  bool console = reinterpret_cast<intptr_t>(hConsoleInput) == kStdinHandle;
  LogCall(console ? "FlushConsoleInputBuffer" : "FlushConsoleInputBuffer wrong-handle");
  return console;
}

SHORT GetAsyncKeyState(int vKey) {
  const scripted::Script& script = Live().script;
  if (vKey != VK_ESCAPE && vKey != VK_SPACE) {
    LogCall("GetAsyncKeyState unexpected " + std::to_string(vKey));
    return 0;
  }
  const scripted::KeyScript& key = vKey == VK_ESCAPE ? script.escape : script.space;
  int query = Live().keyQueries[vKey]++;
  if (key.heldFrom >= 0 && query >= key.heldFrom) return static_cast<SHORT>(0x8000);
  if (query < static_cast<int>(key.byQuery.size())) return key.byQuery[query];
  return 0;
}

namespace scripted {

// Records every stdout write, failed ones too, so tests see what the program tried.
BOOL WriteStdout(const void* data, DWORD count, LPDWORD written) {
  LiveState& live = Live();
  int index = static_cast<int>(live.result.stdoutWrites.size());
  const StdoutSpec& spec = live.script.out;
  bool accepted = spec.failFromWrite < 0 || index < spec.failFromWrite;
  std::string bytes(static_cast<const char*>(data), count);
  live.result.stdoutWrites.push_back({bytes, accepted});
  if (!accepted) {
    live.lastError = spec.failCode;
    if (written != nullptr) *written = 0;
    return FALSE;
  }
  live.result.out += bytes;
  if (written != nullptr) *written = count;
  return TRUE;
}

}  // namespace scripted
