// The decimal texts and the rounding built on printf must give exactly what the standard library's
// std::to_chars and std::llround give, which the tests may use.

#include "base/DecimalText.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

namespace almanex {
namespace {

std::string StandardShortest(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string StandardFixedDigits(double value, int decimals) {
  std::string buffer(400, '\0');
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  std::string digits;
  for (const char* p = buffer.data(); p != result.ptr; ++p) {
    if (*p != '.') digits += *p;
  }
  return digits;
}

/// Doubles of every kind: whole bit patterns (subnormals, huge, tiny) and the spans the program prints.
std::vector<double> SampleDoubles() {
  std::vector<double> values{0.1,        0.5,
                             1,          742593600,
                             1e20,       1e21,
                             1e-5,       0.0001,
                             123456.789, 2.675,
                             0.125,      1e-7,
                             5e-324,     1.7976931348623157e308,
                             1e15,       1e16,
                             1e17,       9.5,
                             99.5,       0.3,
                             2.5e-7,     35.712345678912345,
                             100,        1234567890123456789.0};
  std::mt19937_64 random(20261211);
  std::uniform_real_distribution<double> spans(0, 10000);
  for (int i = 0; i < 3000; ++i) {
    double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    values.push_back(std::fabs(value));
    values.push_back(spans(random));
    values.push_back(std::round(spans(random) * 1000) / 1000);
  }
  return values;
}

TEST(DecimalText, ShortestTextIsTheStandardShortestText) {
  for (const double value : SampleDoubles()) {
    EXPECT_EQ(ShortestText(value), StandardShortest(value)) << value;
    EXPECT_EQ(ShortestText(-value), StandardShortest(-value)) << value;
  }
  EXPECT_EQ(ShortestText(0.0), "0");
  EXPECT_EQ(ShortestText(-0.0), "-0");
}

TEST(DecimalText, FixedDigitsAreTheStandardFixedDigits) {
  for (const double value : SampleDoubles()) {
    if (value > 1e40) continue;
    for (const int decimals : {0, 1, 2, 3, 6, 20}) {
      EXPECT_EQ(FixedDigits(value, decimals), StandardFixedDigits(value, decimals)) << value << " " << decimals;
    }
  }
  EXPECT_EQ(FixedDigits(12.3449, 2), "1234");
  EXPECT_EQ(FixedDigits(0.125, 2), "012");  // the tie goes to even
}

TEST(DecimalText, TextsKeepTheirPointUnderAnotherNumericLocale) {
  // The window runs under the user's LC_NUMERIC, whose decimal point may be a comma. The German locale
  // is built for the test when the machine has none.
  locale_t german = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
  std::string folder = "/tmp/almanex-locale-XXXXXX";
  if (german == static_cast<locale_t>(nullptr) && ::mkdtemp(folder.data()) != nullptr) {
    const std::string command = "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) {
      ::setenv("LOCPATH", folder.c_str(), 1);
      german = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
      ::unsetenv("LOCPATH");
    }
    std::system(("rm -rf " + folder).c_str());
  }
  if (german == static_cast<locale_t>(nullptr)) GTEST_SKIP() << "no German locale, and localedef cannot build one";
  const locale_t previous = ::uselocale(german);
  ASSERT_STREQ(::localeconv()->decimal_point, ",");
  EXPECT_EQ(ShortestText(2.5), "2.5");
  EXPECT_EQ(ShortestText(35.712345678912345), StandardShortest(35.712345678912345));
  EXPECT_EQ(FixedDigits(2.5, 2), "250");
  ::uselocale(previous);
  ::freelocale(german);
}

TEST(DecimalText, RoundToIntegerIsLlround) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> near(-1e6, 1e6);
  std::vector<double> values{0.5,
                             -0.5,
                             1.5,
                             -1.5,
                             2.5,
                             0.49999999999999994,
                             -0.49999999999999994,
                             4503599627370495.5,
                             4503599627370497.0,
                             9.2e18,
                             -9.2e18,
                             0};
  for (int i = 0; i < 10000; ++i) values.push_back(near(random));
  for (int i = 0; i < 1000; ++i) values.push_back(std::round(near(random)) + 0.5);
  for (const double value : values) EXPECT_EQ(RoundToInteger(value), std::llround(value)) << value;
  EXPECT_EQ(RoundToInteger(std::nan("")), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(RoundToInteger(1e300), std::numeric_limits<std::int64_t>::min());
}

}  // namespace
}  // namespace almanex
