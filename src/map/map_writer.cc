// Writing a map file's text: the heading, the status line, and the areas in
// hexadecimal with neighbours that the file shows alike merged. Lines end in LF on
// every platform, so every program writes the same bytes.
#include <cinttypes>
#include <cstdio>

#include "map_areas.h"

namespace rescue {

namespace {

void AppendArea(std::string& text, int64_t pos, int64_t size, char status) {
  char line[64];
  snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", pos, size,
           status);
  text += line;
}

// What a run with this map does next: the first non-tried area, else the first
// failed one to narrow, else the first bad sector; finished when the map is all '+'.
void AppendStatusLine(std::string& text, const AreaList& areas, int64_t end) {
  const char kOrder[] = {kNonTried, kNonTrimmed, kBadSector};
  int64_t pos = end;
  char stage = kRescued;
  for (char wanted : kOrder) {
    for (const Area& area : areas) {
      char status = FileStatus(area.status);
      if (area.pos >= end || stage != kRescued) break;
      if (status == wanted || (wanted == kNonTrimmed && status == kNonScraped)) {
        pos = area.pos;
        stage = wanted;
      }
    }
  }
  char line[128];
  snprintf(line, sizeof line,
           "# current_pos  current_status  current_pass\n0x%08" PRIX64
           "     %c               1\n",
           pos, stage);
  text += line;
}

}  // namespace

std::string FormatMap(const std::string& heading, const AreaList& areas, int64_t end) {
  std::string text = heading;
  AppendStatusLine(text, areas, end);
  text += "#      pos        size  status\n";
  int64_t pos = 0, size = 0;
  char status = 0;
  for (const Area& area : areas) {
    if (area.pos >= end) break;
    char shown = FileStatus(area.status);
    int64_t length = std::min(area.end(), end) - area.pos;
    if (shown == status) {
      size += length;
      continue;
    }
    if (size > 0) AppendArea(text, pos, size, status);
    pos = area.pos, size = length, status = shown;
  }
  if (size > 0) AppendArea(text, pos, size, status);
  return text;
}

}  // namespace rescue
