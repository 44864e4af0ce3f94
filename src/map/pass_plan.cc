// One pass over the map: where the next request lies and how large it is.
#include "pass_plan.h"

#include <algorithm>
#include <iterator>

namespace rescue {

namespace {

bool InPhase(char status, int phase) {
  switch (phase) {
    case kSweepForward:
    case kSweepBackward:
    case kSweepRest:
      return status == kNonTried;
    case kTrimming:
      return status == kNonTrimmed;
    case kScraping:
      return status == kNonScraped;
    default:
      return status == kBadSector;  // not kBadNow: this run has tried those already
  }
}

// The sweeps keep to a grid of bufferSize from offset 0, the later stages to sectors.
int64_t GridOf(const PassPlan& plan) {
  return plan.phase <= kSweepRest ? plan.bufferSize : plan.sectorSize;
}

int64_t RoundUp(int64_t offset, int64_t unit) {
  int64_t rest = offset % unit;
  return rest == 0 || offset > kOpenEnd - unit ? offset : offset + unit - rest;
}

void NextPhase(PassPlan& plan) {
  ++plan.phase;
  if (plan.maxSkip == 0 && plan.phase == kSweepBackward) plan.phase = kTrimming;
  plan.cursor = plan.phase == kSweepBackward ? kOpenEnd : 0;
  plan.skip = 0;
  plan.trimmingBack = false;
}

// The request at the start of the area's part from the cursor on.
void Forward(const Area& area, PassPlan& plan, int64_t& offset, int64_t& size) {
  int64_t grid = GridOf(plan);
  offset = std::max(plan.cursor, area.pos);
  offset -= offset % plan.align;
  int64_t next = offset / grid * grid;
  next = next > kOpenEnd - grid ? kOpenEnd : next + grid;
  int64_t end = std::min(RoundUp(area.end(), plan.align), next);
  size = end - offset;
  plan.cursor = std::max(plan.cursor, std::min(end, area.end()));
}

// The request at the end of the area's part below limit.
void Backward(const Area& area, const PassPlan& plan, int64_t limit, int64_t& offset,
              int64_t& size) {
  int64_t grid = GridOf(plan);
  int64_t end = std::min(limit, area.end());
  offset = std::max((end - 1) / grid * grid, area.pos);
  offset -= offset % plan.align;
  size = RoundUp(end, plan.align) - offset;
}

bool FromCursorOn(const AreaList& areas, PassPlan& plan, int64_t& offset,
                  int64_t& size) {
  for (AreaIt at = AreaAt(areas, plan.cursor); at != areas.end(); ++at) {
    if (!InPhase(at->status, plan.phase) || at->end() <= plan.cursor) continue;
    if (plan.trimmingBack && at->pos == plan.cursor) {
      Backward(*at, plan, at->end(), offset, size);
      return true;
    }
    plan.trimmingBack = false;
    Forward(*at, plan, offset, size);
    return true;
  }
  return false;
}

bool BeforeCursor(const AreaList& areas, PassPlan& plan, int64_t& offset,
                  int64_t& size) {
  if (areas.empty() || plan.cursor <= 0) return false;
  AreaIt at = plan.cursor >= std::prev(areas.end())->end()
                  ? std::prev(areas.end())
                  : AreaAt(areas, plan.cursor - 1);
  for (;; --at) {
    if (InPhase(at->status, plan.phase) && at->pos < plan.cursor) {
      Backward(*at, plan, plan.cursor, offset, size);
      plan.cursor = offset;
      return true;
    }
    if (at == areas.begin()) return false;
  }
}

// A failure skips ahead of the failed request, or back below it, to the grid.
void Skip(PassPlan& plan, int64_t offset, int64_t size, bool ok) {
  if (ok) {
    plan.skip = plan.skip / 2 < kFirstSkip ? 0 : plan.skip / 2;
    return;
  }
  plan.skip = plan.skip == 0 ? kFirstSkip : std::min(2 * plan.skip, plan.maxSkip);
  if (plan.phase == kSweepForward) {
    int64_t from = std::max(plan.cursor, offset + size);
    plan.cursor = from > kOpenEnd - 2 * plan.skip
                      ? kOpenEnd
                      : RoundUp(from + plan.skip, plan.bufferSize);
  } else {
    int64_t to = offset - plan.skip;
    plan.cursor = to <= 0 ? 0 : to / plan.bufferSize * plan.bufferSize;
  }
}

// Both edges of the area at the cursor have failed: what lies between waits for the
// scraping, after every other area's edges.
void LeaveMiddleToScrape(AreaList& areas, PassPlan& plan) {
  plan.trimmingBack = false;
  AreaIt at = AreaAt(areas, plan.cursor);
  if (at != areas.end() && at->pos == plan.cursor && at->status == kNonTrimmed)
    SetStatus(areas, at->pos, at->size, kNonScraped);
}

}  // namespace

PassPlan StartPass(int64_t bufferSize, int64_t sectorSize, int64_t align,
                   int64_t maxSkip) {
  return {bufferSize, sectorSize, align, maxSkip, kSweepForward, 0, 0, false};
}

bool NextRequest(const AreaList& areas, PassPlan& plan, int64_t& offset,
                 int64_t& size) {
  for (; plan.phase < kPassDone; NextPhase(plan)) {
    bool found = plan.phase == kSweepBackward ? BeforeCursor(areas, plan, offset, size)
                                              : FromCursorOn(areas, plan, offset, size);
    if (found) return true;
  }
  return false;
}

void TakeOutcome(AreaList& areas, PassPlan& plan, int64_t offset, int64_t size,
                 bool ok) {
  bool skipping = plan.phase == kSweepForward || plan.phase == kSweepBackward;
  if (skipping && plan.maxSkip > 0) Skip(plan, offset, size, ok);
  if (plan.phase != kTrimming || ok) return;
  if (plan.trimmingBack) {
    LeaveMiddleToScrape(areas, plan);
  } else {
    plan.trimmingBack = true;
  }
}

}  // namespace rescue
