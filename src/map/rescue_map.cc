// The map of a copy: loaded and checked before anything is read, fitted to the input,
// asked for each request and told its outcome, and written out atomically.
#include "rescue_map.h"

#include <cstring>
#include <string>

#include "console.h"
#include "endpoints.h"
#include "exit_code.h"
#include "file_size.h"
#include "map_areas.h"
#include "map_files.h"
#include "pass_plan.h"
#include "resume_check.h"
#include "run_record.h"
#include "trusted_copy.h"

using rescue::AreaList;

namespace {

constexpr int32_t kSaveIntervalMs = 5000;
// A save costs time in proportion to the map, about a microsecond an area to format,
// write and flush: a millisecond more of interval for every 50 areas keeps saving
// within a twentieth of the run, for a map of a million areas a save every 20 s.
constexpr int64_t kAreasPerIntervalMs = 50;
// A rescue skips at most a 64th of the input after a failure: any failing stretch is
// crossed within 64 failed reads past the doubling, and the good data skipped past
// its far end is the first that the backward sweep reads.
constexpr int64_t kSkipCapShare = 64;
// The copy's own map is named after its output; no other program uses the name.
constexpr char kOwnMapSuffix[] = ".tavo-map";
// What the maps this program writes begin with: only those are taken as its own.
constexpr char kOwnHeading[] = "# Mapfile. Created by tavo version ";

struct MapState {
  bool named = false;    // --map names it; otherwise it is the copy's own
  bool active = false;   // a map is kept of this copy
  bool loaded = false;   // read from its file; otherwise this run starts a new one
  bool foreign = false;  // the own map's name holds a file this program did not write
  bool fitted = false;   // the areas cover the input: there is something to save
  bool savedAtEnd = false;
  std::string name;
  std::string ownTakenOver;  // the copy's own map, which the named one replaces
  rescue::ParsedMap file;
  AreaList areas;
  int64_t end = 0;  // what the file covers: the input's size, or where reading got
  bool sizeKnown = true;
  rescue::PassPlan plan = {};
  bool unflushed = false;  // blocks read since the output was last flushed
  // Blocks that a straight pass read one after another since the areas last heard
  // of them: thousands a second, each of which would split and merge an area.
  int64_t readFrom = 0;
  int64_t readTo = 0;
  bool flushFailed = false;  // from then on nothing read is ever called rescued
  uint32_t lastSaveTick = 0;
  std::string startTime;
};
MapState Map;

std::string Hex(int64_t value) { return HexOffset(value).text; }

void WriteLine(const std::string& text) {
  WriteText(text.c_str());
  WriteLineEnd();
}

// Nothing has been read or written: an output this run created goes again.
[[noreturn]] void EndBeforeReading(const std::string& line) {
  WriteLine(line);
  RemoveCreatedOutput();
  ExitWithCode(kExitCannotOpen);
}

[[noreturn]] void RefuseMap(int line, const std::string& reason) {
  EndBeforeReading("     Bad map file \"" + Map.name + "\", line " +
                   std::to_string(line) + ": " + reason + ", exiting");
}

void KeepNoMap(const std::string& why) {
  Map.active = false;
  Map.loaded = false;
  WriteLine("   no map kept of this copy: " + why);
}

// A map made by an earlier run fits only the input it was made of; and the output
// must hold every byte that the map calls rescued.
bool LoadedMapFits(std::string& reason) {
  const rescue::ParsedMap& file = Map.file;
  if (Map.sizeKnown && file.extent != Run.InputSize) {
    reason = "the map covers " + Hex(file.extent) + " bytes, the input " +
             Hex(Run.InputSize);
    return false;
  }
  int64_t outputLength = FileSizeOrZero(Run.Output);
  for (const rescue::Area& area : file.areas) {
    if (area.status == rescue::kRescued && area.end() > outputLength) {
      reason = "areas rescued up to " + Hex(area.end()) + ", the output holds " +
               Hex(outputLength);
      return false;
    }
  }
  return true;
}

// The copy's own map that does not fit this input, or cannot be written, gives way
// to a copy resumed as one without a map is.
void ResumeUnmapped() {
  Map.loaded = false;
  ResumeOutput();
  CheckResume();
}

// A new map: the part of the output below Position is what an earlier run copied;
// the rest is to be read.
void StartNewMap() {
  int64_t end = Map.sizeKnown ? Run.InputSize : rescue::kOpenEnd;
  int64_t done = Map.sizeKnown ? std::min(Run.Position, end) : Run.Position;
  Map.areas.clear();
  if (done > 0) Map.areas.insert({0, done, rescue::kRescued});
  if (end > done) Map.areas.insert({done, end - done, rescue::kNonTried});
  Map.end = Map.sizeKnown ? end : done;
}

// Where a straight pass over the map stops first: the first byte not rescued.
int64_t FirstNotRescued() {
  for (const rescue::Area& area : Map.areas) {
    if (area.status != rescue::kRescued) return area.pos;
  }
  return Map.end;
}

// The rescued bytes just below where an earlier run's reading stopped: a source that
// went away may have handed over zeros as data before it did, and the map would call
// them rescued for ever. What cannot be shown to hold the input is read again.
void CheckBelow(int64_t stop) {
  if (stop <= 0) return;
  rescue::AreaIt at = rescue::AreaAt(Map.areas, stop);
  rescue::AreaIt below = rescue::AreaAt(Map.areas, stop - 1);
  if (at == Map.areas.end() || at->status == rescue::kRescued ||
      below->status != rescue::kRescued)
    return;
  int64_t floor = below->pos;
  TrustVerdict verdict = TrustedCopyEnd(floor, stop, false);
  int64_t trusted = verdict.end < 0 ? floor : verdict.end;
  if (trusted >= stop) return;
  rescue::SetStatus(Map.areas, trusted, stop - trusted, rescue::kNonTried);
  SayCopyGoesOnFrom(trusted, verdict.differed);
}

// A copy stopped between two saves of its map (a kill, a power cut) has written on
// past what its map calls rescued: at most a save interval's worth, which is compared
// whole with the input. A read that failed in that stretch left a hole, and a power
// cut may have lost what was not flushed: the sectors that prove the copy, one after
// another from where the map stops, are flushed and called rescued.
void TakeInWhatTheOutputHolds(int64_t stop) {
  rescue::AreaIt at = rescue::AreaAt(Map.areas, stop);
  if (at == Map.areas.end() || at->status != rescue::kNonTried) return;
  int64_t outputLength = FileSizeOrZero(Run.Output);
  int64_t end = std::min(at->end(), outputLength - outputLength % Run.InputSector);
  int64_t proven = end > stop ? ProvenFrom(stop, end) : stop;
  if (proven <= stop) return;
  rescue::SetStatus(Map.areas, stop, proven - stop, rescue::kUnflushed);
  Map.unflushed = true;
}

void UseLoadedMap() {
  Map.areas = Map.file.areas;
  Map.end = Map.file.extent;
  // An input of unknown size may go on beyond where the map ends.
  if (!Map.sizeKnown && Map.end < rescue::kOpenEnd) {
    Map.areas.insert(Map.areas.end(),
                     {Map.end, rescue::kOpenEnd - Map.end, rescue::kNonTried});
    rescue::MergeNeighbours(Map.areas);
  }
  int64_t firstStop = FirstNotRescued();
  CheckBelow(firstStop);
  if (Map.file.currentPos != firstStop) CheckBelow(Map.file.currentPos);
  TakeInWhatTheOutputHolds(FirstNotRescued());
}

// The first byte that the pass reads, or the map's end when all is rescued.
int64_t FirstToRead() {
  for (const rescue::Area& area : Map.areas) {
    if (rescue::FileStatus(area.status) != rescue::kRescued)
      return std::min(area.pos, Map.end);
  }
  return Map.end;
}

void WriteTotalsLine(const char* lead) {
  rescue::Totals totals = rescue::Count(Map.areas, Map.end);
  const char* kNames[] = {"rescued", "non-tried", "non-trimmed", "non-scraped",
                          "bad-sector"};
  std::string text = lead + Map.name + "\":";
  for (int i = 0; i < 5; ++i) {
    text += std::string(i == 0 ? " " : ", ") + kNames[i] + " " +
            std::to_string(totals.bytes[i]) + " in " + std::to_string(totals.areas[i]);
  }
  WriteLine(text);
}

bool MapComplete() {
  rescue::Totals totals = rescue::Count(Map.areas, Map.end);
  return totals.bytes[0] == Map.end;
}

void TakeInStraightReads() {
  if (Map.readTo > Map.readFrom)
    rescue::SetStatus(Map.areas, Map.readFrom, Map.readTo - Map.readFrom,
                      rescue::kUnflushed);
  Map.readFrom = Map.readTo = 0;
}

void NoteRead(int64_t pos, int64_t size) {
  Map.unflushed = true;
  if (RescueMapPlans()) {
    rescue::SetStatus(Map.areas, pos, size, rescue::kUnflushed);
    return;
  }
  if (pos != Map.readTo || Map.readTo == Map.readFrom) {
    TakeInStraightReads();
    Map.readFrom = pos;
  }
  Map.readTo = pos + size;
}

// The areas read since the last flush. A flush that fails loses what the medium had
// not taken yet, and a later one that succeeds proves nothing (Linux reports a
// writeback error once): those areas are not written, and neither is anything after.
void FlushReadAreas() {
  TakeInStraightReads();
  if (!Map.unflushed) return;
  Map.unflushed = false;
  SetLastError(0);
  bool flushed = !Map.flushFailed && (GetFileType(Run.Output) != FILE_TYPE_DISK ||
                                      FlushFileBuffers(Run.Output));
  if (!flushed && !Map.flushFailed) {
    Map.flushFailed = true;
    ReportMapFailure("Write error: ", GetLastError());
  }
  char now = flushed ? rescue::kRescued : rescue::kNonTried;
  for (const rescue::Area& area : Map.areas) {
    if (area.status == rescue::kUnflushed) area.status = now;
  }
  rescue::MergeNeighbours(Map.areas);
}

bool WriteMap() {
  Run.MapWhole = MapComplete();
  std::string heading = MapHeading(Map.startTime);
  return WriteMapFile(Map.name.c_str(), rescue::FormatMap(heading, Map.areas, Map.end));
}

void Save() {
  FlushReadAreas();
  if (!WriteMap()) ReportMapFailure("Map write error: ", GetLastError());
}

// Failed areas never take back what an earlier run rescued: an edge of the request
// may hold rescued bytes of the sector around it.
void MarkFailed(int64_t pos, int64_t size, char status) {
  for (int64_t at = pos; at < pos + size;) {
    rescue::AreaIt area = rescue::AreaAt(Map.areas, at);
    if (area == Map.areas.end()) return;
    int64_t next = std::min(area->end(), pos + size);
    char old = area->status;
    bool rescued = old == rescue::kRescued || old == rescue::kUnflushed;
    if (!rescued) rescue::SetStatus(Map.areas, at, next - at, status);
    at = next;
  }
}

// A rescue that --map names reads the good data first. A copy resumed by its own map
// reads in order, as any copy does; so does one of an input whose end is not known.
int64_t MaxSkip() {
  if (!Map.named || !Map.sizeKnown) return 0;
  int64_t cap = Run.InputSize / kSkipCapShare;
  return std::max(rescue::kFirstSkip, cap - cap % Run.BufferSize);
}

// A map that names no file of its own has nowhere to be kept: a pipe or NUL keeps no
// copy to map, and a file at the own map's name that this program did not write is
// never used or replaced.
bool OwnMapCanBeKept() {
  if (GetFileType(Run.Output) != FILE_TYPE_DISK) {
    Map.active = Map.loaded = false;
    return false;
  }
  if (Run.OutputIsDevice) {
    KeepNoMap("the output is not a file");
  } else if (Map.foreign) {
    KeepNoMap("\"" + Map.name + "\" is not a map of this program's");
  }
  return Map.active;
}

void SaveAtExit(UINT) { SaveRescueMapAtEnd(); }

bool IsOurs(MapLoad load) {
  return load == MapLoad::kLoaded &&
         Map.file.firstLine.compare(0, strlen(kOwnHeading), kOwnHeading) == 0;
}

// A named map that does not exist yet starts from the copy's own, where an earlier run
// without --map kept one: it holds what that run failed to read.
void ReadOwnMapInstead() {
  if (!Run.OutputEnabled || !Run.ResumeMode) return;
  std::string own = std::string(Run.OutputName) + kOwnMapSuffix, why;
  rescue::MapFault fault;
  if (!IsOurs(LoadMapFile(own.c_str(), Map.file, fault, why))) return;
  Map.loaded = true;
  Map.ownTakenOver = own;
}

void ReadMap() {
  rescue::MapFault fault;
  std::string why;
  MapLoad load = LoadMapFile(Map.name.c_str(), Map.file, fault, why);
  if (load == MapLoad::kMissing) {
    if (Map.named) ReadOwnMapInstead();
    return;
  }
  // The own map's name holds a file this program did not write, or cannot read.
  if (!Map.named && !IsOurs(load)) {
    Map.foreign = true;
    return;
  }
  if (load == MapLoad::kUnreadable)
    EndBeforeReading("     Unable to read map file \"" + Map.name + "\", exiting - " +
                     why);
  if (load == MapLoad::kRefused) RefuseMap(fault.line, fault.reason);
  // "/n" starts a new map; the own map's file is still read, to know it is its own.
  Map.loaded = Run.ResumeMode;
}

// The map file exists before the first read: a run stopped at once leaves a map that
// says what its output holds.
bool WrittenBeforeReading() {
  FlushReadAreas();
  if (WriteMap()) return true;
  DWORD code = GetLastError();
  std::string words = ErrorWords(code);
  std::string why = "\"" + Map.name + "\" cannot be written (error " +
                    std::to_string(code) + (words.empty() ? "" : ": " + words) + ")";
  if (Map.named)
    EndBeforeReading("     Unable to write map file \"" + Map.name + "\", exiting - " +
                     std::to_string(code));
  bool wasLoaded = Map.loaded;
  KeepNoMap(why);
  if (wasLoaded) ResumeUnmapped();
  return false;
}

// A read that failed, or found the end of the input, or left a code that ends the run.
void TakeShortfall(int64_t offset, int32_t size, BOOL ok, int32_t bytes,
                   bool endingCode, int64_t limit) {
  bool shortRead = ok && bytes < size;
  if (!ok || shortRead) TakeInStraightReads();
  if (!ok && !endingCode && offset < limit) {
    char failed = size > Map.plan.sectorSize ? rescue::kNonTrimmed : rescue::kBadNow;
    MarkFailed(offset, std::min<int64_t>(size, limit - offset), failed);
  }
  if (shortRead && !Map.sizeKnown) {
    // The input's real end: nothing lies beyond it, and the pass goes on with the
    // failed areas.
    rescue::CutAt(Map.areas, offset + bytes);
    Map.end = offset + bytes;
  } else if (shortRead || endingCode) {
    // An input that ends early: what lies beyond stays to be read by a later run.
    Map.plan.phase = rescue::kPassDone;
  }
}

}  // namespace

