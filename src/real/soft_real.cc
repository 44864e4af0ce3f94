// Extended-precision arithmetic in software. A finite value is worked on unpacked:
// sign, exponent E and a significand m with its top bit set, the value being
// m * 2^(E - 16383 - 63); a denormal unpacks with E below 1. Exact results are
// formed in 128 bits (the low word holding the bits below the significand, its last
// bit standing for every bit shifted out), then rounded once. Portable C++: no
// 128-bit integer type, no byte order, no floating-point unit.
#include <climits>
#include <cstdlib>
#include <utility>  // swap

#include "number_parse.h"
#include "soft_real.h"

namespace {

constexpr int kBias = 16383;
constexpr int kInfinityExponent = 0x7FFF;
constexpr uint16_t kSignBit = 0x8000;
constexpr uint64_t kTopBit = 1ull << 63;
constexpr uint64_t kQuietBit = 1ull << 62;

void (*faultHandler)() = nullptr;

// A fault ends the program in the handler; what follows is the masked response.
void RaiseFault() {
  if (faultHandler != nullptr) faultHandler();
}

struct Wide {
  uint64_t high, low;
};

struct Unpacked {
  bool negative;
  int exponent;
  uint64_t significand;  // top bit set
};

int LeadingZeros(uint64_t value) {
  int count = 0;
  for (int step = 32; step > 0; step /= 2) {
    if ((value >> (64 - step)) == 0) {
      count += step;
      value <<= step;
    }
  }
  return count;
}

bool Negative(SoftReal x) { return (x.SignExponent() & kSignBit) != 0; }
int ExponentField(SoftReal x) { return x.SignExponent() & 0x7FFF; }
uint16_t SignOf(bool negative) { return negative ? kSignBit : 0; }

bool IsZero(SoftReal x) { return ExponentField(x) == 0 && x.Significand() == 0; }
bool IsSpecial(SoftReal x) { return ExponentField(x) == kInfinityExponent; }
bool IsInfinity(SoftReal x) { return IsSpecial(x) && x.Significand() == kTopBit; }
bool IsNan(SoftReal x) { return IsSpecial(x) && x.Significand() != kTopBit; }

SoftReal Zero(bool negative) { return SoftReal::FromParts(SignOf(negative), 0); }
SoftReal Infinity(bool negative) {
  return SoftReal::FromParts(SignOf(negative) | kInfinityExponent, kTopBit);
}
// The x87's "real indefinite", the NaN a masked invalid operation gives.
SoftReal DefaultNan() {
  return SoftReal::FromParts(kSignBit | kInfinityExponent, kTopBit | kQuietBit);
}

SoftReal Invalid() {
  RaiseFault();
  return DefaultNan();
}

// A NaN operand passes through quieted; a signalling one is an invalid operation.
SoftReal PropagateNan(SoftReal a, SoftReal b) {
  SoftReal nan = IsNan(a) ? a : b;
  if ((nan.Significand() & kQuietBit) == 0) RaiseFault();
  return SoftReal::FromParts(nan.SignExponent(), nan.Significand() | kQuietBit);
}

// Finite and not zero only.
Unpacked Unpack(SoftReal x) {
  int exponent = ExponentField(x) == 0 ? 1 : ExponentField(x);
  int shift = LeadingZeros(x.Significand());
  return {Negative(x), exponent - shift, x.Significand() << shift};
}

Wide ShiftRightSticky(Wide value, int count) {
  if (count == 0) return value;
  if (count >= 128) return {0, (value.high | value.low) != 0};
  if (count >= 64) {
    uint64_t lost = value.low | (count > 64 ? value.high << (128 - count) : 0);
    return {0, (value.high >> (count - 64)) | (lost != 0)};
  }
  uint64_t lost = value.low << (64 - count);
  return {value.high >> count,
          (value.low >> count) | (value.high << (64 - count)) | (lost != 0)};
}

Wide ShiftLeft(Wide value, int count) {
  if (count == 0) return value;
  if (count >= 64) return {value.low << (count - 64), 0};
  return {(value.high << count) | (value.low >> (64 - count)), value.low << count};
}

// The one rounding of an exact result: significand's top bit set, the value being
// significand * 2^(exponent - 16383 - 127).
SoftReal Round(bool negative, int exponent, Wide significand) {
  if (exponent < 1) {
    significand = ShiftRightSticky(significand, 1 - exponent);
    exponent = 0;
  }
  uint64_t kept = significand.high;
  bool half = (significand.low & kTopBit) != 0;
  bool beyondHalf = (significand.low & ~kTopBit) != 0;
  if (half && (beyondHalf || (kept & 1) != 0)) {
    ++kept;
    if (kept == 0) {
      kept = kTopBit;
      ++exponent;
    } else if (exponent == 0 && (kept & kTopBit) != 0) {
      exponent = 1;  // a denormal rounded up to the smallest normal value
    }
  }
  if (exponent >= kInfinityExponent) {
    RaiseFault();
    return Infinity(negative);
  }
  return SoftReal::FromParts(static_cast<uint16_t>(SignOf(negative) | exponent), kept);
}

Wide Multiply64(uint64_t a, uint64_t b) {
  uint64_t aLow = a & 0xFFFFFFFF, aHigh = a >> 32;
  uint64_t bLow = b & 0xFFFFFFFF, bHigh = b >> 32;
  uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh;
  uint64_t highLow = aHigh * bLow, highHigh = aHigh * bHigh;
  uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFF) + (highLow & 0xFFFFFFFF);
  return {highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
          (middle << 32) | (lowLow & 0xFFFFFFFF)};
}

