// The real arithmetic the program relies on: x87 extended precision, rounding to
// nearest, and faults trapped. Kept free of the rest of the POSIX layer: the scripted
// test platform links this file alone.
#include <signal.h>

#include <cfenv>  // feclearexcept, feenableexcept
#include <cstdint>

#include "platform.h"

namespace {

void (*fault_handler)() = nullptr;

// A trapped fault cannot be resumed (the faulting instruction would run again), so
// this hands over to the program's fatal path, which never returns.
void OnArithmeticFault(int, siginfo_t*, void*) { fault_handler(); }

// Precision control 11 (64-bit significand) and rounding control 00 (to nearest),
// whatever the startup code chose.
void SetExtendedPrecision() {
#if defined(__i386__) || defined(__x86_64__)
  uint16_t control;
  asm volatile("fnstcw %0" : "=m"(control));
  control = static_cast<uint16_t>((control & ~0x0F00u) | 0x0300u);
  asm volatile("fldcw %0" : : "m"(control));
#else
  std::fesetround(FE_TONEAREST);
#endif
}

}  // namespace

void PrepareRealArithmetic(void (*onFault)()) {
  fault_handler = onFault;
  struct sigaction action = {};
  action.sa_sigaction = OnArithmeticFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);

  SetExtendedPrecision();
  // Clear first: a flag raised earlier would fault on the first instruction after
  // unmasking. feenableexcept unmasks in both the x87 and the SSE unit.
  std::feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
}
