// The order of a pass: requests against areas alone, and whole passes over a modelled
// medium whose bad bytes are known, the map taking each outcome as the program's does.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "pass_plan.h"

namespace rescue {
namespace {

using Requests = std::vector<std::pair<int64_t, int64_t>>;

// Non-tried areas on the buffer's grid, then failed ones a sector at a time, then the
// map's old bad sectors (not this run's). A 512-byte map on 4096-byte sectors still
// gives whole sectors; an input without a size is read on into the open end.
TEST(PassPlan, NonTriedThenFailedThenOldBadSectors) {
  const struct {
    AreaList areas;
    PassPlan plan;
    Requests expected;
  } cases[] = {
      // clang-format off
      {{{0, 1000, kNonTried}, {1000, 1048, kRescued}, {2048, 1024, kNonTrimmed},
        {3072, 512, kBadNow}, {3584, 512, kBadSector}, {4096, 700, kNonScraped},
        {4796, 4, kNonTried}},
       StartPass(2048, 512, 1, 0),
       {{0, 1000}, {4796, 4}, {2048, 512}, {2560, 512}, {4096, 512}, {4608, 188},
        {3584, 512}}},
      {{{0, 512, kRescued}, {512, 4096, kNonTried}, {4608, 512, kRescued},
        {5120, 3584, kNonTrimmed}, {8704, 100, kNonTried}},
       StartPass(8192, 4096, 4096, 0),
       {{0, 8192}, {8192, 4096}, {4096, 4096}, {8192, 4096}}},
      {{{0, 100, kRescued}, {100, kOpenEnd - 100, kNonTried}},
       StartPass(4096, 512, 1, 0),
       {{100, 3996}, {4096, 4096}, {8192, 4096}}},
  };  // clang-format on
  for (const auto& c : cases) {
    Requests requests;
    PassPlan plan = c.plan;
    int64_t offset = 0, size = 0;
    while (requests.size() < c.expected.size() &&
           NextRequest(c.areas, plan, offset, size))
      requests.push_back({offset, size});
    EXPECT_EQ(requests, c.expected);
  }
}

struct Read {
  int64_t offset, size;
  bool ok;
  int phase;
};

// A medium of `size` bytes whose requests fail when they reach a bad byte, as a disk's
// do; a pass over it, from a map of one non-tried area, to its end.
struct Pass {
  std::vector<Read> reads;
  AreaList areas;
};
Pass Play(int64_t size, const Requests& bad, PassPlan plan) {
  Pass pass;
  pass.areas = {{0, size, kNonTried}};
  int64_t offset = 0, length = 0;
  while (NextRequest(pass.areas, plan, offset, length)) {
    bool ok = std::none_of(bad.begin(), bad.end(), [&](const auto& stretch) {
      return offset < stretch.first + stretch.second && stretch.first < offset + length;
    });
    char failed = length > plan.sectorSize ? kNonTrimmed : kBadNow;
    SetStatus(pass.areas, offset, length, ok ? kRescued : failed);
    TakeOutcome(pass.areas, plan, offset, length, ok);
    pass.reads.push_back({offset, length, ok, plan.phase});
    if (pass.reads.size() > 100000) break;
  }
  return pass;
}

// What the map ends with: every bad byte bad, every other one rescued.
std::string Statuses(const AreaList& areas) {
  std::string text;
  for (const Area& area : areas)
    text += std::to_string(area.size) + (area.status == kBadNow ? '-' : area.status);
  return text;
}

// A failing stretch in the middle of 16 MiB, in 32 KiB requests, skipping up to 256
// KiB: the first sweep skips ahead of each failure, by 64 KiB, then doubling; each byte
// of the non-tried area is asked for by exactly one sweep request, and the map ends
// with the stretch bad. (The good data read before any sector of the stretch, on a
// medium the kernel serves: the cli case good_data_first.)
TEST(PassPlan, ReadsTheGoodDataFirst) {
  const int64_t kMiB = 1 << 20, kStretch = 6 * kMiB + 1000, kLength = 3 * kMiB / 2;
  Pass pass =
      Play(16 * kMiB, {{kStretch, kLength}}, StartPass(32768, 512, 1, 256 << 10));
  ASSERT_LT(pass.reads.size(), 100000u);
  std::vector<int> sweptTimes(16 * kMiB / 512);
  std::vector<int64_t> skips;
  for (size_t i = 0; i < pass.reads.size(); ++i) {
    const Read& read = pass.reads[i];
    if (read.phase <= kSweepRest) {
      for (int64_t at = read.offset; at < read.offset + read.size; at += 512)
        ++sweptTimes[at / 512];
    }
    if (read.phase == kSweepForward && !read.ok)
      skips.push_back(pass.reads[i + 1].offset - (read.offset + read.size));
  }
  EXPECT_EQ(std::count(sweptTimes.begin(), sweptTimes.end(), 1),
            static_cast<long>(sweptTimes.size()));
  const int64_t kCap = 256 << 10;
  EXPECT_EQ(skips,
            (std::vector<int64_t>{64 << 10, 128 << 10, kCap, kCap, kCap, kCap, kCap}));
  const int64_t head = kStretch / 512 * 512,
                tail = (kStretch + kLength + 511) / 512 * 512;
  EXPECT_EQ(Statuses(pass.areas), std::to_string(head) + "+" +
                                      std::to_string(tail - head) + "-" +
                                      std::to_string(16 * kMiB - tail) + "+");
}

// A good read halves the skip, and below the first skip there is none: two single bad
// sectors far apart each cost one failure and one skip of 64 KiB, whatever came
// between; a skip that reaches the end of the input ends the sweep.
TEST(PassPlan, SkipFallsBackAfterGoodReads) {
  const int64_t kMiB = 1 << 20;
  Pass pass = Play(4 * kMiB, {{kMiB, 512}, {3 * kMiB, 512}, {4 * kMiB - 512, 512}},
                   StartPass(32768, 512, 1, kMiB));
  Requests firstSweepFailures;
  for (size_t i = 0; i < pass.reads.size(); ++i) {
    const Read& read = pass.reads[i];
    if (read.phase == kSweepForward && !read.ok)
      firstSweepFailures.push_back({read.offset, pass.reads[i + 1].offset});
  }
  EXPECT_EQ(firstSweepFailures, (Requests{{kMiB, kMiB + (96 << 10)},
                                          {3 * kMiB, 3 * kMiB + (96 << 10)},
                                          {4 * kMiB - 32768, 3 * kMiB + (64 << 10)}}));
}

// On an uncached input of 4096-byte sectors, every request of a pass with skipping,
// trimming and scraping starts and ends on the sector grid, though the map's edges are
// 512-byte ones.
TEST(PassPlan, RequestsKeepToTheSectorGrid) {
  Pass pass = Play(1 << 20, {{300000, 70000}}, StartPass(65536, 4096, 4096, 65536));
  for (const Read& read : pass.reads)
    EXPECT_TRUE(read.offset % 4096 == 0 && read.size % 4096 == 0)
        << read.offset << " " << read.size;
  EXPECT_EQ(Statuses(pass.areas), "299008+73728-675840+");
}

}  // namespace
}  // namespace rescue
