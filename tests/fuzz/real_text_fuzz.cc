// Any finite extended real below 10^36, 0 to 20 decimals: well-formed text with those
// decimals, read back within their rounding and 18 digits', and no arithmetic fault.
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t significand = 0;
  uint16_t exponent = 0;
  if (size < 11) return 0;
  memcpy(&significand, data, 8);
  memcpy(&exponent, data + 8, 2);
  int decimals = data[10] % 21;
  long double value = ldexpl(significand, (exponent & 0x7FFF) % 16600 - 16543);
  if (exponent & 0x8000) value = -value;
  if (fabsl(value) >= 1e36L) return 0;

  char text[kNumberTextMax];
  std::feclearexcept(FE_ALL_EXCEPT);
  std::string shown(text, FormatReal(value, decimals, text));
  if (std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)) __builtin_trap();
  static const std::regex kWellFormed("-?(0|[1-9][0-9]*)(\\.[0-9]+)?");
  size_t point = shown.find('.');
  if (!std::regex_match(shown, kWellFormed) ||
      (point == std::string::npos ? 0 : shown.size() - point - 1) != size_t(decimals))
    __builtin_trap();
  long double error = fabsl(strtold(shown.c_str(), nullptr) - value);
  if (error > 0.5L * powl(10.0L, -decimals) + 6e-18L * fmaxl(1.0L, fabsl(value)))
    __builtin_trap();
  return 0;
}
