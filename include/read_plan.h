// Where the read loop's requests come from, and where their outcomes go: straight
// through from Position in requests of BufferSize, as a run without a map reads, or
// as the copy's map plans them. Each outcome is told once, to the map and the profile.
#ifndef TAVO_INCLUDE_READ_PLAN_H_
#define TAVO_INCLUDE_READ_PLAN_H_

#include <cstdint>

#include "platform.h"

struct Request {
  int64_t offset;
  int32_t size;
};

// The next request; false when the plan has nothing left to read. Straight through,
// the loop moves Position on itself and ends on a short read.
bool PlanNextRequest(Request& request);

// True when the plan, not the end of the input, ends the loop.
bool PlanEndsTheLoop();

// Whether a failed read of the request may be written through to the output.
bool PlanWritesFailedBlocks();

struct RequestOutcome {
  BOOL ok;
  DWORD code;
  int32_t bytes;    // as the read reported them
  bool written;     // in the output now
  bool endingCode;  // the read's code ends the run
  bool retried;     // the device was not ready: the request is made again
  uint32_t tick;    // when the request began
};
void PlanTakeOutcome(const Request& request, const RequestOutcome& outcome);

#endif  // TAVO_INCLUDE_READ_PLAN_H_
