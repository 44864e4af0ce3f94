// Any finite extended real below 10^36, with 0 to 20 decimals: the text is a sign,
// digits and the decimals asked for, and reads back to within the rounding of those
// decimals and of the 18 significant digits the text is built from. No arithmetic
// fault is raised on the way.
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "console.h"

namespace {

bool WellFormed(const char* text, size_t length, int decimals) {
  size_t start = text[0] == '-' ? 1 : 0, i = start;
  while (i < length && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == start || (i - start > 1 && text[start] == '0')) return false;
  if (decimals == 0) return i == length;
  if (i >= length || text[i] != '.') return false;
  size_t fraction = 0;
  for (++i; i < length && text[i] >= '0' && text[i] <= '9'; ++i) ++fraction;
  return i == length && fraction == static_cast<size_t>(decimals);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t significand = 0;
  uint16_t exponentBits = 0;
  if (size < sizeof significand + sizeof exponentBits + 1) return 0;
  memcpy(&significand, data, sizeof significand);
  memcpy(&exponentBits, data + sizeof significand, sizeof exponentBits);
  int decimals = data[sizeof significand + sizeof exponentBits] % 21;
  // Every exponent from below the smallest subnormal up to 2^120.
  int exponent = (exponentBits & 0x7FFF) % 16600 - 16480;
  long double value = ldexpl(static_cast<long double>(significand), exponent - 63);
  if (exponentBits & 0x8000) value = -value;
  if (fabsl(value) >= 1e36L) return 0;

  char text[kNumberTextMax + 1];
  std::feclearexcept(FE_ALL_EXCEPT);
  size_t length = FormatReal(value, decimals, text);
  if (std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)) __builtin_trap();
  if (length == 0 || length > kNumberTextMax) __builtin_trap();
  if (!WellFormed(text, length, decimals)) __builtin_trap();
  text[length] = '\0';
  long double back = strtold(text, nullptr);
  long double allowed =
      0.5L * powl(10.0L, -decimals) + 6e-18L * fmaxl(1.0L, fabsl(value));
  if (fabsl(back - value) > allowed) __builtin_trap();
  return 0;
}
