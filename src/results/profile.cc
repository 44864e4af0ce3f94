// The profile takes in each request with the tick the loop already reads at the top of
// every iteration: a request lasts from its tick to the next one's, so the profile
// adds no clock read of its own, and its times have the tick's resolution.
#include "profile.h"

#include "run_record.h"

ReadProfile Profile;

namespace {

constexpr int64_t kZoneGrain = 64 << 10;  // zone sizes are whole multiples of it

struct Pending {
  bool open = false;
  size_t zone = 0;
  uint32_t start = 0;
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

void EndPending(uint32_t end) {
  if (!Last.open) return;
  Last.open = false;
  int32_t took = static_cast<int32_t>(end - Last.start);
  if (took < 0) took = 0;
  ProfileZone& zone = Profile.zones[Last.zone];
  zone.ms += took;
  if (static_cast<uint32_t>(took) > zone.slowestMs) zone.slowestMs = took;
}

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
}

void NoteRequest(uint32_t start, int32_t size, BOOL ok, DWORD code) {
  if (!Profile.active) return;
  EndPending(start);
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
  Last = {true, index, start};
}

void FinishProfile() {
  if (Last.open) EndPending(GetTickCount());
}
