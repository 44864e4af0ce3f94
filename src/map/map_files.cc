// The map file on disk: read whole, written beside it and renamed over it; and the
// heading that names the program, the command line and the times.
#include "map_files.h"
#include "app.h"
#include "console.h"
#include "date_text.h"
#include "replace_file.h"
#include "run_record.h"

namespace {

constexpr DWORD kChunk = 65536;

bool Fail(DWORD& code) {
  code = GetLastError();
  return false;
}

// The command line after the program's name, on one line whatever bytes the names
// hold. The name is left out: it is the path the program was started by, which
// differs from one platform to another for the same run.
std::string CommandLineText() {
  const char* cursor = GetCommandLineA();
  char name[kMaxName + 1];
  size_t length = 0;
  NextArgument(cursor, name, sizeof name, length);
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
  std::string text = "tavo";
  if (*cursor != '\0') text += ' ';
  for (; *cursor != '\0'; ++cursor) {
    unsigned char c = static_cast<unsigned char>(*cursor);
    text += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
  }
  return text;
}

}  // namespace

bool ReadMapFile(const char* name, std::string& text, DWORD& code) {
  SetLastError(0);
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(code);
  std::string chunk(kChunk, '\0');
  for (;;) {
    DWORD count = 0;
    SetLastError(0);
    if (!ReadFile(file, &chunk[0], kChunk, &count, nullptr)) {
      Fail(code);
      CloseHandle(file);
      return false;
    }
    if (count == 0) break;
    text.append(chunk.data(), count);
  }
  CloseHandle(file);
  return true;
}

void ReportMapFailure(const char* what, DWORD code) {
  Run.HadWriteErrors = true;
  WriteText("\r\n");
  WriteText(what);
  WriteText("gle=");
  WriteInteger(static_cast<int32_t>(code));
  WriteLineEnd();
}

void WriteMapFile(const char* name, const std::string& text) {
  if (!ReplaceFile(name, text)) ReportMapFailure("Map write error: ", GetLastError());
}

std::string LocalTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return DateTimeText(now, ' ');
}

std::string MapHeading(const std::string& startTime) {
  return "# Mapfile. Created by tavo version " TAVO_VERSION "\n# Command line: " +
         CommandLineText() + "\n# Start time:   " + startTime +
         "\n# Current time: " + LocalTimeText() + "\n";
}
