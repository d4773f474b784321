// Dates and times typed into the file by hand: the short date and long time readers take what a user
// types under four regional settings, refuse what names no date or time, and still read back exactly
// what the formatter writes.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "datetime/DateFormat.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

enum class Locale { kUnitedStates, kBritain, kGermany, kC };

FormatSettings SettingsOf(Locale locale) {
  FormatSettings settings;  // en_US: m/d/yyyy and h:nn:ss ampm
  switch (locale) {
    case Locale::kUnitedStates:
      break;
    case Locale::kBritain:
      settings.shortDateFormat = "dd/mm/yyyy";
      settings.longTimeFormat = "hh:nn:ss";
      settings.timeAmString = "am";
      settings.timePmString = "pm";
      break;
    case Locale::kGermany:
      settings.shortDateFormat = "dd.mm.yyyy";
      settings.longTimeFormat = "hh:nn:ss";
      settings.dateSeparator = ".";
      settings.thousandSeparator = ".";
      settings.decimalSeparator = ",";
      break;
    case Locale::kC:
      settings.shortDateFormat = "yyyy-mm-dd";
      settings.longTimeFormat = "hh:nn:ss";
      settings.dateSeparator = "-";
      break;
  }
  return settings;
}

const char* NameOf(Locale locale) {
  switch (locale) {
    case Locale::kUnitedStates:
      return "en_US";
    case Locale::kBritain:
      return "en_GB";
    case Locale::kGermany:
      return "de_DE";
    case Locale::kC:
      return "C";
  }
  return "?";
}

constexpr std::chrono::year kCurrentYear{2026};

struct TypedDateCase {
  const char* name;
  Locale locale;
  const char* text;
  std::optional<DateTime> expected;  // nothing: the caller's default is used
  friend void PrintTo(const TypedDateCase& c, std::ostream* out) { *out << c.name; }
};

