// The profile takes in each request with the tick the loop already reads at the top of
// every iteration: a request lasts from its tick to the next one's, and the zones'
// ms have the tick's resolution, as the final report's time has. Beside the tick it
// reads the fine clock, once per request, for what a tick cannot measure: requests of
// a fraction of a millisecond, and zones read in less than a tick. Its band limits
// are counts, so that a request costs no division.
#include "profile.h"

#include "run_record.h"

ReadProfile Profile;

namespace {

constexpr int64_t kZoneGrain = 64 << 10;  // zone sizes are whole multiples of it

struct Pending {
  bool open = false;
  size_t zone = 0;
  uint32_t start = 0;
  int64_t fineStart = 0;
  BOOL ok = TRUE;
  int64_t offset = 0;
  int32_t size = 0;
};

Pending Last;
size_t CurrentZone = 0;  // where the last request fell: the next is most likely there

// Two neighbouring zones in one: the zone size doubles and every zone still starts
// at its index times the size.
void HalveZoneCount() {
  std::vector<ProfileZone>& zones = Profile.zones;
  for (size_t i = 0; i < zones.size(); i += 2) {
    ProfileZone merged = zones[i];
    if (i + 1 < zones.size()) {
      const ProfileZone& next = zones[i + 1];
      merged.bytes += next.bytes;
      merged.ms += next.ms;
      if (next.slowestMs > merged.slowestMs) merged.slowestMs = next.slowestMs;
      merged.requests += next.requests;
      merged.failures += next.failures;
      merged.counts += next.counts;
      if (next.slowestCounts > merged.slowestCounts)
        merged.slowestCounts = next.slowestCounts;
    }
    zones[i / 2] = merged;
  }
  zones.resize((zones.size() + 1) / 2);
  Profile.zoneSize *= 2;
  Last.zone /= 2;
  CurrentZone /= 2;
}

// The zone that holds offset, created with those before it when new. An offset far
// out (a map may send the reads anywhere on an input of unknown size) grows the
// zones rather than their number.
size_t ZoneAt(int64_t offset) {
  const ProfileZone* current =
      CurrentZone < Profile.zones.size() ? &Profile.zones[CurrentZone] : nullptr;
  if (current != nullptr && offset >= current->offset &&
      offset - current->offset < Profile.zoneSize) {
    return CurrentZone;
  }
  while (offset / Profile.zoneSize >= kMaxZones) HalveZoneCount();
  size_t index = static_cast<size_t>(offset / Profile.zoneSize);
  while (Profile.zones.size() <= index) {
    ProfileZone zone;
    zone.offset = static_cast<int64_t>(Profile.zones.size()) * Profile.zoneSize;
    Profile.zones.push_back(zone);
  }
  return CurrentZone = index;
}

// Keeps the request among the slowest, in order, when it is one of them.
void KeepIfSlowest(const TimedRequest& request) {
  std::vector<TimedRequest>& slowest = Profile.slowest;
  if (slowest.size() == kSlowestKept && request.counts <= slowest.back().counts) return;
  if (slowest.size() == kSlowestKept) slowest.pop_back();
  auto at = slowest.begin();
  while (at != slowest.end() && at->counts >= request.counts) ++at;
  slowest.insert(at, request);
}

void TakeFineTime(ProfileZone& zone, int64_t end) {
  int64_t took = end - Last.fineStart;
  if (took < 0) took = 0;
  zone.counts += took;
  if (took > zone.slowestCounts) zone.slowestCounts = took;
  if (!Last.ok) {
    ++Profile.failedRequests;
    return;
  }
  ++Profile.timeBands[TimeBandOf(took)];
  KeepIfSlowest({Last.offset, Last.size, took});
}

void EndPending(uint32_t end, int64_t fineEnd) {
  if (!Last.open) return;
  Last.open = false;
  int32_t took = static_cast<int32_t>(end - Last.start);
  if (took < 0) took = 0;
  ProfileZone& zone = Profile.zones[Last.zone];
  zone.ms += took;
  if (static_cast<uint32_t>(took) > zone.slowestMs) zone.slowestMs = took;
  TakeFineTime(zone, fineEnd);
}

// The first count that is ms milliseconds or more: rounded up, so that on a clock
// whose counts do not fall on 5 ms a request of 4.9999 ms still counts under 5.
int64_t CountsOfMs(int64_t ms) { return (ms * Profile.frequency + 999) / 1000; }

FailureOutcome OutcomeOf(DWORD code) {
  if (Run.Retrying) return FailureOutcome::kRetried;
  if (Run.StopRequested) return FailureOutcome::kEndedRun;
  if (code == ERROR_CRC && Run.OutputEnabled) return FailureOutcome::kWrittenWithZeros;
  return FailureOutcome::kSteppedOver;
}

void NoteFailure(ProfileZone& zone, int32_t size, DWORD code) {
  ++zone.failures;
  if (Profile.failures.size() >= kMaxListedFailures) {
    ++Profile.failuresLeftOut;
    return;
  }
  Profile.failures.push_back(
      {Run.Position, size, Run.LastReadBytes, code, OutcomeOf(code)});
}

}  // namespace

int64_t ZoneSizeFor(int64_t inputSize) {
  if (inputSize <= 0) return kUnsizedZoneBytes;
  int64_t share = inputSize / kZonesOfSizedInput + kZoneGrain - 1;
  int64_t size = share / kZoneGrain * kZoneGrain;
  return size < kMinZoneBytes ? kMinZoneBytes : size;
}

void StartProfile(int64_t inputSize) {
  Profile.active = true;
  Profile.zoneSize = ZoneSizeFor(inputSize);
  Profile.zones.reserve(static_cast<size_t>(kZonesOfSizedInput) + 1);
  Profile.slowest.reserve(kSlowestKept);
  LARGE_INTEGER frequency;
  if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0)
    Profile.frequency = frequency.QuadPart;
  for (int band = 0; band < kTimeBands - 1; ++band)
    Profile.bandLimits[band] = CountsOfMs(kBandLimitsMs[band]);
}

void NoteRequest(uint32_t start, int32_t size, BOOL ok, DWORD code) {
  if (!Profile.active) return;
  EndPending(start, Profile.requestStart.QuadPart);
  // The read that finds the end of a sized input belongs to its last zone, not to a
  // zone of its own past the end.
  int64_t at = Run.Position;
  if (Run.InputSize > 0 && at >= Run.InputSize && Run.LastReadBytes == 0)
    at = Run.InputSize - 1;
  size_t index = ZoneAt(at);
  ProfileZone& zone = Profile.zones[index];
  ++zone.requests;
  if (!Run.Retrying) zone.bytes += Run.LastReadBytes;
  if (!ok) NoteFailure(zone, size, code);
  Last = {true, index, start, Profile.requestStart.QuadPart, ok, Run.Position, size};
}

void FinishProfile() {
  if (!Last.open) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  EndPending(GetTickCount(), now.QuadPart);
}

int TimeBandOf(int64_t counts) {
  int band = 0;
  while (band < kTimeBands - 1 && counts >= Profile.bandLimits[band]) ++band;
  return band;
}

int64_t MicrosOf(int64_t counts) {
  int64_t f = Profile.frequency;
  return counts / f * 1000000 + counts % f * 1000000 / f;
}
