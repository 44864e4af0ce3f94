// The map inside the program: a list of areas in order from offset 0, without gaps or
// overlaps, and the parser and the writer of the map file's text.
#ifndef TAVO_SRC_MAP_MAP_AREAS_H_
#define TAVO_SRC_MAP_MAP_AREAS_H_

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace rescue {

// Statuses as the map file writes them.
constexpr char kRescued = '+';
constexpr char kNonTried = '?';
constexpr char kNonTrimmed = '*';  // a failed request larger than a sector
constexpr char kNonScraped = '/';  // another tool's stage between '*' and '-'
constexpr char kBadSector = '-';
// Statuses the file never holds. Read in this run and written, but not yet flushed:
// the file still calls it non-tried. Failed in this run as a single sector: bad, but
// not tried again by this run's retry of bad areas.
constexpr char kUnflushed = 'u';
constexpr char kBadNow = 'b';

// What the map file says of an area with this status.
char FileStatus(char status);

constexpr int64_t kOpenEnd = INT64_MAX;  // the end of an input of unknown size

// Size and status change in place, within the ordered set that pos keys.
struct Area {
  int64_t pos;
  mutable int64_t size;
  mutable char status;
  int64_t end() const { return pos + size; }
};
struct ByPosition {
  using is_transparent = void;
  bool operator()(const Area& a, const Area& b) const { return a.pos < b.pos; }
  bool operator()(const Area& a, int64_t pos) const { return a.pos < pos; }
  bool operator()(int64_t pos, const Area& a) const { return pos < a.pos; }
};

// Areas that cover [0, the last one's end) in order; neighbours of one status merge.
// A balanced tree: a map of a badly failing disk holds a million areas, and each read
// changes one of them.
typedef std::set<Area, ByPosition> AreaList;
typedef AreaList::const_iterator AreaIt;

// Gives [pos, pos + size) the status, splitting and merging areas; the range lies
// within the list.
void SetStatus(AreaList& areas, int64_t pos, int64_t size, char status);

// Merges neighbours of one status, after statuses were changed in place.
void MergeNeighbours(AreaList& areas);

// Drops everything from offset on.
void CutAt(AreaList& areas, int64_t offset);

// The area that holds offset, or areas.end() beyond the last.
AreaIt AreaAt(const AreaList& areas, int64_t offset);

// Bytes and areas of each file status up to end, neighbours merged as the file shows
// them.
struct Totals {
  int64_t bytes[5];  // '+', '?', '*', '/', '-'
  int64_t areas[5];
};
Totals Count(const AreaList& areas, int64_t end);

// A map file's content, or why it is refused: the line at fault (from 1) and why.
struct ParsedMap {
  AreaList areas;  // file statuses only
  int64_t extent;  // the end of the last area, 0 for none
  int lastAreaLine;
  int statusLine;
  int64_t currentPos;     // where the tool that wrote it was reading
  std::string firstLine;  // its first 128 bytes, which name the tool that wrote it
};
struct MapFault {
  int line;
  std::string reason;
};

// Reads a map file's text fed in pieces of any size, keeping no more of it than one
// line: a line longer than kMaxMapLine refuses the map, so a file that is no map is
// refused after its first piece whatever its size.
constexpr size_t kMaxMapLine = 65536;
class MapParser {
 public:
  MapParser();
  // The next piece of the text; false once the map is refused (later pieces change
  // nothing).
  bool Feed(const char* text, size_t size);
  // The text has ended; false when the map is refused.
  bool Finish();
  const ParsedMap& map() const { return map_; }
  const MapFault& fault() const { return fault_; }

 private:
  bool TakeLine(const char* text, size_t length);
  bool Refuse(int line, const char* reason);

  ParsedMap map_;
  MapFault fault_;
  std::string partial_;  // the text of the line not yet ended
  int line_ = 0;         // the lines ended so far
  bool refused_ = false;
};

// The whole text at once, as a MapParser fed one piece reads it.
bool ParseMap(const char* text, size_t size, ParsedMap& map, MapFault& fault);

// The map file's text for the areas up to end. heading holds the comment lines.
std::string FormatMap(const std::string& heading, const AreaList& areas, int64_t end);

}  // namespace rescue

#endif  // TAVO_SRC_MAP_MAP_AREAS_H_
