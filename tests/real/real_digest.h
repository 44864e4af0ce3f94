// Operands for comparing reals with the x87 unit, and a digest of fixed pairs of them
// through + - * /, each result's bits and text (0 to 20 decimals) hashed: any reals
// with the x87's format and rules give the x87's digest, so that a port's software
// reals are checked where no x87 unit is at hand.
#ifndef TAVO_TESTS_REAL_REAL_DIGEST_H_
#define TAVO_TESTS_REAL_REAL_DIGEST_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <type_traits>

constexpr uint64_t kRealDigestPairs = 20000;
// What the x87 unit gives.
constexpr uint64_t kX87RealDigest = 293663709145060593;

// The format's boundaries, and the integers' end at 2^63; infinity last.
struct RealBits {
  uint16_t signExponent;
  uint64_t significand;
};

// Reals to and from their bits; long double in the x87's layout, the significand then
// sign and exponent. The branch for the other type is never compiled.
template <typename R>
R MakeReal(RealBits b) {
  if constexpr (std::is_same_v<R, long double>) {
    R x = 0;
    memcpy(&x, &b.significand, 8);
    memcpy(reinterpret_cast<char*>(&x) + 8, &b.signExponent, 2);
    return x;
  } else {
    return R::FromParts(b.signExponent, b.significand);
  }
}

template <typename R>
RealBits BitsOf(const R& x) {
  RealBits b;
  if constexpr (std::is_same_v<R, long double>) {
    memcpy(&b.significand, &x, 8);
    memcpy(&b.signExponent, reinterpret_cast<const char*>(&x) + 8, 2);
  } else {
    b = {x.SignExponent(), x.Significand()};
  }
  return b;
}
// clang-format off
inline constexpr RealBits kRealBoundaries[] = {
    {0, 0}, {0, 1}, {0, ~0ull >> 1}, {1, 1ull << 63},  // 0, denormals, smallest normal
    {0x7FFE, ~0ull}, {16383, 1ull << 63}, {16383, (1ull << 63) | 1},  // largest, 1, 1+
    {16382, ~0ull}, {16383 - 64, 1ull << 63}, {16383 - 64, 3ull << 62},  // 1-, ulps
    {16383 + 62, ~0ull - 2}, {16383 + 62, ~0ull},  // 2^63 - 1.5, 2^63 - 0.5
    {16383 + 63, 1ull << 63}, {16383 + 63, (1ull << 63) | 1}, {16383 + 64, 1ull << 63},
    {0x7FFF, 1ull << 63}};
// clang-format on

// Random bits, the format's boundaries, few significant bits (exact results and ties),
// and neighbours of a given exponent.
class RealOperands {
 public:
  explicit RealOperands(uint64_t seed) : random_(seed) {}

  RealBits Next(int nearExponent) {
    uint64_t pick = random_() % 8;
    uint16_t sign = (random_() & 1) ? 0x8000 : 0;
    uint64_t significand = random_() | (1ull << 63);
    int exponent = nearExponent + static_cast<int>(random_() % 141) - 70;
    if (pick == 0) {  // a finite boundary
      const RealBits& b = kRealBoundaries[random_() % (std::size(kRealBoundaries) - 1)];
      return {static_cast<uint16_t>(sign | b.signExponent), b.significand};
    }
    if (pick == 1 || pick == 2) significand &= ~0ull << (random_() % 64);  // few bits
    if (pick == 3) exponent = random_() % 0x7FFF;  // anywhere, denormals included
    if (exponent <= 0) {  // a denormal: the significand shifted down to exponent 1
      significand = exponent <= -63 ? 0 : significand >> (1 - exponent);
      exponent = 0;
    }
    return {static_cast<uint16_t>(sign | std::min(exponent, 0x7FFE)), significand};
  }

  uint64_t Bits() { return random_(); }
  // An integer of a random magnitude, from 0 to 2^63 - 1.
  int64_t Count() { return static_cast<int64_t>(Bits() >> (1 + Bits() % 63)); }

 private:
  std::mt19937_64 random_;
};

// format(value, decimals, out).
template <typename Real, typename Format>
uint64_t RealDigest(Format format) {
  RealOperands operands(4821);
  uint64_t digest = 1469598103934665603ull;  // FNV-1a
  auto mix = [&digest](uint64_t value) {
    for (int i = 0; i < 8; ++i, value >>= 8)
      digest = (digest ^ (value & 0xFF)) * 1099511628211ull;
  };
  auto operand = [&operands](int near) { return MakeReal<Real>(operands.Next(near)); };
  for (uint64_t i = 0; i < kRealDigestPairs; ++i) {
    int near = static_cast<int>(operands.Bits() % 0x7FFF);
    Real a = operand(near), b = operand(i % 2 == 0 ? near : 16383 - (near - 16383) / 2);
    Real results[] = {a + b, a - b, a * b, a / b};
    for (const Real& r : results) {
      RealBits bits = BitsOf(r);
      mix(bits.significand), mix(bits.signExponent);
      if ((bits.signExponent & 0x7FFF) == 0x7FFF) continue;  // faults: no text
      char text[64];
      size_t length = format(r, static_cast<int>(i % 21), text);
      for (size_t c = 0; c < length; ++c) mix(static_cast<unsigned char>(text[c]));
    }
  }
  return digest;
}

#endif  // TAVO_TESTS_REAL_REAL_DIGEST_H_