// |a| >= |b|, both finite and not zero.
SoftReal AddMagnitudes(Unpacked a, Unpacked b, bool subtract) {
  Wide larger = {a.significand, 0};
  Wide smaller = ShiftRightSticky({b.significand, 0}, a.exponent - b.exponent);
  int exponent = a.exponent;
  Wide sum;
  if (!subtract) {
    sum.low = larger.low + smaller.low;
    sum.high = larger.high + smaller.high + (sum.low < larger.low);
    if (sum.high < larger.high) {  // carried out of the top bit
      sum = ShiftRightSticky(sum, 1);
      sum.high |= kTopBit;
      ++exponent;
    }
  } else {
    sum.low = larger.low - smaller.low;
    sum.high = larger.high - smaller.high - (larger.low < smaller.low);
    if ((sum.high | sum.low) == 0)
      return Zero(false);  // x - x is +0 rounding to nearest
    int shift = sum.high != 0 ? LeadingZeros(sum.high) : 64 + LeadingZeros(sum.low);
    sum = ShiftLeft(sum, shift);
    exponent -= shift;
  }
  return Round(a.negative, exponent, sum);
}

SoftReal Add(SoftReal a, SoftReal b) {
  if (IsSpecial(a) || IsSpecial(b)) {
    if (IsNan(a) || IsNan(b)) return PropagateNan(a, b);
    if (IsInfinity(a) && IsInfinity(b) && Negative(a) != Negative(b)) return Invalid();
    return IsInfinity(a) ? a : b;
  }
  if (IsZero(a) && IsZero(b)) return Zero(Negative(a) && Negative(b));
  if (IsZero(a)) return b;
  if (IsZero(b)) return a;
  Unpacked x = Unpack(a), y = Unpack(b);
  bool xLarger = x.exponent != y.exponent ? x.exponent > y.exponent
                                          : x.significand >= y.significand;
  if (!xLarger) std::swap(x, y);
  return AddMagnitudes(x, y, x.negative != y.negative);
}

int Compare(SoftReal a, SoftReal b) {  // -1, 0, 1; NaNs are the caller's
  if (IsZero(a) && IsZero(b)) return 0;
  if (Negative(a) != Negative(b)) return Negative(a) ? -1 : 1;
  int magnitude = 0;
  if (ExponentField(a) != ExponentField(b)) {
    magnitude = ExponentField(a) < ExponentField(b) ? -1 : 1;
  } else if (a.Significand() != b.Significand()) {
    magnitude = a.Significand() < b.Significand() ? -1 : 1;
  }
  return Negative(a) ? -magnitude : magnitude;
}

// An ordered comparison of a NaN is an invalid operation, as the x87's fcomi makes it.
bool Unordered(SoftReal a, SoftReal b, bool signalling) {
  if (!IsNan(a) && !IsNan(b)) return false;
  if (signalling) RaiseFault();
  return true;
}

