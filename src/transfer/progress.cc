// The Progress line, rewritten in place: every 5 s, or at each new tick while SPACE
// is held. It ends without a line end so the next one can overwrite it.
#include "console.h"
#include "rescue_map.h"
#include "run_record.h"
#include "transfer.h"

namespace {

constexpr int32_t kReportIntervalMs = 5000;

// Ticks wrap at 2^32; differences and comparisons are taken as signed 32-bit values.
int32_t TicksSince(uint32_t earlier, uint32_t now) {
  return static_cast<int32_t>(now - earlier);
}

void WritePositionFigures() {
  long double position = static_cast<long double>(Run.Position);
  WriteText("\r");
  WriteText(HexOffset(Run.Position).text);
  WriteText(" - ");
  WriteReal(position * 0x1p-10L, 0);
  WriteText(" kb - ");
  WriteReal(position * 0x1p-20L, 1);
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
  if (static_cast<long double>(Run.InputSize) > 0.0L) {
    WriteText(" mb - ");
    WriteReal(static_cast<long double>(Run.Position) / Run.InputSize * 100.0L, 2);
    WriteChar('%');
  } else {
    // Only bytes that reads returned count toward the rate, not skipped blocks.
    long double scale = TicksSince(Run.LastReportTick, now) * 0.001L * 1024.0L;
    long double rate =
        static_cast<long double>(Run.BytesRead - Run.BytesAtLastReport) / scale;
    WriteText(" mb (");
    WriteReal(rate, 1);
    WriteText(" kb/s)      ");
  }
  FlushOutput();
  Run.LastReportTick = now;
  Run.BytesAtLastReport = Run.BytesRead;
  SaveRescueMap(now, false);
}
