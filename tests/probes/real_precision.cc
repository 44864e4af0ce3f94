// After PrepareRealArithmetic the x87 unit must add with a 64-bit significand and
// round to nearest, even when the process started in 53-bit precision (as msvcrt's
// _fpreset and threads under wine leave it). Exit code 0 when it does.
#include "console.h"

namespace {

volatile long double one = 1;
volatile long double lastPlace = 0x1p-63L;  // one unit in the last place at 1
volatile long double threeQuartersPlace = 0x1.8p-64L;  // 3/4 of that unit

bool Check(const char* what, bool holds) {
  WriteText(what);
  WriteText(holds ? ": yes" : ": NO");
  WriteLineEnd();
  return holds;
}

}  // namespace

int main() {
  const uint16_t kStart53Bits = 0x027F;
  __asm__ __volatile__("fldcw %0" : : "m"(kStart53Bits));
  PrepareRealArithmetic(EndOnRealArithmeticFault);

  bool ok = Check("1 + 2^-63 differs from 1", one + lastPlace != one);
  // 3/4 of a unit is rounded up away from 1 and down away from -1 only to nearest.
  ok &= Check("1 + 0.75 unit rounds to 1 + 2^-63",
              one + threeQuartersPlace == one + lastPlace);
  ok &= Check("-1 - 0.75 unit rounds to -1 - 2^-63",
              -one - threeQuartersPlace == -one - lastPlace);
  ExitWithCode(ok ? 0 : 2);
}
