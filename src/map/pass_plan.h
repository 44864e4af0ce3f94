// The pass of one run over the map: the order in which a failing medium gives up what
// it still holds. A dying drive may not last the rescue, so what reads easily comes
// first and the failing places last.
#ifndef TAVO_SRC_MAP_PASS_PLAN_H_
#define TAVO_SRC_MAP_PASS_PLAN_H_

#include <cstdint>

#include "map_areas.h"

namespace rescue {

// The stages of a pass, in order:
// - the non-tried areas forward in requests of bufferSize on a grid of bufferSize from
//   offset 0, skipping ahead after each failure;
// - what that skipped, backward from the end, skipping back after each failure, so the
//   good data that lies past a failing stretch comes before the stretch itself;
// - what both skipped, forward, without skipping: one run tries everything once;
// - each non-trimmed area trimmed a sector at a time from its leading edge until a
//   sector fails, then from its trailing edge until one fails; the middle is left
//   non-scraped;
// - the non-scraped areas a sector at a time;
// - the bad sectors that the map held when the run began, once more.
// Without skipping (maxSkip 0) the first sweep reads every non-tried area and the next
// two find nothing.
enum PassPhase {
  kSweepForward,
  kSweepBackward,
  kSweepRest,
  kTrimming,
  kScraping,
  kRetrying,
  kPassDone
};

// The first skip after a failure. Each failure that follows doubles it, up to maxSkip;
// each good read halves it, and below the first skip there is none. A failing stretch
// is crossed in a few failed reads whatever its length, and a readable island in it
// does not start the crossing over.
constexpr int64_t kFirstSkip = 64 << 10;

// Every request starts and ends on a multiple of align (an uncached input's sector):
// an area edge off that grid is read in the whole sector around it.
struct PassPlan {
  int64_t bufferSize;
  int64_t sectorSize;  // no larger than bufferSize
  int64_t align;       // divides sectorSize and bufferSize, or the input takes none
  int64_t maxSkip;     // 0: the sweeps never skip
  int phase;
  // Forward, where the next request may start; backward, where the next one ends at
  // the latest.
  int64_t cursor;
  int64_t skip;       // what the next failure skips
  bool trimmingBack;  // the leading edge of the area at cursor has failed
};

// A plan for the whole pass.
PassPlan StartPass(int64_t bufferSize, int64_t sectorSize, int64_t align,
                   int64_t maxSkip);

bool NextRequest(const AreaList& areas, PassPlan& plan, int64_t& offset, int64_t& size);

// After the map took in how the request ended (read: unflushed; failed: non-trimmed, or
// bad when a sector or less): where the plan goes from there. A trimmed area whose
// trailing edge failed too is left non-scraped.
void TakeOutcome(AreaList& areas, PassPlan& plan, int64_t offset, int64_t size,
                 bool ok);

}  // namespace rescue

#endif  // TAVO_SRC_MAP_PASS_PLAN_H_
