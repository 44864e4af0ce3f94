#include <unistd.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "platform.h"
#include "platform_test_support.h"

namespace {

int fault_pipe = -1;

[[noreturn]] void OnFault() {
  char mark = 'F';
  if (write(fault_pipe, &mark, 1) != 1) _exit(3);
  _exit(1);
}

// Runs operation after PrepareRealArithmetic in a child; true when the fault handler
// ran (and ended the child with 1), false when the child finished normally with 0.
bool Faults(long double (*operation)()) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  int status = RunInChild([&] {
    fault_pipe = fds[1];
    PrepareRealArithmetic(OnFault);
    volatile long double result = operation();
    (void)result;
    return 0;
  });
  close(fds[1]);
  char mark = 0;
  bool marked = read(fds[0], &mark, 1) == 1 && mark == 'F';
  close(fds[0]);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), marked ? 1 : 0);
  return marked;
}

volatile long double zero = 0.0L;
volatile long double largest = LDBL_MAX;
volatile double zero_double = 0.0;

TEST(RealArithmetic, FaultsAreTrappedInBothUnits) {
  EXPECT_TRUE(Faults([] { return 1.0L / zero; }));
  EXPECT_TRUE(Faults([] { return largest * 2.0L; }));
  EXPECT_TRUE(Faults([] { return zero / zero; }));
  EXPECT_TRUE(Faults([] { return static_cast<long double>(1.0 / zero_double); }));
  EXPECT_FALSE(Faults([] { return largest / 3.0L + 1.0L; }));
}

// A flag that an earlier masked operation left raised does not fault once the
// exceptions are unmasked.
TEST(RealArithmetic, EarlierFlagsDoNotFault) {
  int status = RunInChild([] {
    volatile long double infinity = 1.0L / zero;
    volatile double double_infinity = 1.0 / zero_double;
    (void)infinity;
    (void)double_infinity;
    PrepareRealArithmetic(OnFault);
    volatile long double fine = largest / 3.0L + 1.0L;
    (void)fine;
    return 0;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RealArithmetic, ExtendedPrecisionAndRoundingToNearest) {
  int status = RunInChild([] {
    uint16_t control = 0x027F | 0x0C00;  // 53-bit, round toward zero
    asm volatile("fldcw %0" : : "m"(control));
    PrepareRealArithmetic(OnFault);
    asm volatile("fnstcw %0" : "=m"(control));
    // Precision control 11, rounding 00, zero-divide/overflow/invalid unmasked.
    if ((control & 0x0F00) != 0x0300 || (control & 0x0D) != 0) return 1;
    volatile long double one = 1.0L, three = 3.0L;
    long double third = one / three;  // a 53-bit significand would fit a double
    return third != static_cast<double>(third) ? 0 : 2;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
