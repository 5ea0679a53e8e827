#include "common/number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "common/numeric.hpp"
#include "common/text.hpp"

namespace lumora {
namespace {

TEST(Val, ReadsTheLeadingNumberLikeATypedField) {
  EXPECT_DOUBLE_EQ(Val("2.82"), 2.82);
  EXPECT_DOUBLE_EQ(Val("  2.82 A"), 2.82);
  EXPECT_DOUBLE_EQ(Val("1 2"), 12.0);  // blanks inside are ignored
  EXPECT_DOUBLE_EQ(Val("-3.5e2x"), -350.0);
  EXPECT_DOUBLE_EQ(Val("1d3"), 1000.0);
  EXPECT_DOUBLE_EQ(Val("2.8.2"), 2.8);
  EXPECT_DOUBLE_EQ(Val("2,82"), 2.0);  // a comma ends the number
  EXPECT_DOUBLE_EQ(Val("abc"), 0.0);
  EXPECT_DOUBLE_EQ(Val(""), 0.0);
  EXPECT_DOUBLE_EQ(Val("1e"), 1.0);
  EXPECT_DOUBLE_EQ(Val("&H10"), 16.0);
  EXPECT_DOUBLE_EQ(Val("&HFFFF"), -1.0);
  EXPECT_DOUBLE_EQ(Val("&O17"), 15.0);
}

TEST(ParseNumber, AcceptsOnlyAWholeFiniteNumber) {
  EXPECT_EQ(ParseNumber(" 2.82 "), 2.82);
  EXPECT_EQ(ParseNumber("-.5"), -0.5);
  EXPECT_EQ(ParseNumber("+1e-3"), 0.001);
  EXPECT_EQ(ParseNumber("30."), 30.0);
  for (const char* bad : {"", " ", "abc", "2.82A", "2,82", "1 2", "1e999", "nan", "inf", ".", "-", "1e", "&H10"})
    EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
}

TEST(FormatFixed, RoundsToNearestWithTiesAwayFromZero) {
  EXPECT_EQ(FormatFixed(2.82, 4), "2.8200");
  EXPECT_EQ(FormatFixed(-0.25, 4), "-0.2500");
  EXPECT_EQ(FormatFixed(12.06, 4), "12.0600");
  EXPECT_EQ(FormatFixed(0.015625, 5), "0.01563");    // an exact binary tie
  EXPECT_EQ(FormatFixed(-0.015625, 5), "-0.01563");
  EXPECT_EQ(FormatFixed(2.5, 0), "3");
  EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
  EXPECT_EQ(FormatFixed(9.999995, 5), "10.00000");  // carry into a new digit
  EXPECT_EQ(FormatFixed(0.0000049, 5), "0.00000");
  EXPECT_EQ(FormatFixed(12345.678, 5), "12345.67800");
  EXPECT_EQ(FormatFixed(-1000.0, 0), "-1000");
}

TEST(FormatFixed, AgreesWithPrintfExceptThatTiesGoAwayFromZero) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-12, 14);
  for (int i = 0; i < 200000; ++i) {
    const float f = std::ldexp(mantissa(random), exponent(random));
    for (int decimals : {0, 1, 2, 3, 4, 5}) {
      // printf rounds the exact binary value halves to even; the two differ on exact ties only.
      const double scaled = static_cast<double>(f) * std::pow(10.0, decimals);
      const bool tie = scaled - std::floor(scaled) == 0.5;
      const double nudged = tie ? static_cast<double>(f) + std::copysign(std::pow(10.0, -decimals) / 4, f) : f;
      char reference[64];
      std::snprintf(reference, sizeof reference, "%.*f", decimals, nudged);
      std::string expected = reference;
      if (expected.find_first_not_of("-0.") == std::string::npos && expected[0] == '-') expected.erase(0, 1);
      ASSERT_EQ(FormatFixed(f, decimals), expected) << f << " with " << decimals;
    }
  }
}

TEST(FormatFixed, NoMinusSignOnValuesThatRoundToZero) {
  EXPECT_EQ(FormatFixed(-3e-17, 5), "0.00000");
  EXPECT_EQ(FormatFixed(-0.0, 0), "0");
  EXPECT_EQ(FormatFixed(-0.000005, 5), "-0.00001");
}

TEST(FormatSingle, SevenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(FormatSingle(0.7106867f), "0.7106867");
  EXPECT_EQ(FormatSingle(2.29092f), "2.29092");
  EXPECT_EQ(FormatSingle(20.0f), "20");
  EXPECT_EQ(FormatSingle(0.0f), "0");
  EXPECT_EQ(FormatSingle(1.5e-5f), "1.5E-05");
  EXPECT_EQ(FormatSingle(-12345678.0f), "-1.234568E+07");
}

TEST(SignedWholeText, LeadingBlankOrMinus) {
  EXPECT_EQ(SignedWholeText(2), " 2");
  EXPECT_EQ(SignedWholeText(0), " 0");
  EXPECT_EQ(SignedWholeText(-1), "-1");
  EXPECT_EQ(SignedWholeText(-0.0), " 0");
}

TEST(TextHelpers, FixedWidthFieldsCutLongTextOnTheRight) {
  EXPECT_EQ(PadLeft("ab", 4), "  ab");
  EXPECT_EQ(PadLeft("-1000", 4), "-100");
  EXPECT_EQ(PadLeft("-1234.5678", 9), "-1234.567");
  EXPECT_EQ(PadRight("#", 5), "#    ");
  EXPECT_EQ(PadRight("123456", 5), "12345");
  EXPECT_EQ(RepeatStr("-", 3), "---");
  EXPECT_EQ(RepeatStr("ab", 0), "");
}

TEST(TextHelpers, SplitWordsTreatsRunsOfBlanksAsOneSeparator) {
  EXPECT_EQ(SplitWords("  0   2 2  1 0 "), (std::vector<std::string>{"0", "2", "2", "1", "0"}));
  EXPECT_TRUE(SplitWords("    ").empty());
  EXPECT_EQ(SplitWords("76 P235.1 h1=5n for  h1").size(), 5u);
}

TEST(Numeric, ArcFunctionsSaturateAndUseTheProgramsPi) {
  EXPECT_EQ(ArcSin(1.0), 3.141592654 / 2);
  EXPECT_EQ(ArcSin(7.0), 3.141592654 / 2);
  EXPECT_EQ(ArcSin(-1.0), -3.141592654 / 2);
  EXPECT_EQ(ArcCos(1.5), 0.0);
  EXPECT_EQ(ArcCos(-1.0), 3.141592654);
  EXPECT_NEAR(ArcCos(0.5), std::acos(0.5), 1e-12);
  EXPECT_NEAR(ArcSin(0.5), std::asin(0.5), 1e-12);
  // A ratio of 1 or more gives 90.00000001 degrees.
  EXPECT_NEAR(ArcSin(1.0) / kRadianDivisor, 90.00000001, 5e-9);
  EXPECT_GT(ArcSin(1.0) / kRadianDivisor, 90.0);
}

TEST(Numeric, ParityAndRounding) {
  EXPECT_TRUE(IsOdd(-3));
  EXPECT_TRUE(IsEven(-4));
  EXPECT_TRUE(IsEven(0));
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_FLOAT_EQ(Frac(-2.75f), -0.75f);
  EXPECT_EQ(MinOf(2, 1), 1);
  EXPECT_EQ(MaxOf(0, -1), 0);
  EXPECT_EQ(Max3(1, 3, 2), 3);
}

}  // namespace
}  // namespace lumora
