// A platform for whole runs of tavo in tests. Every Win32 call the program makes is
// answered from a Script (files and media with per-read outcomes, a clock, key
// states, the kind of standard output); what the run leaves behind comes back as a
// RunResult: exit code, stdout writes, stderr, files and the calls made.
#ifndef TAVO_SRC_PLATFORM_SCRIPTED_SCRIPTED_PLATFORM_H_
#define TAVO_SRC_PLATFORM_SCRIPTED_SCRIPTED_PLATFORM_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform.h"

namespace scripted {

// The most bytes a file keeps from its origin on. A write that would need more, such
// as one at offset 0 of a 5 GiB file, stops the run instead of filling memory.
constexpr uint64_t kMaxStoredSpan = 256ull << 20;

// What one ReadFile or BackupRead call does.
struct ReadOutcome {
  bool ok = true;
  DWORD code = 0;       // the last error the call leaves; 0 leaves it as it was
  int64_t bytes = -1;   // bytes delivered; -1: what the medium holds, up to the request
  int64_t micros = -1;  // what the call takes on the fine clock; -1: Script::readMicros
};

// The fine clock's counts per second: Windows' usual 10 MHz, so that times pass
// through a conversion as they do there.
constexpr int64_t kCounterFrequency = 10000000;

// A named file, drive or share: `bytes` placed at `origin`, zeros elsewhere up to
// `length`, so a 5 GiB file costs no memory.
struct FileSpec {
  DWORD sizeError = 0;   // GetFileSize fails with it
  DWORD sectorSize = 0;  // a disk's: ReadFile takes whole sectors only; 0 for a file
  uint64_t length = 0;   // never less than origin + bytes.size()
  uint64_t origin = 0;
  std::string bytes;
  // ReadFile outcomes by offset, one used up per read there; plain reads after them.
  std::map<int64_t, std::vector<ReadOutcome>> reads;
  // BackupRead streams the content, one outcome per call, plain reads after them.
  std::vector<ReadOutcome> backupCalls;
  // WriteFile at these offsets fails with ERROR_DISK_FULL.
  std::vector<int64_t> failingWrites;
  DWORD flushError = 0;  // FlushFileBuffers fails with it
  DWORD closeError = 0;  // CloseHandle fails with it
  // FILE_FLAG_NO_BUFFERING opens fail with ERROR_INVALID_PARAMETER, as on a file
  // system in memory; otherwise a file opened so reads as one read cached.
  bool refusesUncached = false;

  // From offset 0 to the length; "<too large>" beyond kMaxStoredSpan.
  std::string Content() const;
};

// GetAsyncKeyState for one key by query number (query 0 is the one before the loop,
// query n the one after iteration n): byQuery, then 0; or down from heldFrom on.
struct KeyScript {
  std::vector<SHORT> byQuery;
  int heldFrom = -1;
};

struct Script {
  std::string commandLine = "tavo";  // the program's name first, as Windows gives it
  bool console = true;               // stdout is a console, or else redirected
  int stdoutFailsFrom = -1;          // stdout WriteFile calls fail from this index on
  std::map<std::string, FileSpec> files;
  // GetTickCount readings in order; after them each reading adds tickStep to the
  // previous one. Sleep(ms) adds ms.
  std::vector<DWORD> ticks;
  DWORD tickStep = 1000;
  // The fine clock stands still but for reads and pauses: each read moves it on by
  // its outcome's time, or this many microseconds; Sleep(ms) by ms.
  int64_t readMicros = 100;
  KeyScript escape;
  KeyScript space;
  // The console control event that comes during this read (counted from 1), handed
  // to the routine SetConsoleCtrlHandler installed, if any; 0 for none.
  int controlEventAtRead = 0;
  DWORD controlEvent = CTRL_C_EVENT;
};

struct RunResult {
  std::string stopReason;  // why the platform stopped the run itself, if it did
  UINT exitCode = 0;
  std::string out;                        // the stdout bytes that were accepted
  std::string err;                        // the bytes written to stderr
  std::vector<std::string> writes;        // every stdout WriteFile, failed ones too
  std::map<std::string, FileSpec> files;  // as the run left them (content only)
  // Opens, reads and pauses: "CreateFileA in", "ReadFile in at=0 size=512",
  // "BackupRead in", "Sleep 500".
  std::vector<std::string> calls;
};

// In a child process: runs the program against the script, sends the result down
// resultFd when it ends, and ends the process.
[[noreturn]] void RunScripted(const Script& script, int resultFd);

// The result as the child sent it; false when it sent none, or a cut one.
bool DecodeResult(const std::string& wire, RunResult& result);

}  // namespace scripted

#endif  // TAVO_SRC_PLATFORM_SCRIPTED_SCRIPTED_PLATFORM_H_
