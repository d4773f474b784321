// CalcTimeDelta: the worked intervals, order independence, the counts against a walk over the dates,
// failures, and the date-pattern helpers.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>

#include "datetime/DateTimeUnit.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

using UnitTexts = std::array<const char*, 7>;   // seconds .. years
using DayCounts = std::array<std::int32_t, 7>;  // Sunday .. Saturday
using MonthCounts = std::array<std::int32_t, 12>;
using DayNumberCounts = std::array<std::int32_t, 4>;  // days 28, 29, 30, 31
using Rest = std::array<std::uint16_t, 3>;            // hours, minutes, seconds

struct DeltaCase {
  const char* name = "";
  DateTime start = 0;
  DateTime end = 0;
  std::optional<UnitTexts> texts = std::nullopt;
  std::optional<std::int32_t> wholeWeeks = std::nullopt;
  std::optional<DayCounts> dayCounts = std::nullopt;
  std::optional<std::int32_t> weekdayCount = std::nullopt;
  std::optional<std::int32_t> weekendDayCount = std::nullopt;
  std::optional<MonthCounts> monthCounts = std::nullopt;
  std::optional<std::int32_t> leapYearCount = std::nullopt;
  std::optional<DayNumberCounts> dayNumberCounts = std::nullopt;
  std::optional<long double> wholeDays = std::nullopt;
  std::optional<Rest> rest = std::nullopt;
  friend void PrintTo(const DeltaCase& c, std::ostream* out) { *out << c.name; }
};

