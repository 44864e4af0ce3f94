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

bool NeedsQuotes(const std::string& argument) {
  for (char c : argument) {
    if (static_cast<unsigned char>(c) <= ' ') return true;
  }
  return argument.empty();
}

// The arguments after the program's name, on one line whatever bytes they hold: one
// that is empty or holds a blank is quoted. The name is left out: it is the path the
// program was started by, which differs from one platform to another for the same
// run.
std::string CommandLineText() {
  std::string text = "tavo";
  for (const std::string& argument : ProgramArguments()) {
    bool quoted = NeedsQuotes(argument);
    text += quoted ? " \"" : " ";
    for (char c : argument) {
      unsigned char code = static_cast<unsigned char>(c);
      text += code < 0x20 || code == 0x7F ? '?' : c;
    }
    if (quoted) text += '"';
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
