// Before a copy goes on, what it continues is compared with the input: a device that
// dropped out may have handed over zeros as data, and a write that failed, or a power
// cut, may have left a hole. Once the copy went on past them they would stay for ever.
#include "trusted_copy.h"

#include <algorithm>
#include <cstring>

#include "console.h"
#include "read_at.h"
#include "run_record.h"

namespace {

constexpr int64_t kWindow = 1 << 20;   // compared sector by sector below the end
constexpr int64_t kRequest = 1 << 16;  // bytes per read, whole sectors of any disk
constexpr int64_t kRefine = 16 << 20;  // read on past a block found far back

// Two blocks of `request` bytes, page-aligned as a disk read uncached needs them;
// like ReadBuffer they stay until the process ends.
struct CheckBlocks {
  int64_t request = 0;
  uint8_t* input = nullptr;
  uint8_t* output = nullptr;
};

int64_t RoundUp(int64_t bytes, int64_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

const CheckBlocks& Blocks() {
  static CheckBlocks blocks;
  if (blocks.input != nullptr) return blocks;
  int64_t request = RoundUp(kRequest, Run.InputSector);
  uint8_t* memory =
      static_cast<uint8_t*>(VirtualAlloc(nullptr, static_cast<SIZE_T>(2 * request),
                                         MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (memory == nullptr)
    FatalError("Fatal error: not enough memory for the resume check");
  blocks = {request, memory, memory + request};
  return blocks;
}

bool AllZeros(const uint8_t* bytes, int64_t count) {
  return count == 0 || (bytes[0] == 0 && memcmp(bytes, bytes + 1, count - 1) == 0);
}

// What the sectors of one stretch say, in order from its start.
struct Scan {
  int64_t proven = -1;  // just after the last proven sector before `stop`
  int64_t stop = -1;    // the first sector that differs, or where the input failed
  bool differed = false;
  bool inputFailed = false;
  bool unchecked = false;  // the output cannot be read back: taken as it is
  int64_t inputEnd = -1;   // where the input ended, when it did
};

void ScanSectors(const CheckBlocks& blocks, int64_t offset, int64_t count, Scan& scan) {
  for (int64_t at = 0; at < count; at += Run.InputSector) {
    int64_t length = std::min(Run.InputSector, count - at);
    if (memcmp(blocks.input + at, blocks.output + at, length) != 0) {
      scan.differed = true;
      scan.stop = offset + at;
      return;
    }
    if (!AllZeros(blocks.input + at, length)) scan.proven = offset + at + length;
  }
}

// [from, end) in whole requests; stops at the first sector that differs or the first
// input read that fails. An output that cannot be read back is taken as it is.
Scan ScanStretch(int64_t from, int64_t end) {
  const CheckBlocks& blocks = Blocks();
  Scan scan;
  for (int64_t at = from; at < end && scan.stop < 0; at += blocks.request) {
    int64_t asked = std::min(blocks.request, RoundUp(end - at, Run.InputSector));
    int64_t in = ReadAt(Run.Input, at, blocks.input, asked);
    if (in < 0) {
      scan.inputFailed = true;
      scan.stop = at;
      break;
    }
    if (in < asked) scan.inputEnd = at + in;
    if (in == 0) break;
    int64_t out = ReadAt(Run.Output, at, blocks.output, asked);
    if (out < 0) {
      scan.unchecked = true;
      break;
    }
    ScanSectors(blocks, at, std::min({in, out, end - at}), scan);
  }
  return scan;
}

// One block at distances doubling from end: just after the proven sectors of the
// nearest block that holds some and differs nowhere, and of those after it up to the
// block tried before (16 MiB at most); floor when none does. `closer` is where the
// stretch already compared begins.
int64_t NearestProvenBlock(int64_t floor, int64_t end, int64_t closer, bool& differed) {
  for (int64_t distance = 2 * kWindow;; distance *= 2) {
    int64_t at = std::max(floor, end - distance);
    at -= at % Run.InputSector;
    if (at < floor) at = floor;
    Scan scan = ScanStretch(at, std::min(end, at + Blocks().request));
    differed = differed || scan.differed;
    if (scan.unchecked) return end;
    if (scan.stop < 0 && scan.proven > 0)
      return std::max(scan.proven,
                      ScanStretch(at, std::min(closer, at + kRefine)).proven);
    if (at == floor || end - distance <= floor) return floor;
    closer = at;
  }
}

}  // namespace

int64_t ProvenFrom(int64_t from, int64_t end) {
  const CheckBlocks& blocks = Blocks();
  for (int64_t at = from; at < end; at += blocks.request) {
    int64_t asked = std::min(blocks.request, RoundUp(end - at, Run.InputSector));
    int64_t in = ReadAt(Run.Input, at, blocks.input, asked);
    int64_t out = in > 0 ? ReadAt(Run.Output, at, blocks.output, asked) : -1;
    int64_t count = std::min({in, out, end - at});
    for (int64_t sector = 0; sector < count; sector += Run.InputSector) {
      int64_t length = std::min(Run.InputSector, count - sector);
      if (memcmp(blocks.input + sector, blocks.output + sector, length) != 0 ||
          AllZeros(blocks.input + sector, length))
        return at + sector;
    }
    if (count < asked) return at + std::max<int64_t>(count, 0);
  }
  return end;
}

TrustVerdict TrustedCopyEnd(int64_t floor, int64_t end, bool beyondZeros) {
  int64_t from = std::max(floor, end - kWindow);
  from -= from % Run.InputSector;
  if (from < floor) from = floor;
  Scan scan = ScanStretch(from, end);
  if (scan.unchecked) return {end, false};
  // Beyond the input's end there is nothing to copy, nor anything to compare.
  bool inputEnded = scan.inputEnd >= 0 && scan.stop < 0;
  if (inputEnded && (scan.proven == scan.inputEnd || scan.inputEnd == from))
    return {end, false};
  if (scan.proven > 0) return {scan.proven, scan.differed};
  if (!scan.differed && !beyondZeros) return {from, false};
  bool differed = scan.differed;
  int64_t proven =
      from > floor ? NearestProvenBlock(floor, end, from, differed) : floor;
  return {proven == floor && differed ? -1 : proven, differed};
}

void SayCopyGoesOnFrom(int64_t offset, bool differed) {
  WriteText(HexOffset(offset).text);
  WriteText(differed ? ": Output differs from the input; copying again from here"
                     : ": Output not shown to hold the input; copying again from here");
  WriteLineEnd();
}
