// Opening or creating the output, and where a resumed copy starts.
#include "console.h"
#include "endpoints.h"
#include "file_size.h"
#include "run_record.h"

namespace {

// The copy resumes at a whole 512-byte sector: a last partial sector may have been
// cut short when the earlier run stopped.
constexpr int64_t kSectorMask = ~static_cast<int64_t>(511);

void ResumeFromOutputLength() {
  Run.ResumeOffset = FileSizeOrZero(Run.Output) & kSectorMask;
  Run.Position = Run.ResumeOffset;
  WriteText("   resume downloading \"");
  WriteText(Run.OutputName);
  WriteText("\" from ");
  WriteText(HexOffset(Run.Position).text);
  WriteText(" (");
  WriteReal(static_cast<long double>(Run.Position), 0);
  WriteChar(')');
  WriteLineEnd();
}

}  // namespace

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
    ResumeFromOutputLength();
  } else {
    WriteText("   writing data to file \"");
    WriteText(Run.OutputName);
    WriteChar('"');
    WriteLineEnd();
  }
}
