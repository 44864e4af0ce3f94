// The read speed along the input: the input cut into zones, each with the bytes read
// there, the time that took and its slowest request, and every failed request; and
// the requests sorted by time into bands, with the slowest named.
#ifndef TAVO_INCLUDE_PROFILE_H_
#define TAVO_INCLUDE_PROFILE_H_

#include <cstdint>
#include <vector>

#include "platform.h"

struct ProfileZone {
  int64_t offset = 0;      // of its first byte
  int64_t bytes = 0;       // read there in this run, as BytesRead counts them
  int64_t ms = 0;          // from the start of its first request to the end of its last
  uint32_t slowestMs = 0;  // the longest request that started in it
  int32_t requests = 0;    // read calls that started in it, retries included
  int32_t failures = 0;    // of those, the ones that failed
  int64_t counts = 0;      // ms on the fine clock, in its counts
  int64_t slowestCounts = 0;  // slowestMs on the fine clock
};

// Request times in the bands that surface scans sort reads into: under 5, 20, 50, 200
// and 600 ms, and slower. A failed request counts apart, however long it took.
constexpr int kTimeBands = 6;
constexpr int64_t kBandLimitsMs[kTimeBands - 1] = {5, 20, 50, 200, 600};

// A request that succeeded, and how long it took.
struct TimedRequest {
  int64_t offset;
  int32_t size;    // bytes asked for
  int64_t counts;  // of the fine clock
};

// Enough to name the worst places of a medium to look at again, few enough to read
// at a glance; a fixed number keeps the per-request cost a single comparison.
constexpr size_t kSlowestKept = 10;

// What became of a failed request's block.
enum class FailureOutcome {
  kWrittenWithZeros,  // ERROR_CRC with an output: what arrived, zeros after it
  kSteppedOver,       // left out, and reading went on after it
  kRetried,           // a device not ready: the same request was made again
  kEndedRun,          // an ending error code: nothing more was read
};

struct FailedRequest {
  int64_t offset;
  int32_t size;   // bytes asked for
  int32_t bytes;  // bytes it delivered
  DWORD code;
  FailureOutcome outcome;
};

struct ReadProfile {
  bool active = false;
  int64_t zoneSize = 0;
  std::vector<ProfileZone> zones;  // zone i starts at i * zoneSize
  std::vector<FailedRequest> failures;
  int64_t failuresLeftOut = 0;      // beyond kMaxListedFailures
  LARGE_INTEGER requestStart = {};  // the fine clock at the top of the loop's iteration
  int64_t frequency = 1;            // of the fine clock, counts per second
  int64_t bandLimits[kTimeBands - 1] = {};  // kBandLimitsMs in counts
  int32_t timeBands[kTimeBands] = {};       // requests that succeeded, by time
  int32_t failedRequests = 0;
  std::vector<TimedRequest> slowest;  // at most kSlowestKept, slowest first
};

constexpr size_t kMaxListedFailures = 10000;
constexpr int64_t kMinZoneBytes = 1 << 20;
constexpr int64_t kUnsizedZoneBytes = 64 << 20;
constexpr int64_t kZonesOfSizedInput = 200;
// Beyond it, as far out as an offset may lie, zones double in size instead.
constexpr int64_t kMaxZones = 16384;

extern ReadProfile Profile;

// The zone size: about kZonesOfSizedInput zones for a sized input, none under
// kMinZoneBytes, and kUnsizedZoneBytes each when the size is not known (0).
int64_t ZoneSizeFor(int64_t inputSize);

// Starts collecting; until then NoteRequest takes nothing in.
void StartProfile(int64_t inputSize);

// The loop calls it at the top of each iteration, beside its tick: while a profile is
// kept the request made in the iteration starts there on the fine clock too. Without
// one it reads no clock.
inline void MarkRequestStart() {
  if (Profile.active) QueryPerformanceCounter(&Profile.requestStart);
}

// Takes in the request of `size` bytes the loop has just made at Position, which
// started at tick `start`, and so ends the one before it; the loop calls it once per
// request, before it moves on, with the tick it read at the top of the iteration.
void NoteRequest(uint32_t start, int32_t size, BOOL ok, DWORD code);

// Ends the last request now (before the output's flush and close, which are no
// request's), reading the tick and the fine clock once; later calls, and calls while
// no profile is kept, change nothing and read no clock.
void FinishProfile();

// The band of a request that took `counts` of the fine clock: 0 for under 5 ms, up to
// kTimeBands - 1 for 600 ms and more.
int TimeBandOf(int64_t counts);

// Counts of the fine clock in microseconds.
int64_t MicrosOf(int64_t counts);

#endif  // TAVO_INCLUDE_PROFILE_H_
