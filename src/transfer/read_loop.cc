// The read loop: one request of BufferSize bytes per iteration, failures counted and
// stepped over, a device that is not ready asked again every 500 ms.
#include <atomic>
#include <cstring>

#include "console.h"
#include "exit_code.h"
#include "profile.h"
#include "read_at.h"
#include "read_plan.h"
#include "rescue_map.h"
#include "run_record.h"
#include "transfer.h"

namespace {

constexpr DWORD kRetryPauseMs = 500;

// The current request's bytes: BufferSize unless a map chose fewer. It starts at
// Position.
int32_t requestSize = 0;

// Where each endpoint's file pointer stands after its last transfer that succeeded,
// or -1 when that is not known (a failed transfer may leave it anywhere). A request
// that starts there needs no seek, which on Windows is a call into the kernel.
int64_t inputAt = -1;
int64_t outputAt = -1;

// The tick at which the keys were last asked.
uint32_t keysTick = 0;

// The longest a console stop waits for the request under way.
constexpr DWORD kStopGraceMs = 500;
std::atomic<bool> stopTaken{false};  // the loop has seen the stop and is saving

void WriteReadLine(BOOL ok, DWORD code, bool withCode) {
  WriteText("Read: ");
  WriteBoolean(ok != 0);
  WriteChar('\t');
  WriteInteger(Run.LastReadBytes);
  if (withCode) {
    WriteText(" gle ");
    WriteInteger(static_cast<int32_t>(code));
  }
  WriteBlockLineEnd();
}

BOOL ReadAtPosition() {
  if (inputAt != Run.Position) SeekTo(Run.Input, Run.Position);
  SetLastError(0);
  DWORD count;  // ReadFile sets it before anything else, also to fail
  BOOL ok =
      ReadFile(Run.Input, ReadBuffer, static_cast<DWORD>(requestSize), &count, nullptr);
  Run.LastReadBytes = static_cast<int32_t>(count);
  inputAt = ok ? Run.Position + count : -1;
  DWORD code = GetLastError();
  // A failed read may leave an earlier block's bytes behind what it delivered; an
  // ERROR_CRC block goes to the output, and must not carry them there.
  if (!ok && count < static_cast<DWORD>(requestSize)) {
    memset(ReadBuffer + count, 0, requestSize - count);
  }
  if (Run.EndlessMode) WriteReadLine(ok, code, true);
  return ok;
}

// The backup stream continues where the previous call left it; Position serves only
// the output and the messages.
BOOL ReadBackupStream() {
  memset(ReadBuffer, Run.FillByte, Run.BufferSize);
  SetLastError(0);
  DWORD count = 0;
  BOOL ok = BackupRead(Run.Input, ReadBuffer, static_cast<DWORD>(Run.BufferSize),
                       &count, FALSE, FALSE, &Run.BackupContext);
  Run.LastReadBytes = static_cast<int32_t>(count);
  WriteReadLine(ok, 0, false);
  if (Run.LastReadBytes == 0) {
    // The end of the stream: the pre-filled block still goes out whole.
    Run.StopRequested = true;
    Run.LastReadBytes = Run.BufferSize;
  }
  return ok;
}

// A failed block is missing from what was read unless it is asked for again.
void ReportFailedRead(DWORD code) {
  Run.HadErrors = true;
  ++Run.ErrorCount;
  if (code != ERROR_NOT_READY) Run.InputIncomplete = true;
  WriteText("\r\n");
  WriteText(HexOffset(Run.Position).text);
  WriteText(": Read error ");
  WriteText(HexWord(static_cast<uint16_t>(Run.LastReadBytes)).text);
  WriteText(" bytes read; gle=");
  WriteInteger(static_cast<int32_t>(code));
  WriteLineEnd();
}

void ReportFailedWrite(DWORD code) {
  Run.HadWriteErrors = true;
  WriteText("\r\nWrite error: gle=");
  WriteInteger(static_cast<int32_t>(code));
  WriteLineEnd();
}

// Writing on past a failed write would leave a hole that the same command, run again
// once the cause is gone, resumes beyond. The output ends at the failed block instead,
// and the loop with it.
void StopAtFailedWrite(DWORD code) {
  ReportFailedWrite(code);
  WriteText("\r\n");
  WriteText(HexOffset(Run.Position).text);
  WriteText(": Copy cancelled at the failed write");
  WriteLineEnd();
}

// A block whose read failed with ERROR_CRC is still written: what the device
// delivered of a damaged sector is worth keeping. Other failures leave a gap.
// Returns true when the block is in the output.
bool WriteThrough(BOOL ok, DWORD code) {
  DWORD length = static_cast<DWORD>(Run.LastReadBytes);
  if (!ok) {
    Run.FillByte = code == ERROR_CRC ? '#' : '%';
    length = static_cast<DWORD>(requestSize);
    if (code != ERROR_CRC || !PlanWritesFailedBlocks()) return false;
  }
  if (outputAt != Run.Position) SeekTo(Run.Output, Run.Position);
  DWORD written = 0;
  BOOL wrote = WriteFile(Run.Output, ReadBuffer, length, &written, nullptr);
  outputAt = wrote ? Run.Position + written : -1;
  if (wrote) return true;
  StopAtFailedWrite(GetLastError());
  return false;
}

bool IsEndingCode(DWORD code) {
  return code == ERROR_UNEXP_NET_ERR || code == ERROR_REQUEST_ABORTED ||
         code == ERROR_OPERATION_ABORTED || code == ERROR_INVALID_PARAMETER ||
         code == ERROR_HANDLE_EOF;
}

// What the code a read left asks for: an ending code ends the run, ERROR_NOT_READY
// has the request made again. Returns true when it ends the run.
bool TakeReadCode(DWORD code) {
  if (code == ERROR_NOT_READY) Run.Retrying = true;
  if (!IsEndingCode(code)) return false;
  WriteText("\r\nAn unexpected error ");
  WriteInteger(static_cast<int32_t>(code));
  WriteErrorWords(code);
  WriteText(" occurred. Read cancelled");
  WriteLineEnd();
  Run.StopRequested = true;
  Run.InputIncomplete = true;
  return true;
}

// An input whose reads end before the size it gave at open was cut short: by a
// server that went away, the network, or another program.
void CheckEndAgainstSize(int64_t end) {
  if (Run.InputSize <= 0 || end >= Run.InputSize) return;
  Run.InputIncomplete = true;
  WriteText("\r\n");
  WriteText(HexOffset(end).text);
  WriteText(": Input ended short of its size ");
  WriteText(HexOffset(Run.InputSize).text);
  WriteLineEnd();
}

// A device that was not ready is asked the same request again after a pause.
void AdvanceOrWait(DWORD code) {
  if (code == ERROR_NOT_READY) {
    WriteText("    Retrying...");
    FlushOutput();
    Sleep(kRetryPauseMs);
    Run.Retrying = false;
    return;
  }
  Run.BytesRead += Run.LastReadBytes;
  Run.Position += Run.BufferSize;
}

// ESC before the end of a copy of a sized input leaves the copy short. A run without an
// output, or one that reads on past the end until ESC, is whole when ESC ends it.
bool CopyCutShort() {
  return Run.OutputEnabled && !Run.EndlessMode && Run.InputSize > 0 &&
         Run.Position < Run.InputSize;
}

// A stop that the console asked for (Ctrl-C, a closed console, a request to end) ends
// the run before its next request, as ESC would, but without the final report.
bool StopAsked() { return Run.StopSignal != 0; }

// A read that succeeded with less than it asked for met the end of the input. The
// loop ends there: not in endless mode, and not where the map's pass, which reads on
// in its other areas, ends it.
void TakeShortRead() {
  if (!Run.BackupMode && !Run.EndlessMode)
    CheckEndAgainstSize(Run.Position + Run.LastReadBytes);
  if (!Run.EndlessMode && !PlanEndsTheLoop()) Run.StopRequested = true;
}

// ESC, or a stop the console asked for, ends the loop where it stands.
bool EndsHere() {
  if (CopyCutShort()) Run.InputIncomplete = true;
  return true;
}

bool TakeStop() {
  stopTaken = true;
  return EndsHere();
}

// ESC is the last key asked in a tick, which it marks as asked; true when ESC is down.
bool AskEscape(uint32_t now) {
  keysTick = now;
  return GetAsyncKeyState(VK_ESCAPE) != 0;
}

// A request that asked for the loop to end (an ending code, the end of the input or
// of the backup stream) or failed to write ends it; in endless mode, which reads on
// past the end and through every error, only a failed write does.
bool EndsTheLoop() {
  if (!Run.EndlessMode) return true;
  Run.StopRequested = false;
  return Run.HadWriteErrors;
}

// One iteration; returns true when the loop ends after it. What is rare (a failure,
// an error code, the end of the input) is looked at only once the read says so.
bool ReadOneBlock() {
  uint32_t now = GetTickCount();
  PlanStartRequest();
  // Within one tick nothing that the keys ask for can change: SPACE asks for a line
  // per new tick, the interval is counted in ticks, and a key stays down for many.
  // Small reads make thousands of requests a tick, and ask the keys once.
  if (now != keysTick && ProgressDue(now, GetAsyncKeyState(VK_SPACE)))
    ReportProgress(now);
  if (StopAsked()) return TakeStop();
  if (!PlanNextRequest(requestSize)) return true;
  BOOL ok = Run.BackupMode ? ReadBackupStream() : ReadAtPosition();
  DWORD code = GetLastError();
  ++Run.ReadCount;
  if (!ok) ReportFailedRead(code);
  bool written = Run.OutputEnabled && WriteThrough(ok, code);
  bool ending = code != 0 && TakeReadCode(code);
  if (ok && Run.LastReadBytes < requestSize) TakeShortRead();
  if (PlanHearsOutcomes())
    PlanTakeOutcome(requestSize, {ok, code, written, ending, now});
  AdvanceOrWait(code);
  if (now != keysTick && AskEscape(now)) return EndsHere();
  return (Run.StopRequested || Run.HadWriteErrors) && EndsTheLoop();
}

// What the output keeps is what tavo says it kept: everything the medium has not
// taken yet is lost to a power cut, and a write error that the medium reports late is
// a failed write all the same. A pipe, a console or NUL keeps nothing to flush. A map
// has flushed the output before its last word, and a second flush would prove
// nothing: Linux reports a writeback error once.
void FlushAndCloseOutput() {
  SetLastError(0);
  if (!Run.MapKept && GetFileType(Run.Output) == FILE_TYPE_DISK &&
      !FlushFileBuffers(Run.Output))
    ReportFailedWrite(GetLastError());
  // A network file system reports a write it deferred when the file is closed.
  SetLastError(0);
  if (!CloseHandle(Run.Output)) ReportFailedWrite(GetLastError());
}

void CloseAndMeasure() {
  // The map's last word, however the loop ended; it flushes the output, so it comes
  // before the output is closed.
  SaveRescueMapAtEnd();
  if (Run.BackupMode) {
    DWORD ignored = 0;
    BackupRead(Run.Input, nullptr, 0, &ignored, TRUE, FALSE, &Run.BackupContext);
  }
  CloseHandle(Run.Input);
  if (Run.OutputEnabled) FlushAndCloseOutput();
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  Run.ElapsedMs = static_cast<int32_t>(GetTickCount() - Run.StartTick);
}

// Runs beside the program, in a thread of its own, so that the loop goes on to its
// next request and stops there. A read that hangs keeps it from getting there: past
// the grace the system ends the process as it would without the routine, the map's
// last save standing. A stop the loop has taken is waited for until the process ends.
BOOL WINAPI StopAtNextRequest(DWORD event) {
  if (Run.StopSignal != 0) return FALSE;  // a second event ends the process at once
  bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  Run.StopSignal = static_cast<int32_t>(interrupt                   ? kExitInterrupted
                                        : event == CTRL_CLOSE_EVENT ? kExitHungUp
                                                                    : kExitTerminated);
  for (DWORD waited = 0; waited < kStopGraceMs && !stopTaken; waited += 10) Sleep(10);
  while (stopTaken) Sleep(1000);
  return FALSE;
}

// A run that keeps records (a map, result files) stops between requests when the
// console asks it to end, so that it can save them; any other run ends at once.
bool KeepsRecords() {
  return Run.MapKept || Run.JsonName[0] != '\0' || Run.ChartName[0] != '\0';
}

}  // namespace

void RunReadLoop() {
  WriteText("Reading... Hit ESC to break");
  WriteLineEnd();
  // A key pressed before the loop must not count: these queries clear the
  // pressed-since-last-query report.
  GetAsyncKeyState(VK_ESCAPE);
  GetAsyncKeyState(VK_SPACE);
  Run.BackupContext = nullptr;
  requestSize = Run.BufferSize;
  inputAt = outputAt = -1;
  // As if asked in the start's tick: the queries above have just cleared the keys, and
  // no Progress line is due at the start.
  keysTick = Run.StartTick;
  StartPlan();
  bool stoppable = KeepsRecords() && SetConsoleCtrlHandler(StopAtNextRequest, TRUE);
  while (!ReadOneBlock()) {
  }
  if (stoppable) SetConsoleCtrlHandler(StopAtNextRequest, FALSE);
  FinishProfile();
  CloseAndMeasure();
}
