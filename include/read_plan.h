// Where the read loop's requests come from, and where their outcomes go: straight
// through from Position in requests of BufferSize, as a run without a map reads, or
// as the copy's map plans them. Each outcome is told once, to the map and the profile.
#ifndef TAVO_INCLUDE_READ_PLAN_H_
#define TAVO_INCLUDE_READ_PLAN_H_

#include <cstdint>

#include "platform.h"

// Before the first request: whether the map plans the requests, and whether the map
// or the profile hears of their outcomes.
void StartPlan();

// At the top of each iteration, beside the tick: the request made in it starts now,
// for whatever hears of its outcome (the profile's fine clock).
void PlanStartRequest();

// The next request: of size bytes, at Position. Straight through, every request is of
// BufferSize bytes, as the loop's first is, and the loop moves Position on itself and
// ends on a short read; the map moves Position to its request. A request retried
// after ERROR_NOT_READY comes again. False when the plan has nothing left to read.
bool PlanNextRequest(int32_t& size);

// True when the plan, not the end of the input, ends the loop.
bool PlanEndsTheLoop();

// Whether a failed read of the request may be written through to the output.
bool PlanWritesFailedBlocks();

// Whether anything takes the outcomes of the requests; PlanTakeOutcome is called only
// then, and the loop gathers an outcome only for it.
bool PlanHearsOutcomes();

// The bytes the read delivered are LastReadBytes; Retrying says that the device was not
// ready, and the request is made again.
struct RequestOutcome {
  BOOL ok;
  DWORD code;
  bool written;     // in the output now
  bool endingCode;  // the read's code ends the run
  uint32_t tick;    // when the request began
};
void PlanTakeOutcome(int32_t size, const RequestOutcome& outcome);

#endif  // TAVO_INCLUDE_READ_PLAN_H_
