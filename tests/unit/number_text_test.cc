#include <cmath>
#include <string>

#include "console.h"
#include "gtest/gtest.h"

namespace {

std::string Real(long double value, int decimals) {
  char text[kNumberTextMax];
  return std::string(text, FormatReal(value, decimals, text));
}

TEST(NumberText, RealsRoundTwiceInExtendedPrecision) {
  volatile long double eighth = 0.125L, tiny = 1e-19L;
  // clang-format off
  const struct { long double value; int decimals; const char* text; } cases[] = {
      {0.0L, 0, "0"}, {0.0L, 2, "0.00"}, {0.06L, 2, "0.06"}, {0.125L, 2, "0.13"},
      {eighth - tiny, 2, "0.13"}, {2.675L, 2, "2.68"}, {2.5L, 0, "3"}, {0.5L, 0, "1"},
      {9.996L, 2, "10.00"}, {99.995L, 2, "100.00"}, {12.345L, 2, "12.35"},
      {256.0L, 1, "256.0"}, {15.99L, 1, "16.0"}, {1e-18L, 2, "0.00"},
      {-0.0L, 2, "-0.00"}, {-0.001L, 2, "-0.00"}, {-2.5L, 0, "-3"},
      {1e20L, 0, "100000000000000000000"}, {123456789.125L, 2, "123456789.13"},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(Real(c.value, c.decimals), c.text) << static_cast<double>(c.value);
}

// An error code held unsigned is shown signed (4294967295 is -1). Whole-number reals
// below 10^18 are exact only with a 64-bit significand: 53 bits lose the low digits.
TEST(NumberText, WholeNumbersAreExact) {
  char text[kNumberTextMax];
  for (int32_t value : {0, -7, INT32_MAX, INT32_MIN, -1})
    EXPECT_EQ(std::string(text, FormatInteger(value, text)), std::to_string(value));
  for (int64_t count : {1536LL, 4294967295LL, 5368709220LL, 123456789012345678LL,
                        999999999999999999LL, (1LL << 59) + 1})
    EXPECT_EQ(Real(static_cast<long double>(count), 0), std::to_string(count));
}

}  // namespace
