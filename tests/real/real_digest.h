// A digest of fixed random operand pairs through + - * /, each result's bits and text
// (0 to 20 decimals) hashed: any reals with the x87's format and rules give the x87's
// digest, so that a port's software reals are checked where no x87 unit is at hand.
#ifndef TAVO_TESTS_REAL_REAL_DIGEST_H_
#define TAVO_TESTS_REAL_REAL_DIGEST_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>

constexpr uint64_t kRealDigestPairs = 20000;
// What the x87 unit gives.
constexpr uint64_t kX87RealDigest = 71124512132169588;

// The x87's layout: the significand, then sign and exponent. Templates, so that only
// a build with the x87's format instantiates them.
template <typename X87 = long double>
X87 X87FromParts(uint16_t signExponent, uint64_t significand) {
  X87 x = 0;
  memcpy(&x, &significand, 8);
  memcpy(reinterpret_cast<char*>(&x) + 8, &signExponent, 2);
  return x;
}

template <typename X87 = long double>
void X87Parts(const X87& x, uint16_t& signExponent, uint64_t& significand) {
  memcpy(&significand, &x, 8);
  memcpy(&signExponent, reinterpret_cast<const char*>(&x) + 8, 2);
}

// make(signExponent, significand), parts(value, signExponent&, significand&),
// format(value, decimals, out).
template <typename Real, typename Make, typename Parts, typename Format>
uint64_t RealDigest(Make make, Parts parts, Format format) {
  std::mt19937_64 random(4821);
  uint64_t digest = 1469598103934665603ull;  // FNV-1a
  auto mix = [&digest](uint64_t value) {
    for (int i = 0; i < 8; ++i, value >>= 8)
      digest = (digest ^ (value & 0xFF)) * 1099511628211ull;
  };
  auto operand = [&random, &make](int near) {
    uint64_t significand = random() | (1ull << 63);
    if (random() % 3 == 0) significand &= ~0ull << (random() % 64);
    int exponent = random() % 4 == 0 ? static_cast<int>(random() % 0x7FFF)
                                     : near + static_cast<int>(random() % 129) - 64;
    if (exponent <= 0) {
      significand = exponent <= -63 ? 0 : significand >> (1 - exponent);
      exponent = 0;
    }
    if (exponent > 0x7FFE) exponent = 0x7FFE;
    uint16_t sign = (random() & 1) ? 0x8000 : 0;
    return make(static_cast<uint16_t>(sign | exponent), significand);
  };
  for (uint64_t i = 0; i < kRealDigestPairs; ++i) {
    int near = static_cast<int>(random() % 0x7FFF);
    Real a = operand(near), b = operand(i % 2 == 0 ? near : 16383 - (near - 16383) / 2);
    Real results[] = {a + b, a - b, a * b, a / b};
    for (const Real& r : results) {
      uint16_t signExponent;
      uint64_t significand;
      parts(r, signExponent, significand);
      mix(significand), mix(signExponent);
      if ((signExponent & 0x7FFF) == 0x7FFF) continue;  // faults: no text
      char text[64];
      size_t length = format(r, static_cast<int>(i % 21), text);
      for (size_t c = 0; c < length; ++c) mix(static_cast<unsigned char>(text[c]));
    }
  }
  return digest;
}

#endif  // TAVO_TESTS_REAL_REAL_DIGEST_H_
