// The date pattern language: what a pattern writes, what it reads, and that the two agree.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "datetime/DateFormat.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

FormatSettings GermanSeparators() {
  FormatSettings settings;
  settings.dateSeparator = ".";
  settings.timeSeparator = ".";
  settings.timeAmString = "vorm.";
  settings.timePmString = "nachm.";
  return settings;
}

struct FormatCase {
  const char* name;
  const char* pattern;
  DateTime value;
  const char* expected;
  bool german = false;
  friend void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }
};

const DateTime kSaturday = MakeDateTime(2024, 2, 10, 6, 7, 8, 9);  // Saturday 10 February 2024 06:07:08.009
const DateTime kEvening = MakeDateTime(2024, 2, 10, 18, 5);

const FormatCase kFormatCases[] = {
    {"NumericDate", "m/d/yyyy", kSaturday, "2/10/2024"},
    {"PaddedDate", "dd/mm/yyyy", MakeDateTime(2024, 3, 5), "05/03/2024"},
    {"SeparatorsFromSettings", "dd/mm/yyyy hh:nn", kSaturday, "10.02.2024 06.07", true},
    {"TwoDigitYear", "yy", MakeDateTime(2005, 1, 1), "05"},
    {"FourDigitYearPadded", "yyyy", MakeDateTime(12, 1, 1), "0012"},
    {"Names", "dddd ddd mmmm mmm", kSaturday, "Saturday Sat February Feb"},
    {"LettersIgnoreCase", "DDDD, D MMMM YYYY", kSaturday, "Saturday, 10 February 2024"},
    {"MinutesAfterHour", "hh:mm", kSaturday, "06:07"},
    {"MonthThenMinutesAfterHour", "mm/dd hh:mm", kSaturday, "02/10 06:07"},
    {"MinutesAfterHourAcrossLiteral", "h 'Uhr' mm", kSaturday, "6 Uhr 07"},
    {"MonthWithoutHour", "mm", kSaturday, "02"},
    {"QtStyleTime", "HH:mm:ss", kSaturday, "06:07:08"},
    {"MinuteLetter", "h:n:s", kSaturday, "6:7:8"},
    {"Milliseconds", "hh:nn:ss.zzz", kSaturday, "06:07:08.009"},
    {"MillisecondsUnpadded", "s.z", kSaturday, "8.9"},
    {"AmPmLowerCase", "h:nn am/pm", kEvening, "6:05 pm"},
    {"AmPmUpperCase", "h:nn AM/PM", kSaturday, "6:07 AM"},
    {"AmPmMixedCase", "h:nn Am/pM", kEvening, "6:05 pM"},
    {"AmPmLetter", "h:nn a/p", kEvening, "6:05 p"},
    {"AmPmLocale", "h:nn ampm", kEvening, "6.05 nachm.", true},
    {"TwelveHourMidnight", "hh:nn ampm", MakeDateTime(2024, 2, 10), "12:00 AM"},
    {"TwelveHourNoon", "h:nn ampm", MakeDateTime(2024, 2, 10, 12), "12:00 PM"},
    {"TwentyFourHourWithoutAmPm", "h:nn", kEvening, "18:05"},
    {"SingleQuotedLiteral", "'yyyy' yyyy", kSaturday, "yyyy 2024"},
    {"DoubleQuotedLiteral", "\"Day\" d \"of\" mmmm", kSaturday, "Day 10 of February"},
    {"QuoteInsideOtherQuotes", "\"it's\" d", kSaturday, "it's 10"},
    {"PlainLettersStayLiteral", "d. mmmm yyyy, KW", kSaturday, "10. February 2024, KW"},
    {"RoundsIntoNextDay", "yyyy-mm-dd hh:nn:ss.zzz", MakeDateTime(2024, 2, 10) + 86399999.6 / kMillisecondsPerDay,
     "2024-02-11 00:00:00.000"},
    {"FirstDayOfTheRange", "dddd yyyy-mm-dd", MakeDateTime(1, 1, 1), "Monday 0001-01-01"},
};

class FormatTable : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatTable, Writes) {
  const FormatCase& c = GetParam();
  const FormatSettings settings = c.german ? GermanSeparators() : FormatSettings{};
  EXPECT_EQ(FormatDateTime(c.pattern, c.value, settings), c.expected);
}