// Reads digits of the given base into value, which must hold them all, and counts
// those after the point. Returns the rest of the text.
const char* ReadDigits(const char* text, int base, uint64_t& value,
                       int& fractionDigits) {
  bool afterPoint = false;
  value = 0;
  fractionDigits = 0;
  for (;; ++text) {
    if (*text == '.') {
      afterPoint = true;
      continue;
    }
    int digit = DigitValue(*text, base);
    if (digit < 0) return text;
    if (value > (UINT64_MAX - digit) / base) abort();
    value = value * base + digit;
    if (afterPoint) ++fractionDigits;
  }
}

int ReadExponent(const char* text) {
  if (*text == '\0') return 0;
  ++text;  // 'e' or 'p'
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  int exponent = 0;
  for (; DigitValue(*text, 10) >= 0; ++text) exponent = exponent * 10 + (*text - '0');
  return negative ? -exponent : exponent;
}

SoftReal PowerOfTen(int exponent) {  // exact up to 10^27
  SoftReal power = 1;
  for (int i = 0; i < exponent; ++i) power *= 10;
  return power;
}

}  // namespace

SoftReal SoftReal::FromParts(uint16_t signExponent, uint64_t significand) {
  SoftReal x;
  x.signExponent_ = signExponent;
  x.significand_ = significand;
  return x;
}

SoftReal SoftReal::FromInteger(int64_t value) {
  if (value == 0) return Zero(false);
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
  int shift = LeadingZeros(magnitude);
  return FromParts(static_cast<uint16_t>(SignOf(value < 0) | (kBias + 63 - shift)),
                   magnitude << shift);
}

SoftReal operator+(SoftReal a, SoftReal b) { return Add(a, b); }
SoftReal operator-(SoftReal a, SoftReal b) {
  // Negating a NaN would change which NaN comes out; only numbers are negated.
  return Add(a, IsNan(b) ? b : -b);
}

SoftReal operator*(SoftReal a, SoftReal b) {
  bool negative = Negative(a) != Negative(b);
  if (IsSpecial(a) || IsSpecial(b)) {
    if (IsNan(a) || IsNan(b)) return PropagateNan(a, b);
    if (IsZero(a) || IsZero(b)) return Invalid();
    return Infinity(negative);
  }
  if (IsZero(a) || IsZero(b)) return Zero(negative);
  Unpacked x = Unpack(a), y = Unpack(b);
  Wide product = Multiply64(x.significand, y.significand);
  int exponent = x.exponent + y.exponent - kBias + 1;
  if ((product.high & kTopBit) == 0) {
    product = ShiftLeft(product, 1);
    --exponent;
  }
  return Round(negative, exponent, product);
}

SoftReal operator/(SoftReal a, SoftReal b) {
  bool negative = Negative(a) != Negative(b);
  if (IsSpecial(a) || IsSpecial(b)) {
    if (IsNan(a) || IsNan(b)) return PropagateNan(a, b);
    if (IsInfinity(a) && IsInfinity(b)) return Invalid();
    return IsInfinity(a) ? Infinity(negative) : Zero(negative);
  }
  if (IsZero(b)) {
    if (IsZero(a)) return Invalid();
    RaiseFault();
    return Infinity(negative);
  }
  if (IsZero(a)) return Zero(negative);
  Unpacked x = Unpack(a), y = Unpack(b);
  int exponent = x.exponent - y.exponent + kBias;
  // The remainder has 65 bits; the numerator is doubled when it is the smaller, so
  // that the quotient lies in [1, 2) and its first bit is always 1.
  uint64_t remainder = x.significand;
  bool remainderTop = false;
  if (x.significand < y.significand) {
    remainderTop = true;
    remainder <<= 1;
    --exponent;
  }
  uint64_t quotient = 0;
  bool roundBit = false;
  for (int bit = 0; bit < 65; ++bit) {
    bool one = remainderTop || remainder >= y.significand;
    if (one) remainder -= y.significand;
    if (bit < 64) {
      quotient = (quotient << 1) | one;
    } else {
      roundBit = one;
    }
    remainderTop = (remainder & kTopBit) != 0;
    remainder <<= 1;
  }
  bool sticky = remainder != 0 || remainderTop;
  return Round(negative, exponent, {quotient, (roundBit ? kTopBit : 0) | sticky});
}

