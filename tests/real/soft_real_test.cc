// SoftReal against the x87 unit, bit for bit: every operation the program uses, on
// random and boundary operands and on the figures the program really forms, gives
// the same bits, the same faults, and the same text with 0 to 20 decimals.
// TAVO_REAL_SECONDS runs batches for that long instead of one (make fuzz);
// TAVO_REAL_SEED picks the seed, which the test prints; TAVO_REAL_PAIRS the number
// of random pairs in a batch (200000).
#include <algorithm>
#include <cfenv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "console.h"  // FormatReal(long double), the program's own
#include "gtest/gtest.h"
#include "real_digest.h"
#include "soft_real.h"

size_t FormatReal(SoftReal value, int decimals, char* out);  // built with soft reals

namespace {

constexpr int kFaults = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

SoftReal operator""_soft(const char* text) { return SoftRealFromText(text); }

bool softFaulted = false;
void NoteSoftFault() { softFaulted = true; }

SoftReal SoftOf(long double x) {
  uint64_t significand;
  uint16_t signExponent;
  memcpy(&significand, &x, 8);
  memcpy(&signExponent, reinterpret_cast<const char*>(&x) + 8, 2);
  return SoftReal::FromParts(signExponent, significand);
}

long double X87Of(uint16_t signExponent, uint64_t significand) {
  long double x = 0;
  memcpy(&x, &significand, 8);
  memcpy(reinterpret_cast<char*>(&x) + 8, &signExponent, 2);
  return x;
}

std::string Hex(long double x) {
  SoftReal s = SoftOf(x);
  char text[40];
  snprintf(text, sizeof text, "%04x:%016llx", s.SignExponent(),
           static_cast<unsigned long long>(s.Significand()));
  return text;
}

std::string Hex(SoftReal s) { return Hex(X87Of(s.SignExponent(), s.Significand())); }

// A value held both ways; each operation runs on both and must agree in its bits and
// in whether it faulted (the x87's faults masked here, so that they only raise flags).
struct Both {
  long double x87;
  SoftReal soft;
};

template <typename X87Op, typename SoftOp>
Both Apply(const char* what, Both a, Both b, X87Op x87Op, SoftOp softOp) {
  std::feclearexcept(FE_ALL_EXCEPT);
  volatile long double x87 = x87Op(a.x87, b.x87);
  bool x87Faulted = std::fetestexcept(kFaults) != 0;
  softFaulted = false;
  SoftReal soft = softOp(a.soft, b.soft);
  SoftReal x87Bits = SoftOf(x87);
  if (x87Bits.SignExponent() != soft.SignExponent() ||
      x87Bits.Significand() != soft.Significand() || x87Faulted != softFaulted) {
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

Both FromInteger(int64_t value) {
  return {static_cast<long double>(value), SoftReal(value)};
}
Both FromBits(uint16_t signExponent, uint64_t significand) {
  return {X87Of(signExponent, significand),
          SoftReal::FromParts(signExponent, significand)};
}

void ExpectSameComparisons(Both a, Both b) {
  bool same =
      (a.x87 < b.x87) == (a.soft < b.soft) && (a.x87 > b.x87) == (a.soft > b.soft) &&
      (a.x87 == b.x87) == (a.soft == b.soft) && (a.x87 != b.x87) == (a.soft != b.soft);
  if (!same) ADD_FAILURE() << "comparisons of " << Hex(a.x87) << " and " << Hex(b.x87);
}

// Texts of finite values; the digits come from llrint, ilogb and the operations above.
void ExpectSameText(Both value, int firstDecimals, int lastDecimals) {
  if (std::isnan(value.x87) || std::isinf(value.x87)) return;
  for (int decimals = firstDecimals; decimals <= lastDecimals; ++decimals) {
    char x87[kNumberTextMax], soft[kNumberTextMax];
    std::string x87Text(x87, FormatReal(value.x87, decimals, x87));
    std::string softText(soft, FormatReal(value.soft, decimals, soft));
    if (x87Text != softText) {
      ADD_FAILURE() << Hex(value.x87) << " with " << decimals << " decimals: x87 "
                    << x87Text << ", soft " << softText;
    }
  }
}

// The operand kinds: fully random bits, the boundaries of the format, numbers with
// few significant bits (exact results and ties), and neighbours of a given exponent.
class Operands {
 public:
  explicit Operands(uint64_t seed) : random_(seed) {}

  Both Next(int nearExponent) {
    uint64_t pick = random_() % 8;
    uint16_t sign = (random_() & 1) ? 0x8000 : 0;
    uint64_t significand = random_() | (1ull << 63);
    if (pick == 0) return Boundary(sign);
    if (pick == 1 || pick == 2) significand &= ~0ull << (random_() % 64);  // few bits
    int exponent;
    if (pick == 3) {
      exponent = random_() % 0x7FFF;  // anywhere, denormals included
    } else {
      exponent = nearExponent + static_cast<int>(random_() % 141) - 70;
    }
    if (exponent <= 0) {  // a denormal: the significand shifted down to exponent 1
      int shift = 1 - exponent;
      significand = shift >= 64 ? 0 : significand >> shift;
      exponent = 0;
    }
    if (exponent >= 0x7FFF) exponent = 0x7FFE;
    return FromBits(static_cast<uint16_t>(sign | exponent), significand);
  }

  uint64_t Bits() { return random_(); }

 private:
  Both Boundary(uint16_t sign) {
    static const struct {
      uint16_t exponent;
      uint64_t significand;
    } kBoundaries[] = {
        {0, 0},                     // zero
        {0, 1},                     // the smallest denormal
        {0, ~0ull >> 1},            // the largest denormal
        {1, 1ull << 63},            // the smallest normal
        {0x7FFE, ~0ull},            // the largest finite
        {16383, 1ull << 63},        // 1
        {16383, (1ull << 63) | 1},  // 1 + one unit
        {16382, ~0ull},             // 1 - half a unit
        {16383 + 62, ~0ull},        // 2^63 - 1
        {16383 + 63, 1ull << 63},   // 2^63
        {16383 + 63, (1ull << 63) | 1},
        {16383 - 64, 1ull << 63},  // half a unit at 1
        {16383 - 64, 3ull << 62},  // three quarters of it
    };
    const auto& b =
        kBoundaries[random_() % (sizeof kBoundaries / sizeof kBoundaries[0])];
    return FromBits(static_cast<uint16_t>(sign | b.exponent), b.significand);
  }

  std::mt19937_64 random_;
};

// The exponent near which the second operand is drawn: beside the first (sums that
// cancel, quotients near 1), or where the product or the quotient of the two falls
// among the denormals, down to the last bit that can round up.
int PartnerExponent(int kind, int exponent) {
  const int kBias = 16383;
  if (kind == 1) return kBias - 1 - 32 - exponent;
  if (kind == 2) return exponent + kBias + 32;
  return exponent;
}

// Pairs through + - * / and the comparisons; every fifth result is written too.
void RunOperandPairs(Operands& operands, int pairs) {
  for (int i = 0; i < pairs; ++i) {
    Both a = operands.Next(static_cast<int>(operands.Bits() % 0x7FFF));
    int partner = PartnerExponent(i % 4, a.soft.SignExponent() & 0x7FFF);
    Both b = operands.Next(std::min(std::max(partner, 1), 0x7FFE));
    ExpectSameComparisons(a, b);
    Both results[] = {a + b, a - b, a * b, a / b};
    if (i % 5 == 0) {
      int decimals = i / 5 % 21;
      for (Both r : results) ExpectSameText(r, decimals, decimals);
    }
  }
}

// An integer of a random magnitude, from 0 to 2^63 - 1.
int64_t Count(Operands& operands) {
  return static_cast<int64_t>(operands.Bits() >> (1 + operands.Bits() % 63));
}

// The program's own figures, the same formulas as its report and progress line,
// each written with 0 to 20 decimals.
void RunProgramFigures(Operands& operands, int rounds) {
  const Both kSecondsPerMs = {0.001L, 0.001_soft};
  const Both kMeaningful = {0.2L, 0.2_soft};
  const Both kPerSingleSpeed = Both{1.0L, 1.0_soft} / Both{150.0L, 150.0_soft};
  const Both kKb = {0x1p-10L, 0x1p-10_soft}, kMb = {0x1p-20L, 0x1p-20_soft};
  const Both kHundred = {100.0L, 100.0_soft}, kKilo = {1024.0L, 1024.0_soft};
  for (int i = 0; i < rounds; ++i) {
    Both bytes = FromInteger(Count(operands));
    int32_t ms = static_cast<int32_t>(i % 4 == 0 ? operands.Bits() % 1000
                                                 : operands.Bits() >> 33);
    Both seconds = FromInteger(ms) * kSecondsPerMs;
    ExpectSameComparisons(seconds, kMeaningful);
    Both figures[8] = {bytes, bytes * kKb, bytes * kMb, seconds};
    int count = 4;
    if (ms != 0) {
      Both rate = bytes / seconds;
      figures[count++] = rate * kKb * kPerSingleSpeed;
      figures[count++] = rate * kMb;
    }
    Both size = FromInteger(Count(operands) + 1);
    figures[count++] = FromInteger(Count(operands)) / size * kHundred;
    Both scale = FromInteger(ms + 1) * kSecondsPerMs * kKilo;
    figures[count++] = bytes / scale;
    for (int f = 0; f < count; ++f) ExpectSameText(figures[f], 0, 20);
  }
}

// Values near 2^63 and at every power of two, converted, rounded to integers and
// measured (llrint and ilogb stay below 2^63, where the program calls them).
void RunIntegerEdges(Operands& operands) {
  for (int shift = 0; shift < 63; ++shift) {
    for (int64_t delta = -3; delta <= 3; ++delta) {
      int64_t value = static_cast<int64_t>((1ull << shift) + delta);
      Both x = FromInteger(value);
      if (Hex(x.x87) != Hex(x.soft)) ADD_FAILURE() << "conversion of " << value;
      Both half = x / FromInteger(2), quarter = x / FromInteger(4);
      for (Both y : {x, half, quarter, half + quarter}) {
        if (std::llrint(y.x87) != llrint(y.soft) || std::ilogb(y.x87) != ilogb(y.soft))
          ADD_FAILURE() << "llrint or ilogb of " << Hex(y.x87);
      }
      ExpectSameText(x, 0, 20);
    }
  }
  for (int i = 0; i < 1000; ++i) {
    Both a = operands.Next(16383 + 40);
    if (std::isinf(a.x87) || std::fabs(a.x87) >= 0x1p62L) continue;
    if (std::llrint(a.x87) != llrint(a.soft))
      ADD_FAILURE() << "llrint of " << Hex(a.x87);
  }
}

// Around 2^63, where 64-bit integers end: the x87 faults on a value that rounds to
// 2^63 or beyond, and only -2^63 of those fits.
void RunIntegerRange() {
  const struct {
    uint16_t exponent;
    uint64_t significand;
  } kEdges[] = {
      {16383 + 62, ~0ull - 2},         // 2^63 - 1.5
      {16383 + 62, ~0ull},             // 2^63 - 0.5, rounding to 2^63
      {16383 + 63, 1ull << 63},        // 2^63
      {16383 + 63, (1ull << 63) | 1},  // 2^63 + 1
      {16383 + 64, 1ull << 63},        // 2^64
      {0x7FFF, 1ull << 63},            // infinity
  };
  for (const auto& edge : kEdges) {
    for (uint16_t sign : {0, 0x8000}) {
      Both x = FromBits(static_cast<uint16_t>(sign | edge.exponent), edge.significand);
      std::feclearexcept(FE_ALL_EXCEPT);
      volatile long long x87 = std::llrint(x.x87);
      bool x87Faulted = std::fetestexcept(FE_INVALID) != 0;
      softFaulted = false;
      long long soft = llrint(x.soft);
      if (x87 != soft || x87Faulted != softFaulted)
        ADD_FAILURE() << "llrint of " << Hex(x.x87) << ": x87 " << x87
                      << (x87Faulted ? " (fault)" : "") << ", soft " << soft
                      << (softFaulted ? " (fault)" : "");
    }
  }
}

// Products just below half the smallest denormal, whose one bit of difference from
// the tie lies far below the bits that shifting into the denormal range keeps: the
// significands (2^64 - 1)(2^63 + 1) give 2^127 + 2^63 - 1.
void RunDeepUnderflow() {
  const Both kOnes = FromBits(100, ~0ull);
  for (int shift = 60; shift <= 68; ++shift) {
    for (uint16_t sign : {0, 0x8000}) {
      Both nearOne =
          FromBits(static_cast<uint16_t>(sign | (16283 - shift)), (1ull << 63) | 1);
      Both exact = FromBits(static_cast<uint16_t>(sign | (16283 - shift)), 1ull << 63);
      (void)(kOnes * nearOne);
      (void)(kOnes * exact);
      (void)(nearOne * kOnes / FromInteger(3));
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
  Operands operands(seed);
  RunIntegerEdges(operands);
  RunIntegerRange();
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

// The digest that the units of every build compare with (the x87's own, checked by
// the units where the program's reals are the x87's) is the soft type's too.
TEST(SoftReal, GivesTheX87Digest) {
  auto parts = [](SoftReal x, uint16_t& signExponent, uint64_t& significand) {
    signExponent = x.SignExponent();
    significand = x.Significand();
  };
  auto format = [](SoftReal x, int decimals, char* out) {
    return FormatReal(x, decimals, out);
  };
  EXPECT_EQ(RealDigest<SoftReal>(SoftReal::FromParts, parts, format), kX87RealDigest);
}

}  // namespace