INSTANTIATE_TEST_SUITE_P(DateFormat, FormatTable, testing::ValuesIn(kFormatCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ParseCase {
  const char* name;
  const char* pattern;
  const char* text;
  std::optional<DateTime> expected;
  bool german = false;
  friend void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }
};

const ParseCase kParseCases[] = {
    {"NumericDate", "m/d/yyyy", "2/10/2024", MakeDateTime(2024, 2, 10)},
    {"LeadingZeros", "m/d/yyyy", "02/01/2024", MakeDateTime(2024, 2, 1)},
    {"FewerDigitsThanToken", "dd/mm/yyyy", "1/2/2024", MakeDateTime(2024, 2, 1)},
    {"BlanksAround", "m/d/yyyy", " \t 2/10/2024  ", MakeDateTime(2024, 2, 10)},
    {"TwoDigitYearRecent", "m/d/yy", "2/10/24", MakeDateTime(2024, 2, 10)},
    {"TwoDigitYearPivotHigh", "m/d/yy", "2/10/69", MakeDateTime(1969, 2, 10)},
    {"TwoDigitYearPivotLow", "m/d/yy", "2/10/68", MakeDateTime(2068, 2, 10)},
    {"TwoDigitsUnderFourDigitYear", "m/d/yyyy", "2/10/24", MakeDateTime(2024, 2, 10)},
    {"FourDigitsUnderTwoDigitYear", "m/d/yy", "2/10/1924", MakeDateTime(1924, 2, 10)},
    {"FourDigitsAreTheYear", "m/d/yyyy", "2/10/0024", MakeDateTime(24, 2, 10)},
    {"DigitsWithoutSeparators", "yyyymmdd", "20240210", MakeDateTime(2024, 2, 10)},
    {"Names", "dddd, d mmmm yyyy", "Saturday, 10 February 2024", MakeDateTime(2024, 2, 10)},
    {"NamesIgnoreCase", "dddd, d mmmm yyyy", "SATURDAY, 10 february 2024", MakeDateTime(2024, 2, 10)},
    {"ShortNamesUnderLongTokens", "dddd, d mmmm yyyy", "Sat, 10 Feb 2024", MakeDateTime(2024, 2, 10)},
    {"LongNameUnderShortToken", "d mmm yyyy", "10 February 2024", MakeDateTime(2024, 2, 10)},
    {"DayNameContradictingDate", "dddd, d mmmm yyyy", "Sunday, 10 February 2024", std::nullopt},
    {"Time", "hh:nn:ss", "06:07:08", MakeDateTime(1899, 12, 30, 6, 7, 8)},
    {"TimeFewDigits", "hh:nn:ss", "6:7:8", MakeDateTime(1899, 12, 30, 6, 7, 8)},
    {"QtStyleTime", "HH:mm:ss", "18:30:00", MakeDateTime(1899, 12, 30, 18, 30)},
    {"Milliseconds", "hh:nn:ss.zzz", "06:07:08.009", MakeDateTime(1899, 12, 30, 6, 7, 8, 9)},
    {"AfternoonLocale", "h:nn:ss ampm", "6:07:08 PM", MakeDateTime(1899, 12, 30, 18, 7, 8)},
    {"AfternoonLowerCase", "h:nn:ss ampm", "6:07:08 pm", MakeDateTime(1899, 12, 30, 18, 7, 8)},
    {"AfternoonWithoutBlank", "h:nn:ss ampm", "6:07:08PM", MakeDateTime(1899, 12, 30, 18, 7, 8)},
    {"TwelveAm", "h:nn:ss ampm", "12:00:00 AM", MakeDateTime(1899, 12, 30, 0)},
    {"TwelvePm", "h:nn:ss ampm", "12:00:00 PM", MakeDateTime(1899, 12, 30, 12)},
    {"HourBeyondTwelve", "h:nn:ss ampm", "13:00:00 PM", std::nullopt},
    {"AmPmWord", "h:nn am/pm", "6:05 am", MakeDateTime(1899, 12, 30, 6, 5)},
    {"AmPmLetter", "h:nn a/p", "6:05 p", MakeDateTime(1899, 12, 30, 18, 5)},
    {"LocaleTexts", "h:nn ampm", "6.05 nachm.", MakeDateTime(1899, 12, 30, 18, 5), true},
    {"MissingAmPm", "h:nn ampm", "6:05", std::nullopt},
    {"Literal", "'Tag' d", "Tag 10", MakeDateTime(1899, 12, 10)},
    {"SeparatorFromSettings", "dd/mm/yyyy", "10.02.2024", MakeDateTime(2024, 2, 10), true},
    {"WrongSeparator", "dd/mm/yyyy", "10/02/2024", std::nullopt, true},
    {"DateAndTime", "m/d/yyyy h:nn:ss ampm", "2/10/2024 6:07:08 PM", MakeDateTime(2024, 2, 10, 18, 7, 8)},
    {"EmptyText", "m/d/yyyy", "", std::nullopt},
    {"Garbage", "m/d/yyyy", "abc", std::nullopt},
    {"NoSuchDay", "m/d/yyyy", "2/30/2024", std::nullopt},
    {"NoSuchMonth", "m/d/yyyy", "13/1/2024", std::nullopt},
    {"YearZero", "m/d/yyyy", "1/1/0000", std::nullopt},
    {"FiveDigitYear", "m/d/yyyy", "1/1/10000", std::nullopt},
    {"TrailingText", "m/d/yyyy", "2/10/2024 x", std::nullopt},
    {"MissingYear", "m/d/yyyy", "2/10", std::nullopt},
    {"DoubledSeparator", "m/d/yyyy", "2//10/2024", std::nullopt},
    {"Sign", "m/d/yyyy", "-2/10/2024", std::nullopt},
    {"Hour24", "hh:nn:ss", "24:00:00", std::nullopt},
    {"Minute60", "hh:nn:ss", "06:60:00", std::nullopt},
    {"UnknownMonthName", "d mmmm yyyy", "10 Brumaire 2024", std::nullopt},
};

class ParseTable : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, Reads) {
  const ParseCase& c = GetParam();
  const FormatSettings settings = c.german ? GermanSeparators() : FormatSettings{};
  const std::optional<DateTime> read = ParseDateTime(c.pattern, c.text, settings);
  const std::string shown = read ? FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", *read, settings) : "nothing";
  ASSERT_EQ(read.has_value(), c.expected.has_value()) << shown;
  if (c.expected) {
    EXPECT_DOUBLE_EQ(*read, *c.expected) << shown;
  }
}