const TypedDateCase kTypedDates[] = {
    {"UsWritten", Locale::kUnitedStates, "12/25/2005", MakeDateTime(2005, 12, 25)},
    {"UsNoYearIsThisYear", Locale::kUnitedStates, "12/25", MakeDateTime(2026, 12, 25)},
    {"UsTwoDigitYear", Locale::kUnitedStates, "12/25/05", MakeDateTime(2005, 12, 25)},
    {"UsTwoDigitYearFirstOfWindow", Locale::kUnitedStates, "1/1/76", MakeDateTime(1976, 1, 1)},
    {"UsTwoDigitYearLastOfWindow", Locale::kUnitedStates, "12/31/75", MakeDateTime(2075, 12, 31)},
    {"UsThreeDigitYearIsItself", Locale::kUnitedStates, "1/2/999", MakeDateTime(999, 1, 2)},
    {"UsDashesAreAnotherLocales", Locale::kUnitedStates, "12-25-2005", std::nullopt},
    {"UsDotsAreAnotherLocales", Locale::kUnitedStates, "12.25.2005", std::nullopt},
    {"UsBlanks", Locale::kUnitedStates, "12 25 2005", MakeDateTime(2005, 12, 25)},
    {"UsBlanksAroundSeparators", Locale::kUnitedStates, " 12 / 25 / 2005 ", MakeDateTime(2005, 12, 25)},
    {"UsLeapDay", Locale::kUnitedStates, "2/29/2024", MakeDateTime(2024, 2, 29)},
    {"UsNoLeapDay", Locale::kUnitedStates, "2/29/2023", std::nullopt},
    {"UsNoLeapDayThisYear", Locale::kUnitedStates, "2/29", std::nullopt},
    {"UsMonth13", Locale::kUnitedStates, "13/1/2024", std::nullopt},
    {"UsDay31InThirtyDayMonth", Locale::kUnitedStates, "4/31/2024", std::nullopt},
    {"UsDayZero", Locale::kUnitedStates, "4/0/2024", std::nullopt},
    {"UsYearZero", Locale::kUnitedStates, "1/1/0000", std::nullopt},
    {"UsFiveDigitYear", Locale::kUnitedStates, "1/1/10000", std::nullopt},
    {"UsThreeDigitMonth", Locale::kUnitedStates, "012/25/2005", std::nullopt},
    {"UsFourNumbers", Locale::kUnitedStates, "12/25/2005/1", std::nullopt},
    {"UsOneNumber", Locale::kUnitedStates, "12", std::nullopt},
    {"UsRunTogether", Locale::kUnitedStates, "12252005", std::nullopt},
    {"UsDoubledSeparator", Locale::kUnitedStates, "12//25/2005", std::nullopt},
    {"UsTrailingWord", Locale::kUnitedStates, "12/25/2005 x", std::nullopt},
    {"UsSign", Locale::kUnitedStates, "-12/25/2005", std::nullopt},
    {"UsGarbage", Locale::kUnitedStates, "soon", std::nullopt},
    {"UsEmpty", Locale::kUnitedStates, "", std::nullopt},
    {"GbDayFirst", Locale::kBritain, "25/12/2005", MakeDateTime(2005, 12, 25)},
    {"GbNoYear", Locale::kBritain, "25/12", MakeDateTime(2026, 12, 25)},
    {"GbTwoDigitYear", Locale::kBritain, "25/12/05", MakeDateTime(2005, 12, 25)},
    {"GbUsOrderIsNoMonth", Locale::kBritain, "12/25/2005", std::nullopt},
    {"DeWritten", Locale::kGermany, "25.12.2005", MakeDateTime(2005, 12, 25)},
    {"DeNoYearTrailingDot", Locale::kGermany, "25.12.", MakeDateTime(2026, 12, 25)},
    {"DeNoYear", Locale::kGermany, "1.5", MakeDateTime(2026, 5, 1)},
    {"DeTwoDigitYearLastCentury", Locale::kGermany, "5.1.99", MakeDateTime(1999, 1, 5)},
    {"DeSlashesAreAnotherLocales", Locale::kGermany, "6/5/2003", std::nullopt},
    {"DeDay31InNovember", Locale::kGermany, "31.11.2005", std::nullopt},
    {"CWritten", Locale::kC, "2005-12-25", MakeDateTime(2005, 12, 25)},
    {"CNoYearIsMonthThenDay", Locale::kC, "12-25", MakeDateTime(2026, 12, 25)},
    {"CTwoDigitYear", Locale::kC, "05-12-25", MakeDateTime(2005, 12, 25)},
    {"CSlashesAreAnotherLocales", Locale::kC, "2005/12/25", std::nullopt},
    {"CMonth13", Locale::kC, "2005-13-01", std::nullopt},
};

class TypedDateTable : public testing::TestWithParam<TypedDateCase> {};

TEST_P(TypedDateTable, ReadsAsTheRegionalReaderDoes) {
  const TypedDateCase& c = GetParam();
  const FormatSettings settings = SettingsOf(c.locale);
  const std::optional<DateTime> read = ParseShortDate(c.text, settings, kCurrentYear);
  const std::string shown = read ? FormatDateTime("yyyy-mm-dd hh:nn:ss", *read, settings) : "nothing";
  ASSERT_EQ(read.has_value(), c.expected.has_value()) << NameOf(c.locale) << " read " << shown;
  if (c.expected) {
    EXPECT_EQ(*read, *c.expected) << shown;
  }
}

INSTANTIATE_TEST_SUITE_P(ParseShortDate, TypedDateTable, testing::ValuesIn(kTypedDates),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParseShortDate, TwoDigitYearsFollowTheCurrentYear) {
  const FormatSettings settings = SettingsOf(Locale::kUnitedStates);
  EXPECT_EQ(ParseShortDate("1/1/30", settings, std::chrono::year{1950}), MakeDateTime(1930, 1, 1));
  EXPECT_EQ(ParseShortDate("1/1/99", settings, std::chrono::year{1950}), MakeDateTime(1999, 1, 1));
  EXPECT_EQ(ParseShortDate("1/1/00", settings, std::chrono::year{1950}), MakeDateTime(1900, 1, 1));
  EXPECT_EQ(ParseShortDate("1/1/00", settings, std::chrono::year{2051}), MakeDateTime(2100, 1, 1));
  EXPECT_EQ(ParseShortDate("7/4", settings, std::chrono::year{1999}), MakeDateTime(1999, 7, 4));
}

