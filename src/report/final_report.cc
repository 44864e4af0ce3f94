// The totals after the loop: elapsed time, bytes read, four rates, and failed reads.
#include "console.h"
#include "report.h"
#include "run_record.h"

namespace {

// Below this many seconds the figures say more about caches than about the input.
// In extended precision 200 ms * 0.001 lies just below 0.2, so 200 ms still warns.
const Real kMeaningfulSeconds = 0.2_real;
const Real kSecondsPerMs = 0.001_real;
const Real kPerSingleSpeed = 1.0_real / 150.0_real;  // multiples of 150 Kb/s

// A script must not take a damaged copy for a good one: a failed write comes first,
// then an input that was not read whole (the copy has gaps or ends short).
constexpr UINT kExitFailedWrite = 3;
constexpr UINT kExitInputNotWhole = 4;

void WriteElapsedLine(Real seconds) {
  WriteText("\rElapsed time: ");
  WriteReal(seconds, 2);
  WriteText(" seconds                                  ");
  WriteLineEnd();
}

void WriteRateLine(Real bytesPerSecond) {
  WriteText("Transfer rate: ");
  WriteReal(bytesPerSecond * 0x1p-20_real, 1);
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

UINT ExitCodeOfTransfer() {
  if (Run.HadWriteErrors) return kExitFailedWrite;
  if (Run.InputIncomplete) return kExitInputNotWhole;
  return 0;
}

}  // namespace

void WriteFinalReport() {
  if (Run.HadErrors) WriteLineEnd();
  Real seconds = Run.ElapsedMs * kSecondsPerMs;
  WriteElapsedLine(seconds);
  WriteByteCountLine("Read: ", Run.BytesRead);
  if (seconds < kMeaningfulSeconds) {
    WriteText("\rFile too small or cached");
    WriteLineEnd();
    // No rate can be formed from no time at all; a lost block says more than that.
    if (seconds == 0.0_real) {
      UINT code = ExitCodeOfTransfer();
      ExitWithCode(code != 0 ? code : 1);
    }
  }
  WriteRateLine(static_cast<Real>(Run.BytesRead) / seconds);
  if (Run.ErrorCount > 0) WriteErrorLine();
  ExitWithCode(ExitCodeOfTransfer());
}
