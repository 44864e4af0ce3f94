// Before a copy goes on, its last stretch is compared with the input: a device that
// dropped out may have handed over zeros as data, and a write that failed may have
// left a hole. Once the copy went on past them they would stay for ever.
#include <algorithm>
#include <cstring>

#include "console.h"
#include "exit_code.h"
#include "rescue_map.h"
#include "resume_check.h"
#include "run_record.h"

namespace {

constexpr int64_t kWindow = 1 << 20;   // compared before the resume offset
constexpr int64_t kRequest = 1 << 16;  // bytes per read, whole sectors of any disk

// Two blocks of `request` bytes, page-aligned as a disk read uncached needs them;
// like ReadBuffer they stay until the process ends.
struct CheckBlocks {
  int64_t request;
  uint8_t* input;
  uint8_t* output;
};

int64_t RoundUp(int64_t bytes, int64_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

CheckBlocks ReserveBlocks() {
  int64_t request = RoundUp(kRequest, Run.InputSector);
  uint8_t* memory =
      static_cast<uint8_t*>(VirtualAlloc(nullptr, static_cast<SIZE_T>(2 * request),
                                         MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (memory == nullptr)
    FatalError("Fatal error: not enough memory for the resume check");
  return {request, memory, memory + request};
}

// The bytes one read delivered at offset, or -1 when it failed.
int64_t ReadAt(HANDLE file, int64_t offset, uint8_t* block, int64_t count) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN);
  DWORD got = 0;
  if (!ReadFile(file, block, static_cast<DWORD>(count), &got, nullptr)) return -1;
  return got;
}

// How many bytes from offset on both the input and the output delivered: 0 at the
// input's end, -1 when a read failed (what it covers is not compared).
int64_t ReadBoth(const CheckBlocks& blocks, int64_t offset, int64_t count) {
  int64_t in = ReadAt(Run.Input, offset, blocks.input, count);
  if (in <= 0) return in;
  int64_t out = ReadAt(Run.Output, offset, blocks.output, count);
  return out < 0 ? -1 : std::min(in, out);
}

struct Comparison {
  bool compared = false;
  bool firstAgrees = false;  // the first sector compared
  int64_t firstDiffers = -1;
};

// Sector by sector: where a copy went wrong, it went wrong in whole sectors.
void CompareSectors(const CheckBlocks& blocks, int64_t offset, int64_t count,
                    Comparison& c) {
  for (int64_t at = 0; at < count; at += Run.InputSector) {
    int64_t length = std::min(Run.InputSector, count - at);
    bool same = memcmp(blocks.input + at, blocks.output + at, length) == 0;
    if (!c.compared) c.firstAgrees = same;
    c.compared = true;
    if (!same && c.firstDiffers < 0) c.firstDiffers = offset + at;
  }
}

// [from, end) of the input against the output, in whole requests from a sector.
Comparison CompareWindow(const CheckBlocks& blocks, int64_t from, int64_t end) {
  Comparison c;
  for (int64_t at = from; at < end; at += blocks.request) {
    int64_t asked = std::min(blocks.request, RoundUp(end - at, Run.InputSector));
    int64_t got = ReadBoth(blocks, at, asked);
    if (got == 0) break;
    if (got > 0) CompareSectors(blocks, at, std::min(got, end - at), c);
  }
  return c;
}

// Just after the nearest block before the window where the output agrees with the
// input: one block at distances doubling from end, down to offset 0; -1 when none
// agrees.
int64_t AfterNearestAgreement(const CheckBlocks& blocks, int64_t end) {
  for (int64_t distance = 2 * kWindow;; distance *= 2) {
    int64_t at = std::max<int64_t>(0, end - distance);
    at -= at % Run.InputSector;
    if (ReadBoth(blocks, at, blocks.request) == blocks.request &&
        memcmp(blocks.input, blocks.output, blocks.request) == 0) {
      return at + blocks.request;
    }
    if (at == 0) return -1;
  }
}

[[noreturn]] void EndAsNotACopy() {
  WriteText("     Output file is not a copy of the input, exiting - /n starts over");
  WriteLineEnd();
  ExitWithCode(kExitCannotOpen);
}

// Where the copy goes on instead of Position: the first sector that differs, unless
// the window's first sector differs already, when the difference may reach further
// back than the window. Sectors that agree after it prove little: another file may
// end in zeros too.
int64_t SoundResumeOffset(const CheckBlocks& blocks, int64_t from, int64_t end) {
  Comparison c = CompareWindow(blocks, from, end);
  if (c.firstDiffers < 0) return Run.Position;
  if (c.firstAgrees) return c.firstDiffers;
  int64_t after = from > 0 ? AfterNearestAgreement(blocks, end) : -1;
  if (after < 0) EndAsNotACopy();
  return after;
}

}  // namespace

// A window of the input's last MiB before where the copy goes on, or before the
// input's end when the output is longer: beyond it there is nothing to compare.
// A map read from its file says itself which parts of the output hold the input.
void CheckResume() {
  if (!Run.OutputEnabled || !Run.ResumeMode || Run.BackupMode || Run.Position <= 0 ||
      RescueMapLoaded())
    return;
  int64_t end = Run.Position;
  if (Run.InputSize > 0 && Run.InputSize < end) end = Run.InputSize;
  int64_t from = std::max<int64_t>(0, end - kWindow);
  from -= from % Run.InputSector;
  int64_t resumeAt = SoundResumeOffset(ReserveBlocks(), from, end);
  if (resumeAt == Run.Position) return;
  Run.Position = resumeAt;
  WriteText(HexOffset(Run.Position).text);
  WriteText(": Output differs from the input; copying again from here");
  WriteLineEnd();
}