void SetRescueMapName(const char* name) {
  Map.named = true;
  Map.name = name;
}

bool RescueMapNamed() { return Map.named; }

const char* RescueMapName() { return Map.active ? Map.name.c_str() : ""; }

bool RescueMapLoaded() { return Map.loaded; }

bool RescueMapPlans() { return Map.active && (Map.named || Map.loaded); }

void LoadRescueMap() {
  if (!Map.named) {
    // A backup stream has other offsets, an endless run no end, and without an
    // output nothing is copied.
    if (!Run.OutputEnabled || Run.BackupMode || Run.EndlessMode) return;
    Map.name = std::string(Run.OutputName) + kOwnMapSuffix;
  }
  Map.active = true;
  Map.startTime = LocalTimeText();
  AddExitHook(SaveAtExit);
  if (Run.ResumeMode || !Map.named) ReadMap();
}

void FitRescueMap() {
  if (!Map.active || (!Map.named && !OwnMapCanBeKept())) return;
  // A size query that failed gives 0; such an input is mapped up to where reading
  // got, as an input that is really empty is.
  Map.sizeKnown = Run.InputSize > 0;
  std::string reason;
  // The copy's own map that does not fit is an earlier copy's: it gives way, also to
  // a named map that was to start from it.
  if (Map.loaded && !LoadedMapFits(reason)) {
    int line = Map.file.lastAreaLine != 0 ? Map.file.lastAreaLine : Map.file.statusLine;
    if (Map.named && Map.ownTakenOver.empty()) RefuseMap(line, reason);
    ResumeUnmapped();
  }
  if (Map.loaded) {
    UseLoadedMap();
  } else {
    StartNewMap();
  }
  // An uncached input takes whole sectors at whole-sector offsets only; one whose
  // request size is no whole number of sectors fails every read anyway.
  int64_t sector = std::min<int64_t>(Run.InputSector, Run.BufferSize);
  bool wholeSectors = Run.InputUncached && Run.BufferSize % Run.InputSector == 0;
  Map.plan = rescue::StartPass(Run.BufferSize, sector,
                               wholeSectors ? Run.InputSector : 1, MaxSkip());
  Map.lastSaveTick = Run.StartTick;
  Map.fitted = true;
  if (!WrittenBeforeReading()) return;
  if (!Map.ownTakenOver.empty()) DeleteFileA(Map.ownTakenOver.c_str());
  Run.MapKept = true;
  if (Map.loaded) {
    Run.Position = Run.ResumeOffset = FirstToRead();
    WriteResumeLine();
  }
  if (RescueMapPlans()) WriteTotalsLine("   map \"");
}

