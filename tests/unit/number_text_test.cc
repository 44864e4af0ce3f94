#include <cmath>
#include <string>

#include "console.h"
#include "gtest/gtest.h"

namespace {

std::string Real(long double value, int decimals) {
  char text[kNumberTextMax];
  return std::string(text, FormatReal(value, decimals, text));
}

std::string Integer(int32_t value) {
  char text[kNumberTextMax];
  return std::string(text, FormatInteger(value, text));
}

TEST(NumberText, IntegersCoverTheWholeSignedRange) {
  EXPECT_EQ(Integer(0), "0");
  EXPECT_EQ(Integer(7), "7");
  EXPECT_EQ(Integer(-7), "-7");
  EXPECT_EQ(Integer(1000000), "1000000");
  EXPECT_EQ(Integer(2147483647), "2147483647");
  EXPECT_EQ(Integer(INT32_MIN), "-2147483648");
  // An error code held unsigned is shown as its signed reading.
  EXPECT_EQ(Integer(static_cast<int32_t>(4294967295u)), "-1");
}

TEST(NumberText, WorkedExamplesOfReals) {
  struct Case {
    long double value;
    int decimals;
    const char* text;
  };
  volatile long double eighth = 0.125L;
  volatile long double tiny = 1e-19L;
  const Case cases[] = {
      {0.0L, 0, "0"},          {0.0L, 2, "0.00"},        {0.06L, 2, "0.06"},
      {0.125L, 2, "0.13"},     {eighth - tiny, 2, "0.13"}, {2.675L, 2, "2.68"},
      {2.5L, 0, "3"},          {0.5L, 0, "1"},           {9.996L, 2, "10.00"},
      {99.995L, 2, "100.00"},  {12.345L, 2, "12.35"},    {256.0L, 1, "256.0"},
      {1.5L, 1, "1.5"},        {10.0L, 0, "10"},         {15.99L, 1, "16.0"},
      {341.3333333L, 1, "341.3"}, {1e-18L, 2, "0.00"},   {0.001L, 2, "0.00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Real(c.value, c.decimals), c.text) << static_cast<double>(c.value);
  }
}

TEST(NumberText, SignFollowsTheValueNotTheDigits) {
  EXPECT_EQ(Real(-0.0L, 2), "-0.00");
  EXPECT_EQ(Real(-0.001L, 2), "-0.00");
  EXPECT_EQ(Real(-2.5L, 0), "-3");
  EXPECT_EQ(Real(-1536.0L, 1), "-1536.0");
}

// Exact only when the arithmetic keeps a 64-bit significand: with 53 bits the lower
// digits of these counts are lost.
TEST(NumberText, WholeNumbersBelowTenTo18AreExact) {
  const int64_t counts[] = {1,
                            1536,
                            4294967295LL,
                            5368709220LL,
                            123456789012345678LL,
                            999999999999999999LL,
                            (1LL << 59) + 1};
  for (int64_t count : counts) {
    EXPECT_EQ(Real(static_cast<long double>(count), 0), std::to_string(count));
  }
  EXPECT_EQ(Real(1536.0L * 0x1p-20L, 2), "0.00");
  EXPECT_EQ(Real(104857600.0L * 0x1p-10L, 1), "102400.0");
}

TEST(NumberText, ArithmeticHasA64BitSignificand) {
  volatile long double one = 1.0L;
  volatile long double smallest = 0x1p-63L;
  EXPECT_NE(one + smallest, one);
}

TEST(NumberText, LargeMagnitudesScaleDown) {
  EXPECT_EQ(Real(1e20L, 0), "100000000000000000000");
  EXPECT_EQ(Real(123456789.125L, 2), "123456789.13");
  EXPECT_EQ(Real(1e35L, 0), "100000000000000000000000000000000000");
}

TEST(NumberText, HexFormsAreFullWidthLowercase) {
  EXPECT_STREQ(HexWord(0).text, "0000");
  EXPECT_STREQ(HexWord(10).text, "000a");
  EXPECT_STREQ(HexWord(32768).text, "8000");
  EXPECT_STREQ(HexDword(0xDEADBEEFu).text, "deadbeef");
  EXPECT_STREQ(HexOffset(0).text, "00000000.00000000");
  EXPECT_STREQ(HexOffset(1LL << 28).text, "00000000.10000000");
  EXPECT_STREQ(HexOffset(1LL << 32).text, "00000001.00000000");
  EXPECT_STREQ(HexOffset(5LL << 30).text, "00000001.40000000");
  EXPECT_STREQ(HexOffset(-1).text, "ffffffff.ffffffff");
}

}  // namespace
