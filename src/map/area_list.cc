// The list of areas: statuses set over ranges, and totals.
#include <algorithm>

#include "map_areas.h"

namespace rescue {

namespace {

// Makes offset the start of an area, unless it already is one or lies beyond.
void SplitAt(AreaList& areas, int64_t offset) {
  size_t i = AreaAt(areas, offset);
  if (i == areas.size() || areas[i].pos == offset) return;
  Area tail = {offset, areas[i].end() - offset, areas[i].status};
  areas[i].size = offset - areas[i].pos;
  areas.insert(areas.begin() + i + 1, tail);
}

void MergeWithNext(AreaList& areas, size_t i) {
  if (i + 1 >= areas.size() || areas[i].status != areas[i + 1].status) return;
  areas[i].size += areas[i + 1].size;
  areas.erase(areas.begin() + i + 1);
}

int TotalsIndex(char fileStatus) {
  switch (fileStatus) {
    case kRescued:
      return 0;
    case kNonTried:
      return 1;
    case kNonTrimmed:
      return 2;
    case kNonScraped:
      return 3;
    default:
      return 4;
  }
}

}  // namespace

char FileStatus(char status) {
  switch (status) {
    case kUnflushed:
      return kNonTried;
    case kBadNow:
      return kBadSector;
    default:
      return status;
  }
}

size_t AreaAt(const AreaList& areas, int64_t offset) {
  if (areas.empty() || offset >= areas.back().end()) return areas.size();
  auto after = std::upper_bound(
      areas.begin(), areas.end(), offset,
      [](int64_t value, const Area& area) { return value < area.pos; });
  return static_cast<size_t>(after - areas.begin()) - 1;
}

void SetStatus(AreaList& areas, int64_t pos, int64_t size, char status) {
  if (size <= 0) return;
  SplitAt(areas, pos);
  SplitAt(areas, pos + size);
  size_t first = AreaAt(areas, pos);
  size_t last = AreaAt(areas, pos + size);
  areas.erase(areas.begin() + first + 1, areas.begin() + last);
  areas[first] = {pos, size, status};
  MergeWithNext(areas, first);
  if (first > 0) MergeWithNext(areas, first - 1);
}

void MergeNeighbours(AreaList& areas) {
  size_t kept = 0;
  for (size_t i = 1; i < areas.size(); ++i) {
    if (areas[i].status == areas[kept].status) {
      areas[kept].size += areas[i].size;
    } else {
      areas[++kept] = areas[i];
    }
  }
  if (!areas.empty()) areas.resize(kept + 1);
}

void CutAt(AreaList& areas, int64_t offset) {
  SplitAt(areas, offset);
  areas.erase(areas.begin() + AreaAt(areas, offset), areas.end());
}

Totals Count(const AreaList& areas, int64_t end) {
  Totals totals = {};
  char previous = 0;
  for (const Area& area : areas) {
    if (area.pos >= end) break;
    char status = FileStatus(area.status);
    int index = TotalsIndex(status);
    totals.bytes[index] += std::min(area.end(), end) - area.pos;
    if (status != previous) ++totals.areas[index];
    previous = status;
  }
  return totals;
}

}  // namespace rescue