bool NextRescueRequest(int64_t& offset, int32_t& size) {
  int64_t length = 0;
  if (!rescue::NextRequest(Map.areas, Map.plan, offset, length)) return false;
  size = static_cast<int32_t>(length);
  return true;
}

bool RescueMapKeepsFailedBlocks() { return RescueMapPlans(); }

void TakeRescueOutcome(int64_t offset, int32_t size, BOOL ok, int32_t bytes,
                       bool written, bool endingCode, uint32_t now) {
  if (!Map.active || !Map.fitted) return;
  if (!Map.sizeKnown) Map.end = std::max(Map.end, offset + (ok ? bytes : size));
  int64_t limit = Map.sizeKnown ? Map.end : rescue::kOpenEnd;
  if (ok && written && bytes > 0 && offset < limit)
    NoteRead(offset, std::min<int64_t>(bytes, limit - offset));
  if (!ok || bytes < size || endingCode)
    TakeShortfall(offset, size, ok, bytes, endingCode, limit);
  if (RescueMapPlans()) rescue::TakeOutcome(Map.areas, Map.plan, offset, size, ok);
  // The longer interval of a large map is worked out only once the shortest is over.
  int32_t since = static_cast<int32_t>(now - Map.lastSaveTick);
  if (since <= kSaveIntervalMs ||
      since <= static_cast<int64_t>(Map.areas.size()) / kAreasPerIntervalMs)
    return;
  Map.lastSaveTick = now;
  Save();
}

void SaveRescueMapAtEnd() {
  if (!Map.active || !Map.fitted || Map.savedAtEnd) return;
  Map.savedAtEnd = true;
  FlushReadAreas();
  Run.MapWhole = MapComplete();
  // The copy's own map has served once the copy is whole.
  if (!Map.named && Run.MapWhole && !Run.HadWriteErrors) {
    DeleteFileA(Map.name.c_str());
    return;
  }
  if (!WriteMap()) ReportMapFailure("Map write error: ", GetLastError());
}

void WriteRescueMapTotals() {
  if (!Map.active || !Map.fitted) return;
  if (Map.named || !Run.MapWhole || Run.HadWriteErrors) WriteTotalsLine("Map \"");
}
