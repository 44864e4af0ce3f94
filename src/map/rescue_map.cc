// The rescue map of a run: loaded and checked before anything is read, fitted to the
// input, asked for each request and told its outcome, and written out atomically.
#include <cstring>
#include <string>

#include "console.h"
#include "endpoints.h"
#include "file_size.h"
#include "map_areas.h"
#include "map_files.h"
#include "rescue_map.h"
#include "run_record.h"

using rescue::AreaList;

namespace {

constexpr int32_t kSaveIntervalMs = 5000;

struct MapState {
  bool active = false;
  bool loaded = false;  // a map file was read; otherwise this run starts a new one
  char name[kMaxName + 1] = {};
  rescue::ParsedMap file;
  AreaList areas;
  int64_t end = 0;  // what the file covers: the input's size, or where reading got
  bool sizeKnown = true;
  rescue::PassPlan plan = {};
  int64_t requestOffset = 0;
  int64_t requestSize = 0;
  bool unflushed = false;  // blocks read since the output was last flushed
  uint32_t lastSaveTick = 0;
  std::string startTime;
};
MapState Map;

[[noreturn]] void RefuseMap(int line, const std::string& reason) {
  std::string text = "     Bad map file \"" + std::string(Map.name) + "\", line " +
                     std::to_string(line) + ": " + reason + ", exiting";
  WriteText(text.c_str());
  WriteLineEnd();
  ExitWithCode(2);
}

std::string Hex(int64_t value) { return HexOffset(value).text; }

// A map made by an earlier run fits only the input it was made of; and the output
// must hold every byte that the map calls rescued.
void CheckLoadedMap() {
  const rescue::ParsedMap& file = Map.file;
  int line = file.lastAreaLine != 0 ? file.lastAreaLine : file.statusLine;
  if (Map.sizeKnown && file.extent != Run.InputSize)
    RefuseMap(line, "the map covers " + Hex(file.extent) + " bytes, the input " +
                        Hex(Run.InputSize));
  int64_t outputLength = FileSizeOrZero(Run.Output);
  for (const rescue::Area& area : file.areas) {
    if (area.status == rescue::kRescued && area.end() > outputLength)
      RefuseMap(line, "areas rescued up to " + Hex(area.end()) + ", the output holds " +
                          Hex(outputLength));
  }
}

// A new map: the part of the output below the resume offset is what an earlier run
// copied; the rest is to be read.
void StartNewMap() {
  int64_t end = Map.sizeKnown ? Run.InputSize : rescue::kOpenEnd;
  int64_t done = Map.sizeKnown ? std::min(Run.Position, end) : Run.Position;
  if (done > 0) Map.areas.push_back({0, done, rescue::kRescued});
  if (end > done) Map.areas.push_back({done, end - done, rescue::kNonTried});
  Map.end = Map.sizeKnown ? end : done;
}

void UseLoadedMap() {
  CheckLoadedMap();
  Map.areas = Map.file.areas;
  Map.end = Map.file.extent;
  // An input of unknown size may go on beyond where the map ends.
  if (!Map.sizeKnown && Map.end < rescue::kOpenEnd) {
    Map.areas.push_back({Map.end, rescue::kOpenEnd - Map.end, rescue::kNonTried});
    rescue::MergeNeighbours(Map.areas);
  }
}

void WriteTotalsLine(const char* lead) {
  rescue::Totals totals = rescue::Count(Map.areas, Map.end);
  const char* kNames[] = {"rescued", "non-tried", "non-trimmed", "non-scraped",
                          "bad-sector"};
  std::string text = lead + std::string(Map.name) + "\":";
  for (int i = 0; i < 5; ++i) {
    text += std::string(i == 0 ? " " : ", ") + kNames[i] + " " +
            std::to_string(totals.bytes[i]) + " in " + std::to_string(totals.areas[i]);
  }
  WriteText(text.c_str());
  WriteLineEnd();
}

// The areas now read; false when the output could not be flushed, so that the map
// may not call them rescued yet.
bool FlushReadAreas() {
  if (!Map.unflushed) return true;
  SetLastError(0);
  // A pipe or NUL keeps nothing that a flush could save.
  if (GetFileType(Run.Output) == FILE_TYPE_DISK && !FlushFileBuffers(Run.Output)) {
    ReportMapFailure("Write error: ", GetLastError());
    return false;
  }
  for (rescue::Area& area : Map.areas) {
    if (area.status == rescue::kUnflushed) area.status = rescue::kRescuedNow;
  }
  rescue::MergeNeighbours(Map.areas);
  Map.unflushed = false;
  return true;
}

}  // namespace