// A short date format with a month name is not numeric: its text is read with the format itself.
TEST(ParseShortDate, AFormatWithNamesStillReads) {
  FormatSettings settings;
  settings.shortDateFormat = "d mmm yyyy";
  EXPECT_EQ(ParseShortDate("25 Dec 2005", settings, kCurrentYear), MakeDateTime(2005, 12, 25));
  EXPECT_EQ(ParseShortDate("25 12 2005", settings, kCurrentYear), MakeDateTime(2005, 12, 25));
  EXPECT_FALSE(ParseShortDate("25 Dez 2005", settings, kCurrentYear));
}

// A format that mixes date and time fields gives each reader only its own half.
TEST(ParseShortDate, AFormatWithTimeFieldsGivesTheDateAlone) {
  FormatSettings settings;
  settings.shortDateFormat = "d mmm yyyy a/p";
  EXPECT_EQ(ParseShortDate("25 Dec 2005 p", settings, kCurrentYear), MakeDateTime(2005, 12, 25));
  settings.shortDateFormat = " a/p";
  EXPECT_EQ(ParseShortDate("p", settings, kCurrentYear), MakeDateTime(1899, 12, 30));
  settings.longTimeFormat = "d mmm yyyy hh:nn";
  EXPECT_EQ(ParseLongTime("25 Dec 2005 18:05", settings), MakeDateTime(1899, 12, 30, 18, 5));
}

struct TypedTimeCase {
  const char* name;
  Locale locale;
  const char* text;
  std::optional<DateTime> expected;  // nothing: the caller's default is used
  friend void PrintTo(const TypedTimeCase& c, std::ostream* out) { *out << c.name; }
};

DateTime Clock(unsigned hour, unsigned minute, unsigned second = 0, unsigned millisecond = 0) {
  return MakeDateTime(1899, 12, 30, hour, minute, second, millisecond);
}

const TypedTimeCase kTypedTimes[] = {
    {"UsWritten", Locale::kUnitedStates, "4:00:00 PM", Clock(16, 0)},
    {"UsNoSeconds", Locale::kUnitedStates, "9:00 AM", Clock(9, 0)},
    {"UsTwentyFourHours", Locale::kUnitedStates, "16:00:00", Clock(16, 0)},
    {"UsTwentyFourHoursNoSeconds", Locale::kUnitedStates, "16:05", Clock(16, 5)},
    {"UsMidnightHalfPast", Locale::kUnitedStates, "12:30 AM", Clock(0, 30)},
    {"UsNoonHalfPast", Locale::kUnitedStates, "12:30 PM", Clock(12, 30)},
    {"UsHourZeroAm", Locale::kUnitedStates, "0:15 AM", Clock(0, 15)},
    {"UsLowerCaseNoBlank", Locale::kUnitedStates, "9:05pm", Clock(21, 5)},
    {"UsAmPmFirst", Locale::kUnitedStates, "PM 9:05", Clock(21, 5)},
    {"UsHourWithAmPm", Locale::kUnitedStates, "9 PM", Clock(21, 0)},
    {"UsMilliseconds", Locale::kUnitedStates, "9:00:00.25 PM", Clock(21, 0, 0, 250)},
    {"UsBlanksAround", Locale::kUnitedStates, "  9:00 AM  ", Clock(9, 0)},
    {"UsHour13Pm", Locale::kUnitedStates, "13:00 PM", std::nullopt},
    {"UsHour25", Locale::kUnitedStates, "25:00", std::nullopt},
    {"UsHour24", Locale::kUnitedStates, "24:00:00", std::nullopt},
    {"UsMinute60", Locale::kUnitedStates, "9:60 AM", std::nullopt},
    {"UsSecond60", Locale::kUnitedStates, "9:00:60", std::nullopt},
    {"UsHourAlone", Locale::kUnitedStates, "9", std::nullopt},
    {"UsAmPmTwice", Locale::kUnitedStates, "AM 9:00 PM", std::nullopt},
    {"UsSeparatorWithoutMinutes", Locale::kUnitedStates, "9: AM", std::nullopt},
    {"UsThreeDigitHour", Locale::kUnitedStates, "009:00", std::nullopt},
    {"UsGarbage", Locale::kUnitedStates, "noon", std::nullopt},
    {"UsEmpty", Locale::kUnitedStates, "", std::nullopt},
    {"GbWritten", Locale::kBritain, "16:00:00", Clock(16, 0)},
    {"GbNoSeconds", Locale::kBritain, "7:30", Clock(7, 30)},
    {"GbLocaleAmPm", Locale::kBritain, "4:00 pm", Clock(16, 0)},
    {"GbEnglishAmPm", Locale::kBritain, "4:00 PM", Clock(16, 0)},
    {"GbHour24", Locale::kBritain, "24:00", std::nullopt},
    {"DeWritten", Locale::kGermany, "09:05:07", Clock(9, 5, 7)},
    {"DeNoSeconds", Locale::kGermany, "23:59", Clock(23, 59)},
    {"DeMillisecondsAfterComma", Locale::kGermany, "23:59:58,5", Clock(23, 59, 58, 500)},
    {"CWritten", Locale::kC, "07:30:15", Clock(7, 30, 15)},
    {"CTwelveHour", Locale::kC, "7:30 PM", Clock(19, 30)},
};

