// The map file on disk: read in pieces, written beside it and renamed over it; and
// the heading that names the program, the command line and the times.
#include <cstdio>
#include <vector>

#include "app.h"
#include "console.h"
#include "date_text.h"
#include "file_identity.h"
#include "map_files.h"
#include "replace_whole.h"
#include "run_record.h"

namespace {

constexpr DWORD kChunk = 65536;

// A disk answers for its length; a file does not.
bool IsPlainFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  GET_LENGTH_INFORMATION length;
  DWORD returned = 0;
  return !DeviceIoControl(file, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length,
                          sizeof length, &returned, nullptr);
}

// Feeds the parser until the file ends or the map is refused; false with the code
// when a read fails.
bool FeedFile(HANDLE file, rescue::MapParser& parser, bool& parsed, DWORD& code) {
  std::vector<char> chunk(kChunk);
  for (;;) {
    DWORD count = 0;
    SetLastError(0);
    if (!ReadFile(file, chunk.data(), kChunk, &count, nullptr)) {
      code = GetLastError();
      return false;
    }
    if (count == 0) {
      parsed = parser.Finish();
      return true;
    }
    if (!parser.Feed(chunk.data(), count)) {
      parsed = false;
      return true;
    }
  }
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

MapLoad LoadMapFile(const char* name, rescue::ParsedMap& map, rescue::MapFault& fault,
                    std::string& why) {
  why = "not a regular file";
  // Asked before the open, which would wait for a FIFO's writer.
  if (!NamesPlainFile(name)) return MapLoad::kUnreadable;
  SetLastError(0);
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    why = std::to_string(code);
    return code == ERROR_FILE_NOT_FOUND ? MapLoad::kMissing : MapLoad::kUnreadable;
  }
  rescue::MapParser parser;
  bool parsed = false;
  DWORD code = 0;
  bool read = IsPlainFile(file) && FeedFile(file, parser, parsed, code);
  CloseHandle(file);
  if (!read) {
    if (code != 0) why = std::to_string(code);
    return MapLoad::kUnreadable;
  }
  map = parser.map();
  fault = parser.fault();
  return parsed ? MapLoad::kLoaded : MapLoad::kRefused;
}

void ReportMapFailure(const char* what, DWORD code) {
  Run.HadWriteErrors = true;
  WriteText("\r\n");
  WriteText(what);
  WriteText("gle=");
  WriteInteger(static_cast<int32_t>(code));
  WriteLineEnd();
}

bool WriteMapFile(const char* name, const std::string& text) {
  return ReplaceWhole(name, text);
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
