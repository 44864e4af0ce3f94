// The totals after the loop: elapsed time, bytes read, four rates, and failed reads.
// An Mb is 2^20 bytes and a Kb 2^10, on the console as in the result files.
#include "console.h"
#include "exit_code.h"
#include "report.h"
#include "rescue_map.h"
#include "run_record.h"

namespace {

// Below this many seconds the figures say more about caches than about the input.
// In extended precision 200 ms * 0.001 lies just below 0.2, so 200 ms still warns.
const Real kMeaningfulSeconds = 0.2_real;
const Real kSecondsPerMs = 0.001_real;
const Real kPerSingleSpeed = 1.0_real / 150.0_real;  // multiples of 150 Kb/s

void WriteElapsedLine(Real seconds) {
  WriteText("\rElapsed time: ");
  WriteReal(seconds, 2);
  WriteText(" seconds                                  ");
  WriteLineEnd();
}

Real Seconds() { return Run.ElapsedMs * kSecondsPerMs; }
Real BytesPerSecond() { return static_cast<Real>(Run.BytesRead) / Seconds(); }

void WriteRateLine() {
  Real bytesPerSecond = BytesPerSecond();
  char mib[kNumberTextMax + 1];
  mib[FormatTransferRate(mib)] = '\0';
  WriteText("Transfer rate: ");
  WriteText(mib);
  WriteText(" Mb/sec = ");
  WriteReal(bytesPerSecond * 0x1p-10_real, 1);
  WriteText(" Kb/sec = ");
  WriteReal(bytesPerSecond * 0x1p-10_real * kPerSingleSpeed, 1);
  WriteText("x = ");
  WriteReal(bytesPerSecond, 0);
  WriteText(" Bytes/sec");
  WriteText("\r\n");
  WriteLineEnd();
}

void WriteErrorLine() {
  WriteText("Total errors encountered: ");
  WriteInteger(Run.ErrorCount);
  WriteText(" (");
  WriteReal(static_cast<Real>(Run.ErrorCount) / Run.ReadCount * 100.0_real, 1);
  WriteText("%)");
  WriteLineEnd();
}

// The map's totals and the request times close the report.
[[noreturn]] void EndReport(UINT exitCode) {
  WriteRescueMapTotals();
  WriteRequestTimesLine();
  ExitWithCode(exitCode);
}

}  // namespace

size_t FormatTransferRate(char* out) {
  if (Seconds() == 0.0_real) return 0;
  return FormatReal(BytesPerSecond() * 0x1p-20_real, 1, out);
}

void WriteFinalReport() {
  if (Run.HadErrors) WriteLineEnd();
  Real seconds = Seconds();
  WriteElapsedLine(seconds);
  WriteByteCountLine("Read: ", Run.BytesRead);
  if (seconds < kMeaningfulSeconds) {
    WriteText("\rFile too small or cached");
    WriteLineEnd();
    // No rate can be formed from no time at all. A copy is judged by what it copied;
    // a run without an output measured nothing.
    if (seconds == 0.0_real) {
      UINT code = CopyExitCode();
      EndReport(code == kExitWhole && !Run.OutputEnabled ? kExitFailure : code);
    }
  }
  WriteRateLine();
  if (Run.ErrorCount > 0) WriteErrorLine();
  EndReport(CopyExitCode());
}
