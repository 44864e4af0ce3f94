// Real arithmetic that faults must end the program through the console's fatal path
// (its line, exit code 1) before any infinity or NaN can reach the output. The
// argument picks the computation; "quiet" is the control: inexact results,
// underflow and denormals do not trap.
#include <cfloat>
#include <cstring>

#include "console.h"

namespace {

// volatile: the compiler must neither fold these nor hoist the faulting operation.
volatile long double one = 1;
volatile long double three = 3;
volatile long double zero = 0;
volatile long double largest = LDBL_MAX;
volatile long double smallest = LDBL_MIN;
volatile int32_t integerOne = 1;
volatile int32_t integerZero = 0;

long double Compute(const char* fault) {
  if (strcmp(fault, "zero-divide") == 0) return one / zero;
  if (strcmp(fault, "overflow") == 0) return largest * 4;
  if (strcmp(fault, "invalid") == 0) return zero / zero;
  if (strcmp(fault, "integer-divide") == 0) {
    return static_cast<long double>(integerOne / integerZero);
  }
  long double denormal = smallest / 4;
  long double underflow = smallest * smallest;
  return one / three + denormal + underflow;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareRealArithmetic(EndOnRealArithmeticFault);
  WriteReal(Compute(argc > 1 ? argv[1] : "zero-divide"), 2);
  WriteLineEnd();
  ExitWithCode(0);
}