SoftReal& SoftReal::operator+=(SoftReal other) { return *this = *this + other; }
SoftReal& SoftReal::operator-=(SoftReal other) { return *this = *this - other; }
SoftReal& SoftReal::operator*=(SoftReal other) { return *this = *this * other; }
SoftReal& SoftReal::operator/=(SoftReal other) { return *this = *this / other; }

bool operator==(SoftReal a, SoftReal b) {
  return !Unordered(a, b, false) && Compare(a, b) == 0;
}
bool operator!=(SoftReal a, SoftReal b) { return !(a == b); }
bool operator<(SoftReal a, SoftReal b) {
  return !Unordered(a, b, true) && Compare(a, b) < 0;
}
bool operator>(SoftReal a, SoftReal b) {
  return !Unordered(a, b, true) && Compare(a, b) > 0;
}
bool operator<=(SoftReal a, SoftReal b) {
  return !Unordered(a, b, true) && Compare(a, b) <= 0;
}
bool operator>=(SoftReal a, SoftReal b) {
  return !Unordered(a, b, true) && Compare(a, b) >= 0;
}

SoftReal fabs(SoftReal x) {
  return SoftReal::FromParts(x.SignExponent() & ~kSignBit, x.Significand());
}
bool signbit(SoftReal x) { return Negative(x); }
bool isnan(SoftReal x) { return IsNan(x); }
bool isinf(SoftReal x) { return IsInfinity(x); }

int ilogb(SoftReal x) {
  if (IsZero(x)) return INT_MIN;  // FP_ILOGB0 of the C library
  if (IsNan(x)) return INT_MIN;
  if (IsInfinity(x)) return INT_MAX;
  return Unpack(x).exponent - kBias;
}

long long llrint(SoftReal x) {
  const long long kIndefinite = LLONG_MIN;  // the x87's answer out of range
  if (IsSpecial(x)) {
    RaiseFault();
    return kIndefinite;
  }
  if (IsZero(x)) return 0;
  Unpacked u = Unpack(x);
  int power = u.exponent - kBias;  // the value is significand * 2^(power - 63)
  if (power >= 64) {
    RaiseFault();
    return kIndefinite;
  }
  if (power < -1) return 0;
  Wide fixed = ShiftRightSticky({u.significand, 0}, 63 - power);
  uint64_t whole = fixed.high;
  bool half = (fixed.low & kTopBit) != 0;
  if (half && ((fixed.low & ~kTopBit) != 0 || (whole & 1) != 0)) ++whole;
  // The range is judged after rounding: 2^63 - 0.5 rounds to 2^63, which only a
  // negative result holds.
  if (whole > kTopBit || (whole == kTopBit && !u.negative)) {
    RaiseFault();
    return kIndefinite;
  }
  if (whole == kTopBit) return LLONG_MIN;
  return u.negative ? -static_cast<long long>(whole) : static_cast<long long>(whole);
}

SoftReal SoftRealFromText(const char* text) {
  uint64_t digits;
  int fractionDigits;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const char* rest = ReadDigits(text + 2, 16, digits, fractionDigits);
    if (digits == 0) return Zero(false);
    int shift = LeadingZeros(digits);
    int exponent = kBias + 63 - shift + ReadExponent(rest) - 4 * fractionDigits;
    return Round(false, exponent, {digits << shift, 0});
  }
  const char* rest = ReadDigits(text, 10, digits, fractionDigits);
  int exponent = ReadExponent(rest) - fractionDigits;
  // One rounding gives the nearest value: 10^k is exact up to 10^27, and 10^54 is
  // the rounded product of two exact factors.
  if (digits > INT64_MAX || exponent < -27 || exponent > 54 ||
      (exponent > 27 && digits != 1))
    abort();
  if (exponent < 0)
    return SoftReal(static_cast<int64_t>(digits)) / PowerOfTen(-exponent);
  if (exponent > 27) return PowerOfTen(27) * PowerOfTen(exponent - 27);
  return SoftReal(static_cast<int64_t>(digits)) * PowerOfTen(exponent);
}

void SetSoftRealFaultHandler(void (*onFault)()) { faultHandler = onFault; }
