// Any bytes as a map: no crash or hang; fed in two pieces (split where the first byte
// says) it reads as whole; an accepted map is ordered, gapless and merged, and its
// written text reads back to the same areas.
#include <algorithm>
#include <cstdlib>

#include "map_areas.h"

namespace {

bool SameAreas(const rescue::ParsedMap& a, const rescue::ParsedMap& b) {
  auto same = [](const rescue::Area& x, const rescue::Area& y) {
    return x.pos == y.pos && x.status == y.status;
  };
  return a.extent == b.extent && std::equal(a.areas.begin(), a.areas.end(),
                                            b.areas.begin(), b.areas.end(), same);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1, split = data[0] * length / 255;
  rescue::ParsedMap map;
  rescue::MapFault fault;
  bool parsed = rescue::ParseMap(text, length, map, fault);
  rescue::MapParser pieces;
  pieces.Feed(text, split);
  pieces.Feed(text + split, length - split);
  if (pieces.Finish() != parsed || pieces.fault().line != fault.line) abort();
  if (!parsed) {
    if (fault.line < 1 || fault.reason.empty()) abort();
    return 0;
  }
  if (!SameAreas(pieces.map(), map)) abort();
  int64_t end = 0;
  char previous = 0;
  for (const rescue::Area& area : map.areas) {
    if (area.pos != end || area.size <= 0 || area.status == previous) abort();
    end = area.end(), previous = area.status;
  }
  if (end != map.extent) abort();
  std::string written = rescue::FormatMap("# again\n", map.areas, map.extent);
  rescue::ParsedMap again;
  if (!rescue::ParseMap(written.data(), written.size(), again, fault)) abort();
  if (!SameAreas(again, map)) abort();
  return 0;
}
