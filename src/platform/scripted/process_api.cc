// Errors, clock, version, command line, memory and process end, as the script says.
#include <cstdlib>
#include <cstring>

#include "live_state.h"

using scripted::Live;

void SetLastError(DWORD dwErrCode) { Live().lastError = dwErrCode; }

DWORD GetLastError() { return Live().lastError; }

DWORD GetTickCount() {
  scripted::LiveState& live = Live();
  if (live.ticksTaken < live.script.ticks.size()) {
    live.clock = live.script.ticks[live.ticksTaken++];
  } else {
    live.clock += live.script.tickStep;
  }
  return live.clock;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
  lpPerformanceCount->QuadPart = Live().counter;
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
  lpFrequency->QuadPart = scripted::kCounterFrequency;
  return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
  scripted::LogCall("Sleep " + std::to_string(dwMilliseconds));
  Live().clock += dwMilliseconds;
  Live().counter += int64_t{dwMilliseconds} * scripted::kCounterFrequency / 1000;
}

// A fixed date, so that what a run writes does not depend on the day.
void GetSystemTime(SYSTEMTIME* lpSystemTime) {
  *lpSystemTime = SYSTEMTIME{2026, 3, 2, 10, 14, 30, 5, 0};
}

// One fixed moment, so that a run's files are the same on every test run.
void GetLocalTime(SYSTEMTIME* lpSystemTime) {
  *lpSystemTime = {2026, 1, 5, 2, 3, 4, 5, 0};
}

DWORD GetVersion() { return 0x23F00206; }  // the NT family

LPSTR GetCommandLineA() { return &Live().script.commandLine[0]; }

// Fixed, so that the names of temporary files are the same on every test run.
DWORD GetCurrentProcessId() { return 42; }

void ExitProcess(UINT uExitCode) { scripted::FinishChild(uExitCode); }

// Like VirtualAlloc's committed pages: zero-filled and page-aligned. Never freed;
// the child ends with the run.
LPVOID VirtualAlloc(LPVOID, SIZE_T dwSize, DWORD, DWORD) {
  constexpr size_t kPage = 4096;
  size_t rounded = (dwSize + kPage - 1) / kPage * kPage;
  void* block = aligned_alloc(kPage, rounded);
  if (block != nullptr) memset(block, 0, rounded);
  return block;
}
