// The list of areas: statuses set over ranges, and totals.
#include <algorithm>

#include "map_areas.h"

namespace rescue {

namespace {

// Makes offset the start of an area, unless it already is one or lies beyond.
void SplitAt(AreaList& areas, int64_t offset) {
  AreaIt at = AreaAt(areas, offset);
  if (at == areas.end() || at->pos == offset) return;
  Area tail = {offset, at->end() - offset, at->status};
  at->size = offset - at->pos;
  areas.insert(std::next(at), tail);
}

void MergeWithNext(AreaList& areas, AreaIt at) {
  AreaIt next = std::next(at);
  if (next == areas.end() || at->status != next->status) return;
  at->size += next->size;
  areas.erase(next);
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

AreaIt AreaAt(const AreaList& areas, int64_t offset) {
  if (areas.empty() || offset >= areas.rbegin()->end() || offset < 0)
    return areas.end();
  return std::prev(areas.upper_bound(offset));
}

void SetStatus(AreaList& areas, int64_t pos, int64_t size, char status) {
  if (size <= 0) return;
  SplitAt(areas, pos);
  SplitAt(areas, pos + size);
  AreaIt first = AreaAt(areas, pos);
  areas.erase(std::next(first), areas.lower_bound(pos + size));
  first->size = size;
  first->status = status;
  MergeWithNext(areas, first);
  if (first != areas.begin()) MergeWithNext(areas, std::prev(first));
}

void MergeNeighbours(AreaList& areas) {
  for (AreaIt at = areas.begin(); at != areas.end();) {
    AreaIt next = std::next(at);
    if (next != areas.end() && next->status == at->status) {
      at->size += next->size;
      areas.erase(next);
    } else {
      at = next;
    }
  }
}

void CutAt(AreaList& areas, int64_t offset) {
  SplitAt(areas, offset);
  areas.erase(areas.lower_bound(offset), areas.end());
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
