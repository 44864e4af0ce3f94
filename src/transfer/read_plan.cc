// The plan the read loop follows: straight through, or the copy's map.
#include "read_plan.h"

#include "profile.h"
#include "rescue_map.h"
#include "run_record.h"

bool PlanNextRequest(Request& request) {
  if (RescueMapPlans()) return NextRescueRequest(request.offset, request.size);
  request = {Run.Position, Run.BufferSize};
  return true;
}

bool PlanEndsTheLoop() { return RescueMapPlans(); }

bool PlanWritesFailedBlocks() { return !RescueMapKeepsFailedBlocks(); }

// A request that is made again after ERROR_NOT_READY has no outcome yet.
void PlanTakeOutcome(const Request& request, const RequestOutcome& outcome) {
  NoteRequest(outcome.tick, request.size, outcome.ok, outcome.code);
  if (outcome.retried) return;
  TakeRescueOutcome(request.offset, request.size, outcome.ok, outcome.bytes,
                    outcome.written, outcome.endingCode, outcome.tick);
}
