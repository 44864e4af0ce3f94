#include <cmath>
#include <string>

#include "console.h"
#include "gtest/gtest.h"

namespace {

std::string Real(long double value, int decimals) {
  char text[kNumberTextMax];
  return std::string(text, FormatReal(value, decimals, text));
}

TEST(NumberText, IntegersCoverTheWholeSignedRange) {
  char text[kNumberTextMax];
  // An error code held unsigned is shown as its signed reading: 4294967295 is -1.
  const int32_t values[] = {0, -7, 2147483647, INT32_MIN, -1};
  const char* texts[] = {"0", "-7", "2147483647", "-2147483648", "-1"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(std::string(text, FormatInteger(values[i], text)), texts[i]);
  }
}

TEST(NumberText, RealsRoundTwiceInExtendedPrecision) {
  struct Case {
    long double value;
    int decimals;
    const char* text;
  };
  volatile long double eighth = 0.125L, tiny = 1e-19L;
  // clang-format off
  const Case cases[] = {
      {0.0L, 0, "0"}, {0.0L, 2, "0.00"}, {0.06L, 2, "0.06"}, {0.125L, 2, "0.13"},
      {eighth - tiny, 2, "0.13"}, {2.675L, 2, "2.68"}, {2.5L, 0, "3"}, {0.5L, 0, "1"},
      {9.996L, 2, "10.00"}, {99.995L, 2, "100.00"}, {12.345L, 2, "12.35"},
      {256.0L, 1, "256.0"}, {15.99L, 1, "16.0"}, {1e-18L, 2, "0.00"},
      {-0.0L, 2, "-0.00"}, {-0.001L, 2, "-0.00"}, {-2.5L, 0, "-3"},
      {1e20L, 0, "100000000000000000000"}, {123456789.125L, 2, "123456789.13"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(Real(c.value, c.decimals), c.text) << static_cast<double>(c.value);
  }
}

// Exact only while the arithmetic keeps a 64-bit significand: with 53 bits the low
// digits of these counts are lost.
TEST(NumberText, WholeNumbersBelowTenTo18AreExact) {
  const int64_t counts[] = {1536,
                            4294967295LL,
                            5368709220LL,
                            123456789012345678LL,
                            999999999999999999LL,
                            (1LL << 59) + 1};
  for (int64_t count : counts) {
    EXPECT_EQ(Real(static_cast<long double>(count), 0), std::to_string(count));
  }
  volatile long double one = 1.0L, smallest = 0x1p-63L;
  EXPECT_NE(one + smallest, one);
}

TEST(NumberText, HexFormsAreFullWidthLowercase) {
  EXPECT_STREQ(HexWord(0).text, "0000");
  EXPECT_STREQ(HexWord(10).text, "000a");
  EXPECT_STREQ(HexWord(32768).text, "8000");
  EXPECT_STREQ(HexDword(0xDEADBEEFu).text, "deadbeef");
  EXPECT_STREQ(HexOffset(0).text, "00000000.00000000");
  EXPECT_STREQ(HexOffset(1LL << 28).text, "00000000.10000000");
  EXPECT_STREQ(HexOffset(5LL << 30).text, "00000001.40000000");
  EXPECT_STREQ(HexOffset(-1).text, "ffffffff.ffffffff");
}

}  // namespace
