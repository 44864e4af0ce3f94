// Real arithmetic where the reals are SoftReal: the format and the rounding are the
// type's own, so only the faults need a home, the program's fatal path.
#include "platform.h"
#include "soft_real.h"

void PrepareRealArithmetic(void (*onFault)()) { SetSoftRealFaultHandler(onFault); }
