// Decimal text of reals: the digits of two roundings in extended precision, built in
// a caller's scratch area so that writing a real allocates nothing. The names of the
// <cmath> functions are called unqualified, so that a SoftReal finds its own.
#include <cmath>
#include <cstring>

#include "console.h"

using std::fabs;
using std::ilogb;
using std::isinf;
using std::isnan;
using std::llrint;
using std::signbit;

namespace {

constexpr int kDigitStringLength = 18;

Real PowerOfTen(int exponent) {
  Real power = 1.0_real;
  for (int i = 0; i < exponent; ++i) power *= 10.0_real;
  return power;
}

// Brings a magnitude of 10 or more into [1, 16) by dividing by powers of ten whose
// exponent comes from the binary exponent (log10(2) ~ 19728 / 65536), so that each
// quotient is rounded once. Returns the decimal exponent taken out.
int ScaleIntoUnitRange(Real& value) {
  int exponent = 0;
  if (value < 10.0_real) return 0;
  for (;;) {
    int binaryExponent = ilogb(value);
    int step = binaryExponent * 19728 / 65536;
    if (step == 0) return exponent;
    value /= PowerOfTen(step);
    exponent += step;
  }
}

// The 18 significant digits of a value in [0, 16), rounded ties-to-even; a leading
// "1" is added when the value reached 10. Returns the number of digits.
int SignificantDigits(Real scaled, char* digits) {
  const uint64_t kTenTo18 = 1000000000000000000ull;
  uint64_t rounded = static_cast<uint64_t>(llrint(scaled * 1e17_real));
  int count = 0;
  if (rounded >= kTenTo18) {
    digits[count++] = '1';
    rounded -= kTenTo18;
  }
  for (int i = kDigitStringLength - 1; i >= 0; --i) {
    digits[count + i] = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  }
  return count + kDigitStringLength;
}

// Rounds the digit string to `kept` digits, half away from zero on the first dropped
// digit alone. Returns 1 when the carry ran out of the first digit (a new leading
// "1" now stands at digits[0]), else 0.
int RoundDigits(char* digits, int length, int kept) {
  if (length <= kept) {
    memset(digits + length, '0', kept - length);
    return 0;
  }
  if (digits[kept] < '5') return 0;
  for (int i = kept - 1; i >= 0; --i) {
    if (digits[i] != '9') {
      ++digits[i];
      return 0;
    }
    digits[i] = '0';
  }
  memmove(digits + 1, digits, kept);
  digits[0] = '1';
  return 1;
}

}  // namespace

size_t FormatReal(Real value, int decimals, char* out) {
  if (isnan(value)) {
    memcpy(out, "Nan", 3);
    return 3;
  }
  size_t length = 0;
  out[length++] = signbit(value) ? '-' : '+';
  Real magnitude = fabs(value);
  // Such reals never reach the screen: faults are trapped first, and no figure the
  // program shows comes near 10^36. They get a short fixed text.
  if (isinf(value) || magnitude >= 1e36_real) {
    memcpy(out + length, "Inf", 3);
    return length + 3;
  }
  if (out[0] == '+') length = 0;
  int decimalExponent = ScaleIntoUnitRange(magnitude);
  char digits[kNumberTextMax];
  int digitCount = SignificantDigits(magnitude, digits);
  int integerDigits = decimalExponent + (digitCount > kDigitStringLength ? 2 : 1);
  integerDigits += RoundDigits(digits, digitCount, integerDigits + decimals);
  memcpy(out + length, digits, integerDigits);
  length += integerDigits;
  if (decimals > 0) {
    out[length++] = '.';
    memcpy(out + length, digits + integerDigits, decimals);
    length += decimals;
  }
  return length;
}