INSTANTIATE_TEST_SUITE_P(DateFormat, ParseTable, testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What any pattern writes, it reads back to the value it wrote (to its own precision).
TEST(DateFormat, WrittenTextReadsBackUnchanged) {
  struct Pattern {
    const char* pattern;
    bool hasMilliseconds;
  };
  const Pattern patterns[] = {{"m/d/yyyy h:nn:ss.zzz ampm", true},
                              {"dddd, d mmmm yyyy hh:nn:ss.zzz", true},
                              {"yyyymmddhhnnsszzz", true},
                              {"ddd dd mmm yyyy h:mm:ss a/p", false},
                              {"d. mmmm yyyy, hh 'Uhr' mm ss", false},
                              // longer than the patterns whose tokens are kept between calls
                              {"'Written down for the record, long after the fact, on' dddd d mmmm yyyy "
                               "'at' h:nn:ss.zzz ampm",
                               true}};
  const DateTime values[] = {MakeDateTime(1, 1, 1),
                             MakeDateTime(1899, 12, 30),
                             MakeDateTime(2024, 2, 29, 12, 0, 0, 1),
                             MakeDateTime(2024, 2, 10, 0, 30, 5, 999),
                             MakeDateTime(2026, 12, 31, 23, 59, 59),
                             MakeDateTime(9999, 12, 31, 23, 59, 59, 999)};
  for (const FormatSettings& settings : {FormatSettings{}, GermanSeparators()}) {
    for (const Pattern& p : patterns) {
      for (const DateTime value : values) {
        const std::string text = FormatDateTime(p.pattern, value, settings);
        const CivilDateTime civil = DecodeDateTime(value);
        const DateTime expected =
            EncodeDate(civil.date) + EncodeTime(civil.time.hour, civil.time.minute, civil.time.second,
                                                p.hasMilliseconds ? civil.time.millisecond : 0);
        const auto read = ParseDateTime(p.pattern, text, settings);
        ASSERT_TRUE(read) << p.pattern << " wrote " << text;
        EXPECT_EQ(*read, expected) << p.pattern << " wrote " << text;
      }
    }
  }
}

TEST(DateFormat, ShortDateLongTimeAndDateTimeText) {
  const FormatSettings settings;  // m/d/yyyy and h:nn:ss ampm
  const DateTime almostMidnight = MakeDateTime(2024, 2, 10) + 86399999.6 / kMillisecondsPerDay;
  EXPECT_EQ(FormatShortDate(kSaturday, settings), "2/10/2024");
  EXPECT_EQ(FormatShortDate(almostMidnight, settings), "2/10/2024");  // the date part, never tomorrow
  EXPECT_EQ(FormatLongTime(kSaturday, settings), "6:07:08 AM");
  EXPECT_EQ(FormatLongTime(almostMidnight, settings), "11:59:59 PM");
  EXPECT_EQ(DateTimeToText(MakeDateTime(2024, 2, 10), settings), "2/10/2024");
  EXPECT_EQ(DateTimeToText(kEvening, settings), "2/10/2024 6:05:00 PM");
  EXPECT_EQ(DateTimeToText(MakeDateTime(2024, 2, 10, 0, 0, 0, 1), settings), "2/10/2024 12:00:00 AM");
  EXPECT_EQ(ParseShortDate("2/10/2024", settings, std::chrono::year{2026}), MakeDateTime(2024, 2, 10));
  EXPECT_EQ(ParseLongTime("6:05:00 PM", settings), MakeDateTime(1899, 12, 30, 18, 5));
  // Without its AM/PM text a time is read on the 24-hour clock.
  EXPECT_EQ(ParseLongTime("18:05:00", settings), MakeDateTime(1899, 12, 30, 18, 5));
}

}  // namespace
}  // namespace almanex
