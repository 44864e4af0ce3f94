// Reading a map file. Comments run from "#" at the start of a line or after a blank
// to the line's end. The first other line is the status line (position, status and
// pass, or position and status alone as maps made by older tools have it); every
// later one is an area (position, size, status), in order from offset 0 without gaps
// or overlaps. Numbers are written as C++ integer constants (decimal, 0x
// hexadecimal, 0 octal); the pass is decimal. Anything else refuses the map.
#include <algorithm>
#include <cstring>

#include "map_areas.h"
#include "number_parse.h"

namespace rescue {

namespace {

constexpr int kMaxFields = 3;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The fields of one line up to its comment, cut at blanks.
struct Fields {
  std::string text[kMaxFields];
  int count = 0;
  bool tooMany = false;
};

Fields SplitLine(const char* line, size_t length) {
  Fields fields;
  size_t i = 0;
  while (i < length) {
    while (i < length && IsBlank(line[i])) ++i;
    if (i == length || line[i] == '#') break;
    size_t start = i;
    while (i < length && !IsBlank(line[i])) ++i;
    if (fields.count == kMaxFields) {
      fields.tooMany = true;
      break;
    }
    fields.text[fields.count++].assign(line + start, i - start);
  }
  return fields;
}

// A non-negative integer constant that fits a signed 64-bit offset.
bool ParseInteger(const std::string& text, int64_t& value, bool decimalOnly = false) {
  int base = 10;
  size_t start = 0;
  if (!decimalOnly && text.size() > 1 && text[0] == '0') {
    bool hex = text[1] == 'x' || text[1] == 'X';
    base = hex ? 16 : 8;
    start = hex ? 2 : 1;
  }
  uint64_t result = 0;
  if (!ParseDigits(text.data() + start, text.size() - start, base, INT64_MAX, result))
    return false;
  value = static_cast<int64_t>(result);
  return true;
}

bool IsAreaStatus(const std::string& text) {
  return text.size() == 1 && strchr("+?*/-", text[0]) != nullptr;
}

// The status line's status names the stage another tool was in; any of its stages.
bool IsStageStatus(const std::string& text) {
  return text.size() == 1 && strchr("+?*/-FG", text[0]) != nullptr;
}

bool ReadStatusLine(const Fields& fields, int64_t& position) {
  int64_t number = 0;
  bool withPass = fields.count == 3;
  return (fields.count == 2 || withPass) && !fields.tooMany &&
         ParseInteger(fields.text[0], position) &&
         (!withPass || (ParseInteger(fields.text[2], number, true) && number >= 1));
}

// The reason an area line is refused, or nullptr when it extends the map.
const char* ReadArea(const Fields& fields, int line, ParsedMap& map) {
  int64_t pos = 0, size = 0;
  if (fields.count != 3 || fields.tooMany || !ParseInteger(fields.text[0], pos) ||
      !ParseInteger(fields.text[1], size))
    return "not an area (position, size, status)";
  if (!IsAreaStatus(fields.text[2])) return "unknown status";
  if (size == 0 || size > INT64_MAX - pos)
    return "an area of no bytes, or beyond the largest offset";
  if (pos != map.extent) return "areas out of order, overlapping or with a gap";
  char status = fields.text[2][0];
  if (!map.areas.empty() && map.areas.rbegin()->status == status) {
    map.areas.rbegin()->size += size;
  } else {
    map.areas.insert(map.areas.end(), {pos, size, status});
  }
  map.extent = pos + size;
  map.lastAreaLine = line;
  return nullptr;
}

}  // namespace

MapParser::MapParser() : map_{{}, 0, 0, 0, 0, {}}, fault_{0, ""} {}

bool MapParser::Refuse(int line, const char* reason) {
  refused_ = true;
  fault_ = {line, reason};
  return false;
}

bool MapParser::TakeLine(const char* text, size_t length) {
  ++line_;
  if (line_ == 1) map_.firstLine.assign(text, std::min<size_t>(length, 128));
  if (memchr(text, '\0', length) != nullptr) return Refuse(line_, "holds a NUL byte");
  Fields fields = SplitLine(text, length);
  if (fields.count == 0 && !fields.tooMany) return true;
  if (map_.statusLine == 0) {
    if (!ReadStatusLine(fields, map_.currentPos))
      return Refuse(line_, "not a status line (position, status, pass)");
    if (!IsStageStatus(fields.text[1])) return Refuse(line_, "unknown status");
    map_.statusLine = line_;
    return true;
  }
  const char* reason = ReadArea(fields, line_, map_);
  return reason == nullptr || Refuse(line_, reason);
}

bool MapParser::Feed(const char* text, size_t size) {
  while (!refused_ && size > 0) {
    const char* end = static_cast<const char*>(memchr(text, '\n', size));
    size_t length = end == nullptr ? size : end - text;
    if (partial_.size() + length > kMaxMapLine)
      return Refuse(line_ + 1, "a line longer than 65536 bytes");
    if (end == nullptr) {
      partial_.append(text, length);
      return true;
    }
    if (partial_.empty()) {
      TakeLine(text, length);
    } else {
      partial_.append(text, length);
      TakeLine(partial_.data(), partial_.size());
      partial_.clear();
    }
    text += length + 1;
    size -= length + 1;
  }
  return !refused_;
}

bool MapParser::Finish() {
  if (refused_) return false;
  if (!partial_.empty()) return Refuse(line_ + 1, "cut short: no line end");
  if (map_.statusLine == 0) return Refuse(line_ + 1, "no status line");
  return true;
}

bool ParseMap(const char* text, size_t size, ParsedMap& map, MapFault& fault) {
  MapParser parser;
  bool parsed = parser.Feed(text, size) && parser.Finish();
  map = parser.map();
  fault = parser.fault();
  return parsed;
}

}  // namespace rescue
