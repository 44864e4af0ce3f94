// The totals after the loop: elapsed time, bytes read, four rates, and failed reads.
#include "console.h"
#include "exit_code.h"
#include "report.h"
#include "rescue_map.h"
#include "run_record.h"

namespace {

// Below this many seconds the figures say more about caches than about the input.
// In extended precision 200 ms * 0.001 lies just below 0.2, so 200 ms still warns.
constexpr long double kMeaningfulSeconds = 0.2L;
constexpr long double kSecondsPerMs = 0.001L;
constexpr long double kPerSingleSpeed = 1.0L / 150.0L;  // multiples of 150 Kb/s

void WriteElapsedLine(long double seconds) {
  WriteText("\rElapsed time: ");
  WriteReal(seconds, 2);
  WriteText(" seconds                                  ");
  WriteLineEnd();
}

void WriteRateLine(long double bytesPerSecond) {
  WriteText("Transfer rate: ");
  WriteReal(bytesPerSecond * 0x1p-20L, 1);
  WriteText(" Mb/sec = ");
  WriteReal(bytesPerSecond * 0x1p-10L, 1);
  WriteText(" Kb/sec = ");
  WriteReal(bytesPerSecond * 0x1p-10L * kPerSingleSpeed, 1);
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
  WriteReal(static_cast<long double>(Run.ErrorCount) / Run.ReadCount * 100.0L, 1);
  WriteText("%)");
  WriteLineEnd();
}

}  // namespace

void WriteFinalReport() {
  if (Run.HadErrors) WriteLineEnd();
  long double seconds = Run.ElapsedMs * kSecondsPerMs;
  WriteElapsedLine(seconds);
  WriteByteCountLine("Read: ", Run.BytesRead);
  if (seconds < kMeaningfulSeconds) {
    WriteText("\rFile too small or cached");
    WriteLineEnd();
    // No rate can be formed from no time at all. A copy is judged by what it copied;
    // a run without an output measured nothing.
    if (seconds == 0.0L) {
      WriteRescueMapTotals();
      UINT code = CopyExitCode();
      ExitWithCode(code == kExitWhole && !Run.OutputEnabled ? kExitFailure : code);
    }
  }
  WriteRateLine(static_cast<long double>(Run.BytesRead) / seconds);
  if (Run.ErrorCount > 0) WriteErrorLine();
  WriteRescueMapTotals();
  ExitWithCode(CopyExitCode());
}
