#include <cmath>
#include <string>

#include "console.h"
#include "gtest/gtest.h"

namespace {

std::string Text(Real value, int decimals) {
  char text[kNumberTextMax];
  return std::string(text, FormatReal(value, decimals, text));
}

TEST(NumberText, RealsRoundTwiceInExtendedPrecision) {
  Real eighth = 0.125_real, tiny = 1e-19_real;
  // clang-format off
  const struct { Real value; int decimals; const char* text; } cases[] = {
      {0.0_real, 0, "0"}, {0.0_real, 2, "0.00"}, {0.06_real, 2, "0.06"}, {0.125_real, 2, "0.13"},
      {eighth - tiny, 2, "0.13"}, {2.675_real, 2, "2.68"}, {2.5_real, 0, "3"}, {0.5_real, 0, "1"},
      {9.996_real, 2, "10.00"}, {99.995_real, 2, "100.00"}, {12.345_real, 2, "12.35"},
      {256.0_real, 1, "256.0"}, {15.99_real, 1, "16.0"}, {1e-18_real, 2, "0.00"},
      {-0.0_real, 2, "-0.00"}, {-0.001_real, 2, "-0.00"}, {-2.5_real, 0, "-3"},
      {1e20_real, 0, "100000000000000000000"}, {123456789.125_real, 2, "123456789.13"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(Text(c.value, c.decimals), c.text);
}

// An error code held unsigned is shown signed (4294967295 is -1). Whole-number reals
// below 10^18 are exact only with a 64-bit significand: 53 bits lose the low digits.
TEST(NumberText, WholeNumbersAreExact) {
  char text[kNumberTextMax];
  for (int32_t value : {0, -7, INT32_MAX, INT32_MIN, -1})
    EXPECT_EQ(std::string(text, FormatInteger(value, text)), std::to_string(value));
  for (int64_t count : {1536LL, 4294967295LL, 5368709220LL, 123456789012345678LL,
                        999999999999999999LL, (1LL << 59) + 1})
    EXPECT_EQ(Text(static_cast<Real>(count), 0), std::to_string(count));
}

}  // namespace
