// A copy resumed without a map goes on only from where the output is shown to hold
// the input.
#include "resume_check.h"

#include "console.h"
#include "exit_code.h"
#include "rescue_map.h"
#include "run_record.h"
#include "trusted_copy.h"

namespace {

[[noreturn]] void EndAsNotACopy() {
  WriteText("     Output file is not a copy of the input, exiting - /n starts over");
  WriteLineEnd();
  ExitWithCode(kExitCannotOpen);
}

}  // namespace

// Up to where the copy goes on, or up to the input's end when the output is longer:
// beyond it there is nothing to compare. A map read from its file is checked by the
// map itself.
void CheckResume() {
  if (!Run.OutputEnabled || !Run.ResumeMode || Run.BackupMode || Run.Position <= 0 ||
      RescueMapLoaded())
    return;
  int64_t end = Run.Position;
  if (Run.InputSize > 0 && Run.InputSize < end) end = Run.InputSize;
  TrustVerdict verdict = TrustedCopyEnd(0, end, true);
  if (verdict.end < 0) EndAsNotACopy();
  if (verdict.end == end) return;
  Run.Position = Run.ResumeOffset = verdict.end;
  SayCopyGoesOnFrom(Run.Position, verdict.differed);
}
