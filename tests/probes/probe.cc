// "zero-divide", "overflow", "invalid": faults end through the fatal path. "precision"
// starts from a 53-bit x87 control word; exit 0 when start-up set 64 bits, to nearest.
#include <cstring>

#include "console.h"
#include "exit_code.h"

namespace {

// Through memory the compiler cannot see into, so that it neither folds nor moves.
Real Opaque(Real value) {
  __asm__ __volatile__("" : "+m"(value));
  return value;
}

const Real kOne = 1.0_real, kZero = 0.0_real;
const Real kLargest = 0xf.fffffffffffffffp16380_real;
const Real kLastPlace = 0x1p-63_real;        // one unit in the last place at 1
const Real kThreeQuarters = 0x1.8p-64_real;  // 3/4 of that unit

// 1 + 2^-63 differs from 1; 3/4 of that unit rounds away from 1 and -1 only to nearest.
bool ExtendedToNearest() {
  Real one = Opaque(kOne);
  return one + Opaque(kLastPlace) != one &&
         one + Opaque(kThreeQuarters) == one + Opaque(kLastPlace) &&
         -one - Opaque(kThreeQuarters) == -one - Opaque(kLastPlace);
}

Real Compute(const char* mode) {
  if (strcmp(mode, "zero-divide") == 0) return Opaque(kOne) / Opaque(kZero);
  if (strcmp(mode, "overflow") == 0) return Opaque(kLargest) * 4;
  return Opaque(kZero) / Opaque(kZero);  // "invalid"
}

// A 53-bit start, as msvcrt's _fpreset and threads under wine leave the x87 unit.
void StartWithDoublePrecision() {
#if defined(__i386__) || defined(__x86_64__)
  const uint16_t kStart53Bits = 0x027F;
  __asm__ __volatile__("fldcw %0" : : "m"(kStart53Bits));
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "invalid";
  if (strcmp(mode, "precision") == 0) {
    StartWithDoublePrecision();
    PrepareRealArithmetic(EndOnRealArithmeticFault);
    ExitWithCode(ExtendedToNearest() ? kExitWhole : kExitFailure);
  }
  PrepareRealArithmetic(EndOnRealArithmeticFault);
  WriteReal(Compute(mode), 2);
  WriteLineEnd();
  ExitWithCode(kExitWhole);
}
