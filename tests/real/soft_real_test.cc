// SoftReal against the x87 unit: every operation the program uses, on random, boundary
// and the program's own operands, gives the same bits, faults and text (0-20 decimals).
// TAVO_REAL_SECONDS: batches for that long (make fuzz); TAVO_REAL_SEED: the seed, which
// the test prints; TAVO_REAL_PAIRS: random pairs in a batch (200000).
#include <algorithm>
#include <cfenv>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "console.h"  // FormatReal(long double), the program's own
#include "gtest/gtest.h"
#include "real_digest.h"
#include "soft_real.h"

size_t FormatReal(SoftReal value, int decimals, char* out);  // built with soft reals

namespace {

constexpr int kFaults = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;
constexpr int kBias = 16383;

bool softFaulted = false;
void NoteSoftFault() { softFaulted = true; }

std::string Hex(SoftReal s) {
  char text[40];
  snprintf(text, sizeof text, "%04x:%016llx", s.SignExponent(),
           static_cast<unsigned long long>(s.Significand()));
  return text;
}

std::string Hex(long double x) { return Hex(MakeReal<SoftReal>(BitsOf(x))); }

// A value held both ways; each operation on both must agree in bits and in faulting
// (the x87's faults masked, so that they only raise flags).
struct Both {
  long double x87;
  SoftReal soft;
};

Both FromBits(RealBits b) { return {MakeReal<long double>(b), MakeReal<SoftReal>(b)}; }
Both FromInteger(int64_t value) {
  return {static_cast<long double>(value), SoftReal(value)};
}

template <typename X87Op, typename SoftOp>
Both Apply(const char* what, Both a, Both b, X87Op x87Op, SoftOp softOp) {
  std::feclearexcept(FE_ALL_EXCEPT);
  volatile long double x87 = x87Op(a.x87, b.x87);
  bool x87Faulted = std::fetestexcept(kFaults) != 0;
  softFaulted = false;
  SoftReal soft = softOp(a.soft, b.soft);
  if (Hex(x87) != Hex(soft) || x87Faulted != softFaulted) {
    ADD_FAILURE() << Hex(a.x87) << ' ' << what << ' ' << Hex(b.x87) << ": x87 "
                  << Hex(x87) << (x87Faulted ? " (fault)" : "") << ", soft "
                  << Hex(soft) << (softFaulted ? " (fault)" : "");
  }
  return {x87, soft};
}

#define BOTH_OPERATOR(op)                                               \
  Both operator op(Both a, Both b) {                                    \
    return Apply(                                                       \
        #op, a, b, [](long double x, long double y) { return x op y; }, \
        [](SoftReal x, SoftReal y) { return x op y; });                 \
  }
BOTH_OPERATOR(+)
BOTH_OPERATOR(-)
BOTH_OPERATOR(*)
BOTH_OPERATOR(/)

void ExpectSameComparisons(Both a, Both b) {
  bool same =
      (a.x87 < b.x87) == (a.soft < b.soft) && (a.x87 > b.x87) == (a.soft > b.soft) &&
      (a.x87 == b.x87) == (a.soft == b.soft) && (a.x87 != b.x87) == (a.soft != b.soft);
  if (!same) ADD_FAILURE() << "comparisons of " << Hex(a.x87) << " and " << Hex(b.x87);
}

// The integer nearest, ilogb below 2^63 (where the program calls it), and the fault
// that the x87 raises for a value that rounds to 2^63 or beyond.
void ExpectSameIntegers(Both x) {
  std::feclearexcept(FE_ALL_EXCEPT);
  volatile long long x87 = std::llrint(x.x87);
  bool x87Faulted = std::fetestexcept(FE_INVALID) != 0;
  softFaulted = false;
  long long soft = llrint(x.soft);
  bool sameFault = x87Faulted == softFaulted;
  if (x87 != soft || !sameFault || (!x87Faulted && std::ilogb(x.x87) != ilogb(x.soft)))
    ADD_FAILURE() << "llrint or ilogb of " << Hex(x.x87) << ": x87 " << x87
                  << (x87Faulted ? " (fault)" : "") << ", soft " << soft
                  << (softFaulted ? " (fault)" : "");
}

// Texts of finite values; the digits come from llrint, ilogb and the operations above.
void ExpectSameText(Both value, int firstDecimals, int lastDecimals) {
  if (std::isnan(value.x87) || std::isinf(value.x87)) return;
  for (int decimals = firstDecimals; decimals <= lastDecimals; ++decimals) {
    char x87[kNumberTextMax], soft[kNumberTextMax];
    std::string x87Text(x87, FormatReal(value.x87, decimals, x87));
    std::string softText(soft, FormatReal(value.soft, decimals, soft));
    if (x87Text != softText)
      ADD_FAILURE() << Hex(value.x87) << " with " << decimals << " decimals: x87 "
                    << x87Text << ", soft " << softText;
  }
}

// Pairs through + - * / and the comparisons, every fifth result written. The second
// operand lies beside the first (cancelling sums), or where the product or quotient
// falls among the denormals, down to the last bit that can round up.
void RunOperandPairs(RealOperands& operands, int pairs) {
  for (int i = 0; i < pairs; ++i) {
    Both a = FromBits(operands.Next(static_cast<int>(operands.Bits() % 0x7FFF)));
    int exponent = a.soft.SignExponent() & 0x7FFF;
    int partner = i % 4 == 1   ? kBias - 1 - 32 - exponent
                  : i % 4 == 2 ? exponent + kBias + 32
                               : exponent;
    Both b = FromBits(operands.Next(std::clamp(partner, 1, 0x7FFE)));
    ExpectSameComparisons(a, b);
    Both results[] = {a + b, a - b, a * b, a / b};
    for (Both r : results)
      if (i % 5 == 0) ExpectSameText(r, i / 5 % 21, i / 5 % 21);
  }
}

// The report's and progress line's own formulas, written with 0 to 20 decimals.
void RunProgramFigures(RealOperands& operands, int rounds) {
  const Both kSecondsPerMs = {0.001L, SoftRealFromText("0.001")};
  const Both kMeaningful = {0.2L, SoftRealFromText("0.2")};
  const Both kKb = FromBits({kBias - 10, 1ull << 63}),
             kMb = FromBits({kBias - 20, 1ull << 63});
  const Both kPerSingleSpeed = FromInteger(1) / FromInteger(150);
  for (int i = 0; i < rounds; ++i) {
    Both bytes = FromInteger(operands.Count());
    int32_t ms = static_cast<int32_t>(i % 4 == 0 ? operands.Bits() % 1000
                                                 : operands.Bits() >> 33);
    Both seconds = FromInteger(ms) * kSecondsPerMs;
    ExpectSameComparisons(seconds, kMeaningful);
    // clang-format off
    Both share = FromInteger(operands.Count()) / FromInteger(operands.Count() + 1);
    std::vector<Both> figures = {bytes, bytes * kKb, bytes * kMb, seconds,
        share * FromInteger(100),
        bytes / (FromInteger(ms + 1) * kSecondsPerMs * FromInteger(1024))};
    // clang-format on
    if (ms != 0) {
      Both rate = bytes / seconds;
      figures.push_back(rate * kKb * kPerSingleSpeed);
      figures.push_back(rate * kMb);
    }
    for (Both figure : figures) ExpectSameText(figure, 0, 20);
  }
}

// Integers near powers of two, halves and quarters; boundaries and random values.
void RunIntegers(RealOperands& operands) {
  for (int shift = 0; shift < 63; ++shift) {
    for (int64_t delta = -3; delta <= 3; ++delta) {
      Both x = FromInteger(static_cast<int64_t>((1ull << shift) + delta));
      if (Hex(x.x87) != Hex(x.soft)) ADD_FAILURE() << "conversion of " << Hex(x.x87);
      Both half = x / FromInteger(2), quarter = x / FromInteger(4);
      for (Both y : {x, half, quarter, half + quarter}) ExpectSameIntegers(y);
      ExpectSameText(x, 0, 20);
    }
  }
  for (const RealBits& edge : kRealBoundaries)
    for (uint16_t sign : {0, 0x8000})
      ExpectSameIntegers(FromBits(
          {static_cast<uint16_t>(sign | edge.signExponent), edge.significand}));
  for (int i = 0; i < 1000; ++i)
    ExpectSameIntegers(FromBits(operands.Next(kBias + 40)));
}

// Products just below half the smallest denormal, the bit that breaks the tie far below
// those the shift keeps: (2^64 - 1)(2^63 + 1) = 2^127 + 2^63 - 1.
void RunDeepUnderflow() {
  const Both kOnes = FromBits({100, ~0ull});
  for (int shift = 60; shift <= 68; ++shift) {
    for (uint16_t sign : {0, 0x8000}) {
      auto exponent = static_cast<uint16_t>(sign | (16283 - shift));
      Both nearOne = FromBits({exponent, (1ull << 63) | 1});
      (void)(kOnes * nearOne / FromInteger(3));
      (void)(kOnes * FromBits({exponent, 1ull << 63}));
    }
  }
}

uint64_t FromEnvironment(const char* name, uint64_t otherwise) {
  const char* value = getenv(name);
  return value != nullptr ? strtoull(value, nullptr, 0) : otherwise;
}

TEST(SoftReal, EqualsTheX87BitForBit) {
  ASSERT_EQ(sizeof(long double), 16u) << "this test compares with the x87's format";
  SetSoftRealFaultHandler(NoteSoftFault);
  uint64_t seed = FromEnvironment("TAVO_REAL_SEED", 20261208);
  int pairs = static_cast<int>(FromEnvironment("TAVO_REAL_PAIRS", 200000));
  auto end = std::chrono::steady_clock::now() +
             std::chrono::seconds(FromEnvironment("TAVO_REAL_SECONDS", 0));
  RealOperands operands(seed);
  RunIntegers(operands);
  RunDeepUnderflow();
  uint64_t batches = 0;
  do {
    RunOperandPairs(operands, pairs);
    RunProgramFigures(operands, pairs / 40);
    ++batches;
  } while (!HasFailure() && std::chrono::steady_clock::now() < end);
  SetSoftRealFaultHandler(nullptr);
  printf("soft real: seed %llu, %llu batch(es) of %d pairs\n",
         static_cast<unsigned long long>(seed),
         static_cast<unsigned long long>(batches), pairs);
}

}  // namespace
