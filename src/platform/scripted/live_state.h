// The scripted platform's state inside the child that runs the program: the script,
// the files as the run changes them, the open handles, and what is recorded.
#ifndef TAVO_SRC_PLATFORM_SCRIPTED_LIVE_STATE_H_
#define TAVO_SRC_PLATFORM_SCRIPTED_LIVE_STATE_H_

#include <cstdint>
#include <map>
#include <string>

#include "scripted_platform.h"

namespace scripted {

constexpr intptr_t kStdoutHandle = 1;
constexpr intptr_t kStdinHandle = 2;
constexpr intptr_t kStderrHandle = 3;
constexpr int kMaxReads = 100000;  // a run that reads more is stopped as a runaway

struct OpenFile {
  std::string name;
  uint64_t offset = 0;
  bool closed = false;
};

struct LiveState {
  Script script;  // its files change as the run writes and creates them
  int resultFd = -1;
  DWORD lastError = 0;
  DWORD clock = 0;
  int64_t counter = 0;  // the fine clock, in kCounterFrequency counts
  size_t ticksTaken = 0;
  std::map<int, int> keyQueries;  // by virtual key
  std::map<intptr_t, OpenFile> handles;
  intptr_t nextHandle = 100;
  size_t backupCalls = 0;
  uint64_t backupCursor = 0;
  int reads = 0;
  PHANDLER_ROUTINE controlRoutine = nullptr;
  RunResult result;
};

LiveState& Live();

void LogCall(const std::string& entry);

// Sends the result to the parent and ends the child; a stop reason fails the test.
[[noreturn]] void FinishChild(UINT exitCode, const std::string& stopReason = "");

// File content: zeros outside the stored bytes, up to the file's length.
std::string ReadContent(const FileSpec& file, uint64_t offset, uint64_t count);
// False, writing nothing, when the file would keep more than kMaxStoredSpan bytes.
bool WriteContent(FileSpec& file, uint64_t offset, const void* data, uint64_t count);

// WriteFile on the standard output handle, and on standard error's.
BOOL WriteStdout(const void* data, DWORD count, LPDWORD written);
BOOL WriteStderr(const void* data, DWORD count, LPDWORD written);

}  // namespace scripted

#endif  // TAVO_SRC_PLATFORM_SCRIPTED_LIVE_STATE_H_
