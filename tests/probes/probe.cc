// Real arithmetic after start-up: "zero-divide", "overflow" and "invalid" end through
// the console's fatal path; "precision" starts from a 53-bit control word and exits
// with 0 when start-up gave a 64-bit significand rounded to nearest.
#include <cfloat>
#include <cstring>

#include "console.h"

namespace {

// volatile: the compiler must neither fold these nor move the faulting operation.
volatile long double one = 1, zero = 0, largest = LDBL_MAX;
volatile long double lastPlace = 0x1p-63L;        // one unit in the last place at 1
volatile long double threeQuarters = 0x1.8p-64L;  // 3/4 of that unit

// 1 + 2^-63 differs from 1, and 3/4 of that unit is rounded away from 1 and from -1,
// which only rounding to nearest does.
bool ExtendedToNearest() {
  return one + lastPlace != one && one + threeQuarters == one + lastPlace &&
         -one - threeQuarters == -one - lastPlace;
}

long double Compute(const char* mode) {
  if (strcmp(mode, "zero-divide") == 0) return one / zero;
  return strcmp(mode, "overflow") == 0 ? largest * 4 : zero / zero;  // or "invalid"
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "invalid";
  if (strcmp(mode, "precision") == 0) {
    // A 53-bit start, as msvcrt's _fpreset and threads under wine leave the unit.
    const uint16_t kStart53Bits = 0x027F;
    __asm__ __volatile__("fldcw %0" : : "m"(kStart53Bits));
    PrepareRealArithmetic(EndOnRealArithmeticFault);
    ExitWithCode(ExtendedToNearest() ? 0 : 2);
  }
  PrepareRealArithmetic(EndOnRealArithmeticFault);
  WriteReal(Compute(mode), 2);
  WriteLineEnd();
  ExitWithCode(0);
}