class TypedTimeTable : public testing::TestWithParam<TypedTimeCase> {};

TEST_P(TypedTimeTable, ReadsAsTheRegionalReaderDoes) {
  const TypedTimeCase& c = GetParam();
  const FormatSettings settings = SettingsOf(c.locale);
  const std::optional<DateTime> read = ParseLongTime(c.text, settings);
  const std::string shown = read ? FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", *read, settings) : "nothing";
  ASSERT_EQ(read.has_value(), c.expected.has_value()) << NameOf(c.locale) << " read " << shown;
  if (c.expected) {
    EXPECT_NEAR(*read, *c.expected, 1e-12) << shown;
  }
}

INSTANTIATE_TEST_SUITE_P(ParseLongTime, TypedTimeTable, testing::ValuesIn(kTypedTimes),
                         [](const auto& info) { return std::string(info.param.name); });

// What the formatter writes reads back exactly, under every one of the four settings: every day of
// 1800 to 2199 and every eleventh day of the rest of the range (with a few current years, which a
// four-digit year must not heed), and every second of a day.
TEST(TypedDateTime, EverythingWrittenReadsBack) {
  constexpr Locale kLocales[] = {Locale::kUnitedStates, Locale::kBritain, Locale::kGermany, Locale::kC};
  constexpr std::chrono::year kCurrentYears[] = {std::chrono::year{1950}, std::chrono::year{2026},
                                                 std::chrono::year{2100}};
  for (const Locale locale : kLocales) {
    const FormatSettings settings = SettingsOf(locale);
    int failures = 0;
    int step = 0;
    const DateTime everyDayFrom = MakeDateTime(1800, 1, 1);
    const DateTime everyDayUntil = MakeDateTime(2200, 1, 1);
    for (DateTime day = kMinDateTime; day <= kMaxDateTime && failures < 5;
         day += day >= everyDayFrom && day < everyDayUntil ? 1 : 11, ++step) {
      const std::string text = FormatShortDate(day + 0.5, settings);
      const auto read = ParseShortDate(text, settings, kCurrentYears[step % 3]);
      if (!read || *read != day) {
        ADD_FAILURE() << NameOf(locale) << " wrote " << text;
        ++failures;
      }
    }
    for (unsigned second = 0; second < 86400 && failures < 5; ++second) {
      const DateTime time = EncodeTime(second / 3600, second / 60 % 60, second % 60);
      const std::string text = FormatLongTime(MakeDateTime(2024, 2, 29) + time, settings);
      const auto read = ParseLongTime(text, settings);
      if (!read || *read != time) {
        ADD_FAILURE() << NameOf(locale) << " wrote " << text;
        ++failures;
      }
    }
  }
}

}  // namespace
}  // namespace almanex
