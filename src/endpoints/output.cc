// Opening or creating the output, and where a resumed copy starts.
#include "console.h"
#include "endpoints.h"
#include "file_size.h"
#include "run_record.h"

void OpenOutput() {
  if (!Run.OutputEnabled) return;
  SetLastError(0);
  // OPEN_ALWAYS never truncates: the bytes already copied stay in place.
  Run.Output = CreateFileA(Run.OutputName, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD code = GetLastError();
  if (Run.Output == INVALID_HANDLE_VALUE) {
    WriteText("     Unable to create output file, exiting - ");
    WriteInteger(static_cast<int32_t>(code));
    WriteLineEnd();
    ExitWithCode(2);
  }
  if (Run.ResumeMode) {
    Run.OutputLength = FileSizeOrZero(Run.Output);
  } else {
    WriteText("   writing data to file \"");
    WriteText(Run.OutputName);
    WriteChar('"');
    WriteLineEnd();
  }
}

// The copy resumes at a whole sector: a last partial sector may have been cut short
// when the earlier run stopped, and a disk reads whole sectors only.
void ResumeOutput(int64_t sectorSize) {
  Run.ResumeOffset = Run.OutputLength - Run.OutputLength % sectorSize;
  Run.Position = Run.ResumeOffset;
  WriteText("   resume downloading \"");
  WriteText(Run.OutputName);
  WriteText("\" from ");
  WriteText(HexOffset(Run.Position).text);
  WriteText(" (");
  WriteReal(static_cast<Real>(Run.Position), 0);
  WriteChar(')');
  WriteLineEnd();
}
