// A real in the x87's extended format, computed in software: a 64-bit significand
// with its integer bit explicit, a 15-bit exponent biased by 16383 and a sign, every
// result rounded to nearest (ties to even), denormals kept as the x87 keeps them
// when underflow is masked. Division by zero, overflow and invalid operations call
// the handler that SetSoftRealFaultHandler set; without one (or when it returns)
// the result is the x87's masked response: an infinity or the default NaN.
// Only what tavo's figures need: exact conversion from integers, + - * /,
// comparisons, and the few functions that turn a real into digits.
#ifndef TAVO_INCLUDE_SOFT_REAL_H_
#define TAVO_INCLUDE_SOFT_REAL_H_

#include <cstdint>
#include <type_traits>

class SoftReal {
 public:
  SoftReal() = default;  // left unset, as a long double is
  // Every integer up to 64 bits is exact, as the x87 loads it.
  template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
  SoftReal(Integer value) : SoftReal(FromInteger(static_cast<int64_t>(value))) {
    static_assert(std::is_signed_v<Integer> || sizeof(Integer) < 8,
                  "an unsigned 64-bit value does not fit a signed conversion");
  }

  static SoftReal FromInteger(int64_t value);
  static SoftReal FromParts(uint16_t signExponent, uint64_t significand);
  uint16_t SignExponent() const { return signExponent_; }
  uint64_t Significand() const { return significand_; }

  SoftReal operator-() const {
    return FromParts(signExponent_ ^ 0x8000u, significand_);
  }
  SoftReal& operator+=(SoftReal other);
  SoftReal& operator-=(SoftReal other);
  SoftReal& operator*=(SoftReal other);
  SoftReal& operator/=(SoftReal other);

 private:
  uint64_t significand_;
  uint16_t signExponent_;
};

SoftReal operator+(SoftReal a, SoftReal b);
SoftReal operator-(SoftReal a, SoftReal b);
SoftReal operator*(SoftReal a, SoftReal b);
SoftReal operator/(SoftReal a, SoftReal b);
bool operator==(SoftReal a, SoftReal b);
bool operator!=(SoftReal a, SoftReal b);
bool operator<(SoftReal a, SoftReal b);  // a NaN operand is an invalid operation
bool operator>(SoftReal a, SoftReal b);
bool operator<=(SoftReal a, SoftReal b);
bool operator>=(SoftReal a, SoftReal b);

// The <cmath> functions of the same names, for a SoftReal.
SoftReal fabs(SoftReal x);
bool signbit(SoftReal x);
bool isnan(SoftReal x);
bool isinf(SoftReal x);
int ilogb(SoftReal x);         // the binary exponent of a finite non-zero value
long long llrint(SoftReal x);  // to nearest, ties to even; out of range is invalid

// The nearest SoftReal to a C++ floating literal's text ("0.001", "1e17", "0x1p-10"):
// decimal ones of up to 18 digits times 10^-27 to 10^27 (10^54 for a lone 1), hex
// ones of up to 64 bits. Anything else is a programming error and aborts.
SoftReal SoftRealFromText(const char* text);

// The handler a fault calls; it must not return for the program to stop there.
void SetSoftRealFaultHandler(void (*onFault)());

#endif  // TAVO_INCLUDE_SOFT_REAL_H_
