// Decimal and hexadecimal text of numbers, built in a caller's scratch area so that
// writing a number allocates nothing.
#include <cmath>
#include <cstring>

#include "console.h"

size_t FormatInteger(int32_t value, char* out) {
  // Work on the unsigned magnitude so that -2147483648 needs no special case.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : value;
  char digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}

namespace {

constexpr int kDigitStringLength = 18;

long double PowerOfTen(int exponent) {
  long double power = 1.0L;
  for (int i = 0; i < exponent; ++i) power *= 10.0L;
  return power;
}

// Brings a magnitude of 10 or more into [1, 16) by dividing by powers of ten whose
// exponent comes from the binary exponent (log10(2) ~ 19728 / 65536), so that each
// quotient is rounded once. Returns the decimal exponent taken out.
int ScaleIntoUnitRange(long double& value) {
  int exponent = 0;
  if (value < 10.0L) return 0;
  for (;;) {
    int binaryExponent = ilogbl(value);
    int step = binaryExponent * 19728 / 65536;
    if (step == 0) return exponent;
    value /= PowerOfTen(step);
    exponent += step;
  }
}

// The 18 significant digits of a value in [0, 16), rounded ties-to-even; a leading
// "1" is added when the value reached 10. Returns the number of digits.
int SignificantDigits(long double scaled, char* digits) {
  const uint64_t kTenTo18 = 1000000000000000000ull;
  uint64_t rounded = static_cast<uint64_t>(llrintl(scaled * 1e17L));
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

size_t FormatReal(long double value, int decimals, char* out) {
  if (std::isnan(value)) {
    memcpy(out, "Nan", 3);
    return 3;
  }
  size_t length = 0;
  out[length++] = std::signbit(value) ? '-' : '+';
  long double magnitude = fabsl(value);
  // Such reals never reach the screen: faults are trapped first, and no figure the
  // program shows comes near 10^36. They get a short fixed text.
  if (std::isinf(value) || magnitude >= 1e36L) {
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

HexText HexWord(uint16_t value) {
  static const char kDigits[] = "0123456789abcdef";
  HexText hex = {};
  for (int i = 3; i >= 0; --i) {
    hex.text[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  return hex;
}

HexText HexDword(uint32_t value) {
  HexText hex = HexWord(static_cast<uint16_t>(value >> 16));
  memcpy(hex.text + 4, HexWord(static_cast<uint16_t>(value)).text, 4);
  return hex;
}

HexText HexOffset(int64_t value) {
  uint64_t bits = static_cast<uint64_t>(value);
  HexText hex = HexDword(static_cast<uint32_t>(bits >> 32));
  hex.text[8] = '.';
  memcpy(hex.text + 9, HexDword(static_cast<uint32_t>(bits)).text, 8);
  return hex;
}
