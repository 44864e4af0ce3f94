// The result files are written on the way out of the process, whichever way the run
// ends: the final report, ESC, an ending error, a failed open, or the fatal path.
#include "console.h"
#include "exit_code.h"
#include "file_identity.h"
#include "profile.h"
#include "replace_whole.h"
#include "rescue_map.h"
#include "results.h"
#include "run_record.h"

namespace {

bool Dropped = false;  // the run was refused for names that may be these files'

bool Wanted() { return Run.JsonName[0] != '\0' || Run.ChartName[0] != '\0'; }

// A result file that cannot be written is said on the console; the exit code stays
// the run's own.
// A result file that is the input, the output or the map would replace what the run
// read, copied or recorded: it is not written (ERROR_FILE_EXISTS). A run that gets
// this far has been refused for clashing names already, unless it ended before they
// were compared.
void Write(const char* name, const std::string& text) {
  if (name[0] == '\0') return;
  bool clashes = SameFile(name, Run.InputName) ||
                 (Run.OutputEnabled && SameFile(name, Run.OutputName)) ||
                 (RescueMapName()[0] != '\0' && SameFile(name, RescueMapName()));
  if (!clashes && ReplaceWhole(name, text)) return;
  DWORD code = clashes ? ERROR_FILE_EXISTS : GetLastError();
  WriteText("\r\nCannot write result file \"");
  WriteText(name);
  WriteText("\": error ");
  WriteInteger(static_cast<int32_t>(code));
  WriteErrorWords(code);
  WriteLineEnd();
}

void WriteResultFiles(UINT exitCode) {
  if (Dropped) return;
  FinishProfile();
  SYSTEMTIME now;
  GetSystemTime(&now);
  Write(Run.JsonName, JsonResult(exitCode, now));
  Write(Run.ChartName, SvgChart(now));
}

}  // namespace

const char* ExitCodeMeaning(UINT exitCode) {
  switch (exitCode) {
    case kExitWhole:
      return "the input was read whole";
    case kExitFailure:
      return "bad command line, the fatal-error path, or no measurable time";
    case kExitCannotOpen:
      return "the input or the output could not be opened, or the output is no copy";
    case kExitFailedWrite:
      return "the output misses bytes it was given";
    case kExitInputNotWhole:
      return "a block was stepped over, or the copy ends short";
    case kExitInterrupted:
      return "stopped by Ctrl-C";
    case kExitTerminated:
      return "stopped by a request to terminate";
    case kExitHungUp:
      return "stopped as its terminal or console closed";
  }
  return "unknown";
}

void KeepResultsAtExit() {
  if (Wanted()) AddExitHook(WriteResultFiles);
}

void DropResultFiles() { Dropped = true; }

// A rescue that --map names is timed too: its slow requests tell where the medium
// fails, as its failures do.
void ProfileReadsIfWanted() {
  if (Wanted() || RescueMapNamed()) StartProfile(Run.InputSize);
}
