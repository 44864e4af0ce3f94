// The Progress line, rewritten in place: every 5 s, or at each new tick while SPACE
// is held. It ends without a line end so the next one can overwrite it.
#include "console.h"
#include "run_record.h"
#include "transfer.h"

namespace {

constexpr int32_t kReportIntervalMs = 5000;

// Ticks wrap at 2^32; differences and comparisons are taken as signed 32-bit values.
int32_t TicksSince(uint32_t earlier, uint32_t now) {
  return static_cast<int32_t>(now - earlier);
}

void WritePositionFigures() {
  Real position = static_cast<Real>(Run.Position);
  WriteText("\r");
  WriteText(HexOffset(Run.Position).text);
  WriteText(" - ");
  WriteReal(position * 0x1p-10_real, 0);
  WriteText(" kb - ");
  WriteReal(position * 0x1p-20_real, 1);
}

}  // namespace

bool ProgressDue(uint32_t now, int16_t spaceState) {
  if (spaceState != 0 &&
      static_cast<int32_t>(now) > static_cast<int32_t>(Run.LastReportTick)) {
    return true;
  }
  return TicksSince(Run.LastReportTick, now) > kReportIntervalMs;
}

void ReportProgress(uint32_t now) {
  WritePositionFigures();
  if (static_cast<Real>(Run.InputSize) > 0.0_real) {
    WriteText(" mb - ");
    WriteReal(static_cast<Real>(Run.Position) / Run.InputSize * 100.0_real, 2);
    WriteChar('%');
  } else {
    // Only bytes that reads returned count toward the rate, not skipped blocks.
    Real scale = TicksSince(Run.LastReportTick, now) * 0.001_real * 1024.0_real;
    Real rate = static_cast<Real>(Run.BytesRead - Run.BytesAtLastReport) / scale;
    WriteText(" mb (");
    WriteReal(rate, 1);
    WriteText(" kb/s)      ");
  }
  FlushOutput();
  Run.LastReportTick = now;
  Run.BytesAtLastReport = Run.BytesRead;
}
