// The type of the program's reals: extended precision, a 64-bit significand rounded
// to nearest. Where the processor has the x87 unit it is long double itself; the
// build defines TAVO_SOFT_REAL elsewhere, and the same format and rules come from
// software. Literals are written with the suffix _real (0.001_real), which gives the
// nearest extended value on either path.
#ifndef TAVO_INCLUDE_REAL_H_
#define TAVO_INCLUDE_REAL_H_

#ifdef TAVO_SOFT_REAL
#include "soft_real.h"

using Real = SoftReal;
inline SoftReal operator""_real(const char* text) { return SoftRealFromText(text); }
#else
using Real = long double;
constexpr long double operator""_real(long double value) { return value; }
#endif

#endif  // TAVO_INCLUDE_REAL_H_
