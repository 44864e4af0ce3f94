// Opening or creating the output, and where a resumed copy starts.
#include "console.h"
#include "endpoints.h"
#include "exit_code.h"
#include "file_size.h"
#include "rescue_map.h"
#include "run_record.h"

namespace {

// OPEN_ALWAYS never truncates: the bytes already copied stay in place.
HANDLE CreateOutput(DWORD access) {
  SetLastError(0);
  return CreateFileA(Run.OutputName, access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// On Windows a disk's handle tells nothing of a file; a POSIX layer marks devices.
bool IsDevice(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(file) == FILE_TYPE_DISK &&
         (!GetFileInformationByHandle(file, &info) ||
          (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0);
}

}  // namespace

// Readable too, so that a resume can be checked against the input. An output that
// may be written but not read is still written; its resume goes unchecked.
void OpenOutput() {
  if (!Run.OutputEnabled) return;
  Run.Output = CreateOutput(GENERIC_READ | GENERIC_WRITE);
  DWORD code = GetLastError();
  if (Run.Output == INVALID_HANDLE_VALUE && code == ERROR_ACCESS_DENIED) {
    Run.Output = CreateOutput(GENERIC_WRITE);
    code = GetLastError();
  }
  if (Run.Output == INVALID_HANDLE_VALUE) {
    WriteText("     Unable to create output file, exiting - ");
    WriteInteger(static_cast<int32_t>(code));
    WriteLineEnd();
    ExitWithCode(kExitCannotOpen);
  }
  Run.OutputCreated = code != ERROR_ALREADY_EXISTS;
  Run.OutputIsDevice = IsDevice(Run.Output);
  if (Run.ResumeMode) {
    // A device holds no length of what was copied to it: without a map, its copy
    // starts at 0.
    Run.OutputLength = Run.OutputIsDevice ? 0 : FileSizeOrZero(Run.Output);
  } else {
    WriteText("   writing data to file \"");
    WriteText(Run.OutputName);
    WriteChar('"');
    WriteLineEnd();
  }
}

// The handle is closed first: Windows deletes no file that is open without
// FILE_SHARE_DELETE.
void RemoveCreatedOutput() {
  if (!Run.OutputEnabled || !Run.OutputCreated) return;
  bool empty = FileSizeOrZero(Run.Output) == 0;
  CloseHandle(Run.Output);
  Run.Output = INVALID_HANDLE_VALUE;
  if (empty) DeleteFileA(Run.OutputName);
}

// The copy resumes at a whole sector: a last partial sector may have been cut short
// when the earlier run stopped, and a disk reads whole sectors only. A map read from
// its file says itself where the copy stands.
void ResumeOutput() {
  if (!Run.OutputEnabled || !Run.ResumeMode || RescueMapLoaded()) return;
  Run.ResumeOffset = Run.OutputLength - Run.OutputLength % Run.InputSector;
  Run.Position = Run.ResumeOffset;
  WriteResumeLine();
}

void WriteResumeLine() {
  WriteText("   resume downloading \"");
  WriteText(Run.OutputName);
  WriteText("\" from ");
  WriteText(HexOffset(Run.Position).text);
  WriteText(" (");
  WriteReal(static_cast<Real>(Run.Position), 0);
  WriteChar(')');
  WriteLineEnd();
}
