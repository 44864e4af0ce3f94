// Reading a map file. Comments run from "#" at the start of a line or after a blank
// to the line's end. The first other line is the status line (position, status,
// pass); every later one is an area (position, size, status), in order from offset
// 0 without gaps or overlaps. Numbers are written as C++ integer constants (decimal,
// 0x hexadecimal, 0 octal); the pass is decimal. Anything else refuses the map.
#include <cstring>

#include "map_areas.h"

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

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// A non-negative integer constant that fits a signed 64-bit offset.
bool ParseInteger(const std::string& text, int64_t& value, bool decimalOnly = false) {
  int base = 10;
  size_t i = 0;
  if (!decimalOnly && text.size() > 1 && text[0] == '0') {
    bool hex = text[1] == 'x' || text[1] == 'X';
    base = hex ? 16 : 8;
    i = hex ? 2 : 1;
  }
  if (i == text.size()) return false;
  uint64_t result = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i]);
    if (digit >= base) return false;
    result = result * base + digit;
    if (result > static_cast<uint64_t>(INT64_MAX)) return false;
  }
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

bool Refuse(MapFault& fault, int line, const char* reason) {
  fault = {line, reason};
  return false;
}

bool ReadStatusLine(const Fields& fields, int line, ParsedMap& map, MapFault& fault) {
  int64_t number = 0;
  if (fields.count != 3 || fields.tooMany ||
      !ParseInteger(fields.text[0], map.currentPos) ||
      !ParseInteger(fields.text[2], number, true) || number < 1)
    return Refuse(fault, line, "not a status line (position, status, pass)");
  if (!IsStageStatus(fields.text[1])) return Refuse(fault, line, "unknown status");
  return true;
}

bool ReadArea(const Fields& fields, int line, ParsedMap& map, MapFault& fault) {
  int64_t pos = 0, size = 0;
  if (fields.count != 3 || fields.tooMany || !ParseInteger(fields.text[0], pos) ||
      !ParseInteger(fields.text[1], size))
    return Refuse(fault, line, "not an area (position, size, status)");
  if (!IsAreaStatus(fields.text[2])) return Refuse(fault, line, "unknown status");
  if (size == 0 || size > INT64_MAX - pos)
    return Refuse(fault, line, "an area of no bytes, or beyond the largest offset");
  if (pos != map.extent)
    return Refuse(fault, line, "areas out of order, overlapping or with a gap");
  char status = fields.text[2][0];
  if (!map.areas.empty() && map.areas.back().status == status) {
    map.areas.back().size += size;
  } else {
    map.areas.push_back({pos, size, status});
  }
  map.extent = pos + size;
  map.lastAreaLine = line;
  return true;
}

}  // namespace

bool ParseMap(const char* text, size_t size, ParsedMap& map, MapFault& fault) {
  map = ParsedMap{{}, 0, 0, 0, 0};
  int line = 0;
  for (size_t at = 0; at < size;) {
    ++line;
    const char* end = static_cast<const char*>(memchr(text + at, '\n', size - at));
    if (end == nullptr) return Refuse(fault, line, "cut short: no line end");
    if (memchr(text + at, '\0', end - (text + at)) != nullptr)
      return Refuse(fault, line, "holds a NUL byte");
    Fields fields = SplitLine(text + at, end - (text + at));
    at = end - text + 1;
    if (fields.count == 0 && !fields.tooMany) continue;
    if (map.statusLine == 0) {
      if (!ReadStatusLine(fields, line, map, fault)) return false;
      map.statusLine = line;
    } else if (!ReadArea(fields, line, map, fault)) {
      return false;
    }
  }
  if (map.statusLine == 0) return Refuse(fault, line + 1, "no status line");
  return true;
}

}  // namespace rescue
