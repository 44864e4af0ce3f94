// Real arithmetic on the x87 unit of a Windows process. The program's reals are long
// double, which mingw-w64 keeps on the x87 unit in 32-bit and 64-bit programs alike,
// so one control word serves both. The control word a process starts with depends
// on the C runtime's start-up code (0x37F after mingw's fninit, 0x27F with msvcrt's
// _fpreset or in a thread wine starts: 53 bits), so it is set here explicitly rather
// than trusted. Faults arrive as structured exceptions; a vectored handler sees them
// before any frame-based handler or the runtime's filter.
#include <cstdint>

#include "platform.h"

namespace {

// x87 control word fields.
constexpr uint16_t kInvalidMask = 0x0001;
constexpr uint16_t kDenormalMask = 0x0002;
constexpr uint16_t kZeroDivideMask = 0x0004;
constexpr uint16_t kOverflowMask = 0x0008;
constexpr uint16_t kUnderflowMask = 0x0010;
constexpr uint16_t kPrecisionMask = 0x0020;
constexpr uint16_t kExceptionMasks = 0x003F;
constexpr uint16_t kPrecisionControl = 0x0300;  // 11: 64-bit significand
constexpr uint16_t kRoundingControl = 0x0C00;   // 00: to nearest

// Division by zero, overflow and invalid operations trap; denormal operands,
// underflow and inexact results keep their quiet default.
constexpr uint16_t kTrappingControlWord =
    kDenormalMask | kUnderflowMask | kPrecisionMask | kPrecisionControl;
static_assert((kTrappingControlWord &
               (kInvalidMask | kZeroDivideMask | kOverflowMask)) == 0);

constexpr DWORD kStatusFloatMultipleFaults = 0xC00002B4;
constexpr DWORD kStatusFloatMultipleTraps = 0xC00002B5;  // SSE faults under wine

void (*faultHandler)() = nullptr;

bool IsArithmeticFault(DWORD code) {
  switch (code) {
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case kStatusFloatMultipleFaults:
    case kStatusFloatMultipleTraps:
      return true;
    default:
      return false;
  }
}

// The unit still holds the pending exception that raised this one: fninit clears it
// (and masks everything) before the fault path formats any real. Must not return for
// an arithmetic fault: resuming would re-execute the faulting instruction.
LONG CALLBACK OnException(PEXCEPTION_POINTERS exception) {
  if (!IsArithmeticFault(exception->ExceptionRecord->ExceptionCode)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  __asm__ __volatile__("fninit");
  faultHandler();
  return EXCEPTION_CONTINUE_SEARCH;  // not reached: the handler ends the process
}

}  // namespace

void PrepareRealArithmetic(void (*onFault)()) {
  faultHandler = onFault;
  AddVectoredExceptionHandler(1, OnException);

  uint16_t controlWord;
  __asm__ __volatile__("fnstcw %0" : "=m"(controlWord));
  controlWord = static_cast<uint16_t>(
      (controlWord & ~(kExceptionMasks | kPrecisionControl | kRoundingControl)) |
      kTrappingControlWord);
  // A flag already raised would trap at the next instruction once unmasked.
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(controlWord));
}
