// The plan the read loop follows: straight through, or the copy's map.
#include "read_plan.h"

#include "profile.h"
#include "rescue_map.h"
#include "run_record.h"

namespace {

// Neither changes while the loop runs.
bool followsMap = false;     // the map plans the requests
bool hearsOutcomes = false;  // the map or the profile takes each request's outcome

bool again = false;  // the map's last request is made again

}  // namespace

void StartPlan() {
  followsMap = RescueMapPlans();
  hearsOutcomes = followsMap || Run.MapKept || Profile.active;
  again = false;
}

// A profile is kept only where outcomes are heard.
void PlanStartRequest() {
  if (hearsOutcomes) MarkRequestStart();
}

bool PlanNextRequest(int32_t& size) {
  if (!followsMap) return true;
  if (again) {
    again = false;
    return true;
  }
  return NextRescueRequest(Run.Position, size);
}

bool PlanEndsTheLoop() { return followsMap; }

bool PlanHearsOutcomes() { return hearsOutcomes; }

bool PlanWritesFailedBlocks() { return !RescueMapKeepsFailedBlocks(); }

// A request that is made again after ERROR_NOT_READY has no outcome yet.
void PlanTakeOutcome(int32_t size, const RequestOutcome& outcome) {
  NoteRequest(outcome.tick, size, outcome.ok, outcome.code);
  again = Run.Retrying;
  if (again) return;
  TakeRescueOutcome(Run.Position, size, outcome.ok, Run.LastReadBytes, outcome.written,
                    outcome.endingCode, outcome.tick);
}
