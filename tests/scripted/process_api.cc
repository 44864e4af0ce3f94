// Errors, clock, version, command line, memory and process end, as the script says.
#include <cstdlib>
#include <cstring>

#include "live_state.h"

using scripted::Live;
using scripted::LogCall;

void SetLastError(DWORD dwErrCode) { Live().lastError = dwErrCode; }

DWORD GetLastError() { return Live().lastError; }

DWORD GetTickCount() {
  LogCall("GetTickCount");
  scripted::LiveState& live = Live();
  if (live.ticksTaken < live.script.ticks.size()) {
    live.clock = live.script.ticks[live.ticksTaken++];
  } else {
    live.clock += live.script.tickStep;
  }
  return live.clock;
}

void Sleep(DWORD dwMilliseconds) {
  LogCall("Sleep " + std::to_string(dwMilliseconds));
  Live().clock += dwMilliseconds;
}

DWORD GetVersion() { return Live().script.version; }

LPSTR GetCommandLineA() { return &Live().script.commandLine[0]; }

void ExitProcess(UINT uExitCode) { scripted::FinishChild(uExitCode); }

// Like VirtualAlloc's committed pages: zero-filled and page-aligned. Never freed;
// the child ends with the run.
LPVOID VirtualAlloc(LPVOID, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
  LogCall("VirtualAlloc size=" + std::to_string(dwSize) + " type=" +
          std::to_string(flAllocationType) + " protect=" + std::to_string(flProtect));
  if (Live().script.allocationFails || dwSize == 0) {
    Live().lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  constexpr size_t kPage = 4096;
  size_t rounded = (dwSize + kPage - 1) / kPage * kPage;
  void* block = aligned_alloc(kPage, rounded);
  if (block != nullptr) memset(block, 0, rounded);
  return block;
}
