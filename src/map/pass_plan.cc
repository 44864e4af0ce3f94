// One pass over the map: where the next request lies and how large it is.
#include <algorithm>

#include "map_areas.h"

namespace rescue {

namespace {

bool InPhase(char status, int phase) {
  if (phase == 0) return status == kNonTried;
  if (phase == 1) return status == kNonTrimmed || status == kNonScraped;
  return status == kBadSector;  // not kBadNow: this run has tried those already
}

// The requests of a phase keep to a grid from offset 0: blocks of bufferSize for
// the non-tried areas, sectors after that.
int64_t GridOf(const PassPlan& plan) {
  return plan.phase == 0 ? plan.bufferSize : plan.sectorSize;
}

int64_t RoundUp(int64_t offset, int64_t unit) {
  int64_t rest = offset % unit;
  return rest == 0 || offset > kOpenEnd - unit ? offset : offset + unit - rest;
}

}  // namespace

bool NextRequest(const AreaList& areas, PassPlan& plan, int64_t& offset,
                 int64_t& size) {
  for (; plan.phase < 3; ++plan.phase, plan.cursor = 0) {
    for (AreaIt at = AreaAt(areas, plan.cursor); at != areas.end(); ++at) {
      const Area& area = *at;
      if (!InPhase(area.status, plan.phase) || area.end() <= plan.cursor) continue;
      int64_t grid = GridOf(plan);
      offset = std::max(plan.cursor, area.pos);
      offset -= offset % plan.align;
      int64_t next = offset / grid * grid;
      next = next > kOpenEnd - grid ? kOpenEnd : next + grid;
      int64_t end = std::min(RoundUp(area.end(), plan.align), next);
      size = end - offset;
      plan.cursor = std::max(plan.cursor, std::min(end, area.end()));
      return true;
    }
  }
  return false;
}

}  // namespace rescue
