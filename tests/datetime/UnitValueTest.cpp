// The number patterns "%2.0n" and "%2.2n": rounding, grouping, separators and padding.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "datetime/NumberFormat.h"

namespace almanex {
namespace {

struct UnitValueCase {
  const char* name;
  const char* pattern;
  double value;
  const char* expected;
  const char* thousandSeparator = ",";
  const char* decimalSeparator = ".";
  friend void PrintTo(const UnitValueCase& c, std::ostream* out) { *out << c.name; }
};

const UnitValueCase kCases[] = {
    {"SingleDigitPadded", "%2.0n", 5, " 5"},
    {"ZeroPadded", "%2.0n", 0, " 0"},
    {"TwoDigitsNotPadded", "%2.0n", 42, "42"},
    {"SixAndAHalfDaysInSeconds", "%2.0n", 561600, "561,600"},
    {"GroupedMillions", "%2.0n", 41257800, "41,257,800"},
    {"ThreeHundredBillionSeconds", "%2.0n", 3e11, "300,000,000,000"},
    {"LongestSpanInSeconds", "%2.0n", 3155378975999.0, "3,155,378,975,999"},
    {"BeyondExactIntegers", "%2.0n", 1e20, "100,000,000,000,000,000,000"},
    {"HalfRoundsUp", "%2.0n", 0.5, " 1"},
    {"OneAndAHalf", "%2.0n", 1.5, " 2"},
    {"TwoAndAHalfAwayFromZeroNotToEven", "%2.0n", 2.5, " 3"},
    {"NineAndAHalfGrowsADigit", "%2.0n", 9.5, "10"},
    {"CarryIntoNewGroup", "%2.0n", 999.5, "1,000"},
    {"BelowHalf", "%2.0n", 0.4999, " 0"},
    {"Minutes", "%2.2n", 9360, "9,360.00"},
    {"BinaryBelowHalf2675", "%2.2n", 2.675, "2.68"},
    {"BinaryBelowHalf1005", "%2.2n", 1.005, "1.01"},
    {"ExactHalf0125", "%2.2n", 0.125, "0.13"},
    {"Twelfth", "%2.2n", 5.0 / 60, "0.08"},
    {"HalfHundredth", "%2.2n", 0.005, "0.01"},
    {"BelowHalfHundredth", "%2.2n", 0.004999, "0.00"},
    {"ZeroWithDecimals", "%2.2n", 0, "0.00"},
    {"CarryThroughDecimals", "%2.2n", 999999.995, "1,000,000.00"},
    {"LargeWithDecimals", "%2.2n", 3e11, "300,000,000,000.00"},
    {"NegativeHalf", "%2.2n", -2.675, "-2.68"},
    {"NegativeRoundingToZeroHasNoSign", "%2.2n", -0.001, "0.00"},
    {"WordsAround", "%2.2n hours, ", 156, "156.00 hours, "},
    {"PercentSign", "100%% of %2.0n", 7, "100% of  7"},
    {"GermanSeparators", "%2.2n", 9360, "9.360,00", ".", ","},
    {"NoGrouping", "%2.0n", 41257800, "41257800", "", "."},
    {"MultiByteSeparator", "%2.0n", 41257800, "41\u202f257\u202f800", "\u202f", ","},
    {"PaddingCountsCharactersNotBytes", "%6.0n", 1000, " 1\u202f000", "\u202f", ","},
    {"PaddingWithMultiByteDecimal", "%6.1n", 2.25, "   2\u066b3", ",", "\u066b"},
};

class UnitValueTable : public testing::TestWithParam<UnitValueCase> {};

TEST_P(UnitValueTable, Formats) {
  const UnitValueCase& c = GetParam();
  FormatSettings settings;
  settings.thousandSeparator = c.thousandSeparator;
  settings.decimalSeparator = c.decimalSeparator;
  EXPECT_EQ(FormatUnitValue(c.pattern, c.value, settings), c.expected);
}

INSTANTIATE_TEST_SUITE_P(FormatUnitValue, UnitValueTable, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every amount of cents from 0.00 to 100.00 written as a decimal and its half-cent neighbour, so that
// no binary representation of a written decimal rounds the wrong way.
TEST(FormatUnitValue, EveryHalfCentRoundsAwayFromZero) {
  const FormatSettings settings;
  int failures = 0;
  for (int cents = 0; cents < 10000 && failures < 10; ++cents) {
    const double half = (cents * 10 + 5) / 1000.0;  // x.xx5
    const std::string expected = std::to_string((cents + 1) / 100) + "." + (((cents + 1) % 100) < 10 ? "0" : "") +
                                 std::to_string((cents + 1) % 100);
    std::string got = FormatUnitValue("%2.2n", half, settings);
    if (got != expected) {
      ADD_FAILURE() << half << " gave " << got << " instead of " << expected;
      ++failures;
    }
    const double exact = cents / 100.0;
    const std::string same =
        std::to_string(cents / 100) + "." + ((cents % 100) < 10 ? "0" : "") + std::to_string(cents % 100);
    got = FormatUnitValue("%2.2n", exact, settings);
    if (got != same) {
      ADD_FAILURE() << exact << " gave " << got << " instead of " << same;
      ++failures;
    }
  }
}

}  // namespace
}  // namespace almanex
