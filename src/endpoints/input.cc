// Mapping the input name, opening the input and finding its size.
#include <cstddef>

#include "console.h"
#include "endpoints.h"
#include "file_size.h"
#include "report.h"
#include "run_record.h"

namespace {

void StartClock() {
  Run.StartTick = GetTickCount();
  Run.LastReportTick = Run.StartTick;
}

void AppendCut(char* text, size_t& length, const char* piece) {
  while (*piece != '\0' && length < kMaxName) text[length++] = *piece++;
  text[length] = '\0';
}

}  // namespace

// What a resumed copy is rounded to. A disk reads only whole sectors, so one whose
// sector is a larger multiple of 512 bytes (4096 on many drives) gives its own;
// files, 512-byte disks and inputs that report no geometry (wine's files among them)
// take 512.
int64_t InputSectorSize() {
  constexpr DWORD kSector = 512;
  DISK_GEOMETRY_EX geometry;
  DWORD returned = 0;
  if (Run.Input == INVALID_HANDLE_VALUE ||
      !DeviceIoControl(Run.Input, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0,
                       &geometry, sizeof geometry, &returned, nullptr) ||
      returned < sizeof geometry.Geometry) {
    return kSector;
  }
  DWORD sector = geometry.Geometry.BytesPerSector;
  return sector > kSector && sector % kSector == 0 ? sector : kSector;
}

namespace {

void FailToOpen(DWORD code) {
  // The text before the number is one text of at most 255 bytes.
  char text[kMaxName + 1];
  size_t length = 0;
  AppendCut(text, length, "Cannot open file \"");
  AppendCut(text, length, Run.InputPath);
  AppendCut(text, length, "\": error ");
  WriteText(text);
  WriteInteger(static_cast<int32_t>(code));
  WriteLineEnd();
  ExitWithCode(2);
}

}  // namespace

void OpenInput() {
  MapInputName(Run.InputName, Run.InputPath);
  StartClock();
  SetLastError(0);
  Run.Input = CreateFileA(Run.InputPath, GENERIC_READ,
                          static_cast<DWORD>(Run.NtPlatform) * 4 + 3, nullptr,
                          OPEN_EXISTING, Run.OpenFlags, nullptr);
  DWORD code = GetLastError();
  if (Run.OutputEnabled && Run.ResumeMode) ResumeOutput(InputSectorSize());
  if (Run.Input == INVALID_HANDLE_VALUE) FailToOpen(code);
  Run.InputSize = FileSizeOrZero(Run.Input);
  if (Run.InputSize != 0) WriteByteCountLine("File size: ", Run.InputSize);
  WriteText("Reading... Hit ESC to break");
  WriteLineEnd();
}