const DeltaCase kDeltaCases[] = {
    {.name = "Feb2024ToJun2025",
     .start = MakeDateTime(2024, 2, 10, 6),
     .end = MakeDateTime(2025, 6, 1, 18, 30),
     .texts = UnitTexts{"41,257,800", "687,630.00", "11,460.50", "477.52", "68.22", "15.69", "1.31"},
     .wholeWeeks = 68,
     .dayCounts = DayCounts{68, 68, 68, 68, 68, 68, 69},
     .weekdayCount = 340,
     .weekendDayCount = 137,
     .monthCounts = MonthCounts{1, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1},
     .leapYearCount = 1,
     .dayNumberCounts = DayNumberCounts{16, 15, 14, 9},
     .wholeDays = 477,
     .rest = Rest{12, 30, 0}},
    {.name = "EndOnLastDayOfItsMonth",
     .start = MakeDateTime(2026, 1, 31, 9),
     .end = MakeDateTime(2026, 3, 31, 9),
     .monthCounts = MonthCounts{1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     .dayNumberCounts = DayNumberCounts{2, 1, 1, 2}},
    {.name = "ChristmasToNewYear",
     .start = MakeDateTime(2026, 12, 25, 12),
     .end = MakeDateTime(2027, 1, 1),
     .texts = UnitTexts{"561,600", "9,360.00", "156.00", "6.50", "0.93", "0.21", "0.02"},
     .monthCounts = MonthCounts{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
     .leapYearCount = 0,
     .dayNumberCounts = DayNumberCounts{1, 1, 1, 1},
     .wholeDays = 6,
     .rest = Rest{12, 0, 0}},
    {.name = "SevenAndAHalfDays",
     .start = MakeDateTime(2026, 3, 2, 6),
     .end = MakeDateTime(2026, 3, 9, 18),
     .dayCounts = DayCounts{1, 1, 1, 1, 1, 1, 1},
     .weekdayCount = 5,
     .weekendDayCount = 2},
    {.name = "FiveSecondsApart",
     .start = MakeDateTime(2026, 3, 2, 10, 0, 0),
     .end = MakeDateTime(2026, 3, 2, 10, 0, 5),
     .texts = UnitTexts{" 5", "0.08", "0.00", "0.00", "0.00", "0.00", "0.00"},
     .dayCounts = DayCounts{0, 0, 0, 0, 0, 0, 0},
     .monthCounts = MonthCounts{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     .rest = Rest{0, 0, 5}},
    // The span of two date-times with the same time of day is a whole number of days, though the subtraction
    // leaves it a hair short (699.9999999999982): the rest of the day must not read 23:59:59.
    {.name = "WholeDaysWithATimeOfDay",
     .start = MakeDateTime(1943, 5, 8, 1, 40, 6),
     .end = MakeDateTime(1945, 4, 7, 1, 40, 6),
     .texts = UnitTexts{"60,480,000", "1,008,000.00", "16,800.00", "700.00", "100.00", "23.00", "1.92"},
     .wholeWeeks = 100,
     .dayCounts = DayCounts{100, 100, 100, 100, 100, 100, 100},
     .weekdayCount = 500,
     .weekendDayCount = 200,
     .wholeDays = 700,
     .rest = Rest{0, 0, 0}},
    // Twenty years of 365.25 days: the month is 30.4375 days, so the months come out whole.
    {.name = "TwentyYears",
     .start = MakeDateTime(2000, 1, 1, 8),
     .end = MakeDateTime(2020, 1, 1, 8),
     .texts = UnitTexts{"631,152,000", "10,519,200.00", "175,320.00", "7,305.00", "1,043.57", "240.00", "20.00"},
     .wholeDays = 7305,
     .rest = Rest{0, 0, 0}},
    {.name = "EqualDateTimes",
     .start = MakeDateTime(2026, 3, 2, 10),
     .end = MakeDateTime(2026, 3, 2, 10),
     .texts = UnitTexts{" 0", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"},
     .dayCounts = DayCounts{0, 0, 0, 0, 0, 0, 0},
     .monthCounts = MonthCounts{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
};

template <typename T, typename U>
void ExpectIfGiven(const std::optional<T>& expected, const U& actual, const char* field) {
  if (expected) {
    EXPECT_EQ(actual, *expected) << field;
  }
}

class DeltaTable : public testing::TestWithParam<DeltaCase> {};

TEST_P(DeltaTable, FillsTheRecord) {
  const DeltaCase& c = GetParam();
  TTimeDeltaValueRecord record;
  ASSERT_EQ(CalcTimeDelta(c.start, c.end, test::ExampleFormatSettings(), record), std::nullopt);
  if (c.texts) {
    const std::string* texts[] = {&record.SecondsText, &record.MinutesText, &record.HoursText, &record.DaysText,
                                  &record.WeeksText,   &record.MonthsText,  &record.YearsText};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(*texts[i], (*c.texts)[i]) << "unit " << i;
  }
  ExpectIfGiven(c.wholeWeeks, record.WholeWeeks, "wholeWeeks");
  if (c.dayCounts) {
    const DayCounts got{record.SundayCount,   record.MondayCount, record.TuesdayCount, record.WednesdayCount,
                        record.ThursdayCount, record.FridayCount, record.SaturdayCount};
    EXPECT_EQ(got, *c.dayCounts);
  }
  ExpectIfGiven(c.weekdayCount, record.WeekdayCount, "weekdayCount");
  ExpectIfGiven(c.weekendDayCount, record.WeekendDayCount, "weekendDayCount");
  ExpectIfGiven(c.monthCounts, record.MonthCounts, "monthCounts");
  ExpectIfGiven(c.leapYearCount, record.LeapYearCount, "leapYearCount");
  if (c.dayNumberCounts) {
    const DayNumberCounts got{record.Day28Count, record.Day29Count, record.Day30Count, record.Day31Count};
    EXPECT_EQ(got, *c.dayNumberCounts);
  }
  ExpectIfGiven(c.wholeDays, record.WholeDays, "wholeDays");
  ExpectIfGiven(c.rest, (Rest{record.RestHours, record.RestMinutes, record.RestSeconds}), "rest");
}

TEST_P(DeltaTable, OrderDoesNotMatter) {
  const DeltaCase& c = GetParam();
  TTimeDeltaValueRecord forward;
  TTimeDeltaValueRecord backward;
  ASSERT_EQ(CalcTimeDelta(c.start, c.end, test::ExampleFormatSettings(), forward), std::nullopt);
  ASSERT_EQ(CalcTimeDelta(c.end, c.start, test::ExampleFormatSettings(), backward), std::nullopt);
  EXPECT_TRUE(forward == backward);
}

INSTANTIATE_TEST_SUITE_P(CalcTimeDelta, DeltaTable, testing::ValuesIn(kDeltaCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CalcTimeDelta, EndDayOfWeekIsRaisedWhileCounting) {
  TTimeDeltaValueRecord record;
  ASSERT_EQ(CalcTimeDelta(MakeDateTime(2024, 2, 10, 6), MakeDateTime(2025, 6, 1, 18, 30), {}, record), std::nullopt);
  EXPECT_EQ(record.StartDayOfWeek, 7);  // Saturday
  EXPECT_EQ(record.EndDayOfWeek, 8);    // Sunday, raised by 7
  EXPECT_EQ(record.StartYear, 2024);
  EXPECT_EQ(record.EndYear, 2025);
  EXPECT_EQ(record.YearsBetween, 0);
}

// The month, leap-year and day-number counts mean "how many touched months of that name" and "how many
// dates from the start's date to the end's date with that day number": checked against a walk over
// the dates for many starts, lengths and times of day, across the 1900 and 2000 century rules.
TEST(CalcTimeDelta, CalendarCountsMatchAWalkOverTheDates) {
  using namespace std::chrono;
  int failures = 0;
  for (DateTime startDay = MakeDateTime(1896, 1, 1); startDay < MakeDateTime(2004, 12, 31) && failures < 5;
       startDay += 131) {
    for (int length = 0; length < 1500 && failures < 5; length += (length < 70 ? 1 : 29)) {
      for (const double startTime : {0.0, 0.25}) {
        for (const double endTime : {0.0, 0.75}) {
          const DateTime start = startDay + startTime;
          const DateTime end = startDay + length + endTime;
          TTimeDeltaValueRecord record;
          ASSERT_EQ(CalcTimeDelta(start, end, {}, record), std::nullopt);
          MonthCounts months{};
          std::int32_t dayNumbers[32] = {};
          std::int32_t leapFebruaries = 0;
          std::optional<year_month> lastMonth;
          for (DateTime day = startDay; day <= startDay + length; day += 1) {
            const year_month_day civil = DecodeDate(day);
            ++dayNumbers[static_cast<unsigned>(civil.day())];
            const year_month month = civil.year() / civil.month();
            if (lastMonth != month) {
              ++months[static_cast<unsigned>(civil.month()) - 1];
              if (civil.month() == February && civil.year().is_leap()) ++leapFebruaries;
              lastMonth = month;
            }
          }
          const bool ok = record.MonthCounts == months && record.LeapYearCount == leapFebruaries &&
                          record.Day28Count == dayNumbers[28] && record.Day29Count == dayNumbers[29] &&
                          record.Day30Count == dayNumbers[30] && record.Day31Count == dayNumbers[31];
          if (!ok) {
            ADD_FAILURE() << "start " << start << " end " << end;
            ++failures;
          }
        }
      }
    }
  }
}

TEST(CalcTimeDelta, FailureLeavesThePreviousUnitTexts) {
  const FormatSettings settings = test::ExampleFormatSettings();
  ASSERT_EQ(CalcTimeDelta(MakeDateTime(2026, 12, 25, 12), MakeDateTime(2027, 1, 1), settings), std::nullopt);
  const TTimeDeltaValueRecord before = TimeDeltaValue;

  const auto failure = CalcTimeDelta(MakeDateTime(2024, 2, 10, 6), MakeDateTime(10000, 1, 1), settings);
  ASSERT_TRUE(failure);
  EXPECT_EQ(*failure, "Invalid argument to date encode");
  EXPECT_EQ(TimeDeltaValue.SecondsText, "561,600");
  EXPECT_EQ(TimeDeltaValue.MinutesText, before.MinutesText);
  EXPECT_EQ(TimeDeltaValue.YearsText, "0.02");
  EXPECT_EQ(TimeDeltaValue.WholeDays, before.WholeDays);  // the failure came before the whole days
  // The fields before the failing step hold their new values.
  EXPECT_EQ(TimeDeltaValue.StartYear, 2024);
  EXPECT_EQ(TimeDeltaValue.EndYear, 10000);
  EXPECT_EQ(TimeDeltaValue.YearsBetween, 7975);
  EXPECT_EQ(std::string(kCalcFailureContext), "Fail to calculate!");
  EXPECT_EQ(std::string(kCalcFailureAdvice), "Please enter a smaller value to try.");
}

TEST(CalcTimeDelta, FailuresAreReportedNeverThrown) {
  struct Case {
    const char* name;
    DateTime a;
    DateTime b;
    const char* message;
  };
  const Case cases[] = {
      {"end in year 10000", MakeDateTime(2024, 1, 1), MakeDateTime(10000, 3, 1), "Invalid argument to date encode"},
      {"start in year 0", MakeDateTime(0, 12, 31), MakeDateTime(2024, 1, 1), "Invalid argument to date encode"},
      {"span beyond 32-bit weeks", 0, 2e10, "Integer overflow"},
      {"huge opposite values", -1e308, 1e308, "Integer overflow"},
      {"not a number", std::nan(""), 0, "Invalid floating point operation"},
      {"infinite", 0, std::numeric_limits<double>::infinity(), "Invalid floating point operation"},
  };
  for (const Case& c : cases) {
    TTimeDeltaValueRecord record;
    record.SecondsText = "previous";
    const auto failure = CalcTimeDelta(c.a, c.b, {}, record);
    ASSERT_TRUE(failure) << c.name;
    EXPECT_EQ(*failure, c.message) << c.name;
    EXPECT_EQ(record.SecondsText, "previous") << c.name;
  }
  // The whole range itself still calculates.
  TTimeDeltaValueRecord record;
  EXPECT_EQ(CalcTimeDelta(kMinDateTime, kMaxDateTime, {}, record), std::nullopt);
  EXPECT_EQ(record.SecondsText, "315,537,897,600");
  EXPECT_EQ(record.LeapYearCount, 2424);
  EXPECT_EQ(record.Day31Count, 9999 * 7);
}

TEST(DatePatterns, LongDateWithDayAndShortDay) {
  struct Case {
    const char* longDate;
    const char* withDay;
    const char* shortDay;
  };
  const Case cases[] = {
      {"dddd, MMMM dd, yyyy", "dddd, MMMM dd, yyyy", "ddd, MMMM dd, yyyy"},
      {"d MMMM yyyy", "d MMMM yyyy dddd", "d MMMM yyyy ddd"},
      {"ddd d mmm yyyy", "ddd d mmm yyyy dddd", "ddd d mmm yyyy"},
      {"dddd d. mmmm yyyy (dddd)", "dddd d. mmmm yyyy (dddd)", "ddd d. mmmm yyyy (ddd)"},
      {"DDDD, d MMMM yyyy", "DDDD, d MMMM yyyy", "DDD, d MMMM yyyy"},
  };
  for (const Case& c : cases) {
    FormatSettings settings;
    settings.longDateFormat = c.longDate;
    EXPECT_EQ(LongDateFormatWithDay(settings), c.withDay) << c.longDate;
    EXPECT_EQ(ShortDayDateFormat(settings), c.shortDay) << c.longDate;
  }
}

TEST(DatePatterns, DateTimeTextWithDayAndFullDayName) {
  // The system patterns as Qt and Windows write them work unchanged.
  FormatSettings settings;
  settings.longDateFormat = "dddd, d MMMM yyyy";
  settings.longTimeFormat = "HH:mm:ss";
  EXPECT_EQ(DateTimeTextWithDay(MakeDateTime(2027, 1, 1), settings), "Friday, 1 January 2027 00:00:00");
  settings.longDateFormat = "d MMMM yyyy";
  EXPECT_EQ(DateTimeTextWithDay(MakeDateTime(2024, 2, 10, 18, 30, 5), settings), "10 February 2024 Saturday 18:30:05");
  EXPECT_EQ(FullDayName(MakeDateTime(2024, 2, 11, 23), settings), "Sunday");
}

}  // namespace
}  // namespace almanex
