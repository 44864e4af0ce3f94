// A platform for whole runs of tavo in tests. Every Win32 call the program makes is
// answered from a Script that the test sets (files and media with per-block
// outcomes, a clock, key states, the kind of standard output), and what the run
// leaves behind comes back as a RunResult: exit code, stdout bytes, files, calls.
#ifndef TAVO_TESTS_SCRIPTED_SCRIPTED_PLATFORM_H_
#define TAVO_TESTS_SCRIPTED_SCRIPTED_PLATFORM_H_

#include <cstdint>
#include <map>
#include <optional>
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
  DWORD code = 0;  // the last error the call leaves; 0 leaves it as it was
  int64_t bytes =
      -1;  // bytes delivered; -1: what the medium holds there, up to the request
};
ReadOutcome Succeed();
ReadOutcome Short(int64_t bytes);
ReadOutcome Fail(DWORD code, int64_t delivered = 0);
ReadOutcome SucceedLeaving(DWORD code);
std::vector<ReadOutcome> Repeat(const ReadOutcome& outcome, int times);

// A named file, drive or share. Its content is `bytes` placed at `origin`; the
// rest of its `length` reads as zeros, so a 5 GiB file costs no memory.
struct FileSpec {
  bool exists = true;
  DWORD openError = 0;  // CreateFileA fails with it
  DWORD sizeError = 0;  // GetFileSize fails with it
  uint64_t length = 0;  // never less than origin + bytes.size()
  uint64_t origin = 0;
  std::string bytes;
  // ReadFile outcomes by offset, one consumed per read there; plain reads after them.
  std::map<int64_t, std::vector<ReadOutcome>> reads;
  // WriteFile fails with writeError at these offsets, or everywhere when none given.
  DWORD writeError = 0;
  std::vector<int64_t> failingWrites;
  // BackupRead delivers this stream (the content when unset), one outcome per call
  // and plain reads after them, then reads of 0 bytes.
  std::optional<std::string> backupStream;
  std::vector<ReadOutcome> backupCalls;
};
FileSpec FileOf(std::string bytes);
FileSpec AbsentFile();

// n bytes that differ from offset to offset with a period of 251, so a block
// written at the wrong place, or twice, shows.
std::string Pattern(size_t n);

enum class StdoutKind { kConsole, kDisk, kPipe, kUnknownType, kNoHandle };

struct StdoutSpec {
  StdoutKind kind = StdoutKind::kConsole;
  int failFromWrite = -1;  // WriteFile calls on stdout from this index on fail
  DWORD failCode = 232;    // ERROR_NO_DATA: the pipe is being closed
};

// GetAsyncKeyState answers for one key, by query number (query 0 is the one before
// the loop, query n the one of iteration n): byQuery, then 0; or down from heldFrom.
struct KeyScript {
  std::vector<SHORT> byQuery;
  int heldFrom = -1;
};
KeyScript PressedAt(int query);
KeyScript HeldFrom(int query);

struct Script {
  std::string commandLine = "tavo";  // the program's name first, as Windows gives it
  DWORD version = 0x23F00206;        // NT family; bit 31 set means Windows 9x
  StdoutSpec out;
  std::map<std::string, FileSpec> files;
  // GetTickCount readings in order; after them each reading adds tickStep to the
  // previous one, and Sleep(ms) adds ms.
  std::vector<DWORD> ticks;
  DWORD tickStep = 1000;
  KeyScript escape;
  KeyScript space;
  bool allocationFails = false;
  int maxReads = 100000;  // a run that reads more is stopped as a runaway
};

struct FileResult {
  bool exists = false;
  uint64_t length = 0;
  uint64_t origin = 0;
  std::string bytes;
};

struct StdoutWrite {
  std::string bytes;
  bool accepted = true;
};

struct RunResult {
  bool exited = false;     // the program ended through ExitProcess
  std::string stopReason;  // why the platform stopped the run itself, if it did
  UINT exitCode = 0;
  std::string out;  // the stdout bytes that WriteFile accepted
  std::vector<StdoutWrite> stdoutWrites;
  std::map<std::string, FileResult> files;
  std::vector<std::string> calls;  // "ReadFile in at=0 size=512", "Sleep 500", ...

  std::vector<std::string> Calls(const std::string& prefix) const;
  // From offset 0 to the length; files of more than kMaxStoredSpan bytes read "<too
  // large>".
  std::string Content(const std::string& name) const;
};

// Runs the real program against the script in a child process, so that every run
// starts from fresh program state. A child that crashes, hangs or runs away fails
// the current test.
RunResult RunTavo(const Script& script);

}  // namespace scripted

#endif  // TAVO_TESTS_SCRIPTED_SCRIPTED_PLATFORM_H_
