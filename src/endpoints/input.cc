// Mapping the input name, opening the input and finding its size.
#include <cstddef>

#include "console.h"
#include "endpoints.h"
#include "exit_code.h"
#include "file_size.h"
#include "report.h"
#include "run_record.h"

namespace {

DWORD OpenError = 0;  // the last error the input's open left

void StartClock() {
  Run.StartTick = GetTickCount();
  Run.LastReportTick = Run.StartTick;
}

void AppendCut(char* text, size_t& length, const char* piece) {
  while (*piece != '\0' && length < kMaxName) text[length++] = *piece++;
  text[length] = '\0';
}

// What is read uncached reads only whole sectors, so an input whose sector is a larger
// multiple of 512 bytes (4096 on many drives) gives its own; files read through the
// cache, 512-byte disks and inputs that report no geometry (wine's files among them)
// take 512.
int64_t SectorOfInput() {
  constexpr int64_t kSector = 512;
  int64_t sector = InputSectorSize();
  return sector > kSector && sector % kSector == 0 ? sector : kSector;
}

void FailToOpen(DWORD code) {
  // The text before the number is one text of at most 255 bytes.
  char text[kMaxName + 1];
  size_t length = 0;
  AppendCut(text, length, "Cannot open file \"");
  AppendCut(text, length, ShownName(Run.InputPath).c_str());
  AppendCut(text, length, "\": error ");
  WriteText(text);
  WriteInteger(static_cast<int32_t>(code));
  WriteErrorWords(code);
  WriteLineEnd();
  RemoveCreatedOutput();
  ExitWithCode(kExitCannotOpen);
}

}  // namespace

void OpenInput() {
  MapInputName(Run.InputName, Run.InputPath);
  StartClock();
  Run.Input = OpenInputHandle(&OpenError);
  Run.InputSector = SectorOfInput();
}

void SizeInput() {
  if (Run.Input == INVALID_HANDLE_VALUE) FailToOpen(OpenError);
  Run.InputSize = FileSizeOrZero(Run.Input);
  if (Run.InputSize != 0) WriteByteCountLine("File size: ", Run.InputSize);
}
