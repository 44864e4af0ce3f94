// Any bytes as a map file: the parser neither crashes nor hangs; a map it accepts
// has areas in order from 0 without gaps, neighbours of one status merged, and the
// text the writer makes of it reads back to the same areas.
#include <cstdlib>

#include "map_areas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rescue::ParsedMap map;
  rescue::MapFault fault;
  if (!rescue::ParseMap(reinterpret_cast<const char*>(data), size, map, fault)) {
    if (fault.line < 1 || fault.reason.empty()) abort();
    return 0;
  }
  int64_t end = 0;
  for (size_t i = 0; i < map.areas.size(); ++i) {
    const rescue::Area& area = map.areas[i];
    if (area.pos != end || area.size <= 0) abort();
    if (i > 0 && area.status == map.areas[i - 1].status) abort();
    end = area.end();
  }
  if (end != map.extent) abort();
  std::string text = rescue::FormatMap("# again\n", map.areas, map.extent);
  rescue::ParsedMap again;
  if (!rescue::ParseMap(text.data(), text.size(), again, fault)) abort();
  if (again.areas.size() != map.areas.size() || again.extent != map.extent) abort();
  for (size_t i = 0; i < map.areas.size(); ++i) {
    if (again.areas[i].pos != map.areas[i].pos || again.areas[i].status != map.areas[i].status)
      abort();
  }
  return 0;
}