void SetRescueMapName(const char* name) {
  Map.active = true;
  strcpy(Map.name, name);
}

bool RescueMapActive() { return Map.active; }

bool RescueMapLoaded() { return Map.loaded; }

void LoadRescueMap() {
  if (!Map.active) return;
  Map.startTime = LocalTimeText();
  if (!Run.ResumeMode) return;  // "/n" starts a new map
  rescue::MapFault fault;
  MapLoad load = LoadMapFile(Map.name, Map.file, fault);
  if (load == MapLoad::kRefused) RefuseMap(fault.line, fault.reason);
  Map.loaded = load == MapLoad::kLoaded;
}

void FitRescueMap() {
  if (!Map.active) return;
  // A size query that failed gives 0; such an input is mapped up to where reading
  // got, as an input that is really empty is.
  Map.sizeKnown = Run.InputSize > 0;
  if (Map.loaded) {
    UseLoadedMap();
  } else {
    StartNewMap();
  }
  Map.plan = {Run.BufferSize, Run.InputSector, 0, 0};
  Map.lastSaveTick = Run.StartTick;
  WriteTotalsLine("   map \"");
}

bool NextRescueRequest(int64_t& offset, int32_t& size) {
  int64_t length = 0;
  if (!rescue::NextRequest(Map.areas, Map.plan, offset, length)) return false;
  size = static_cast<int32_t>(length);
  Map.requestOffset = offset;
  Map.requestSize = length;
  return true;
}

void TakeRescueOutcome(BOOL ok, int32_t bytes, bool written, bool endingCode) {
  int64_t offset = Map.requestOffset, size = Map.requestSize;
  if (!Map.sizeKnown) Map.end = std::max(Map.end, offset + (ok ? bytes : size));
  if (ok && written && bytes > 0) {
    rescue::SetStatus(Map.areas, offset, bytes, rescue::kUnflushed);
    Map.unflushed = true;
  }
  if (!ok && !endingCode) {
    char failed = size > Map.plan.sectorSize ? rescue::kNonTrimmed : rescue::kBadNow;
    rescue::SetStatus(Map.areas, offset, size, failed);
  }
  bool shortRead = ok && bytes < size;
  if (shortRead && !Map.sizeKnown) {
    // The input's real end: nothing lies beyond it, and the pass goes on with the
    // failed areas.
    rescue::CutAt(Map.areas, offset + bytes);
    Map.end = offset + bytes;
  } else if (shortRead || endingCode) {
    rescue::TakeBackBefore(Map.areas, offset + (ok ? bytes : 0));
    Map.plan.phase = 3;
  }
}

void SaveRescueMap(uint32_t now, bool final) {
  if (!Map.active) return;
  if (!final && static_cast<int32_t>(now - Map.lastSaveTick) <= kSaveIntervalMs) return;
  Map.lastSaveTick = now;
  FlushReadAreas();
  std::string heading = MapHeading(Map.startTime);
  WriteMapFile(Map.name, rescue::FormatMap(heading, Map.areas, Map.end));
}

void WriteRescueMapTotals() {
  if (Map.active) WriteTotalsLine("Map \"");
}

bool RescueMapComplete() {
  rescue::Totals totals = rescue::Count(Map.areas, Map.end);
  return totals.bytes[0] == Map.end;
}
