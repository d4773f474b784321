// The date-time value against <chrono>: every civil date of the program's range, and the time of day.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "datetime/DateFormat.h"
#include "datetime/DateTime.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using namespace std::chrono;
using test::MakeDateTime;

// Walks every day from 0001-01-01 to 9999-12-31: encode and decode agree with chrono, consecutive days
// are consecutive numbers, the weekday matches, and the short date reads back what it wrote.
TEST(CivilDate, EveryDateOfTheRangeRoundTrips) {
  const FormatSettings settings;
  const sys_days first = year{1} / January / 1;
  const sys_days last = year{9999} / December / 31;
  DateTime expected = kMinDateTime;
  int failures = 0;
  for (sys_days day = first; day <= last && failures < 10; day += days{1}, expected += 1) {
    const year_month_day civil{day};
    const int y = static_cast<int>(civil.year());
    const unsigned m = static_cast<unsigned>(civil.month());
    const unsigned d = static_cast<unsigned>(civil.day());
    const DateTime encoded = EncodeDate(civil);
    const auto tried = TryEncodeDate(y, m, d);
    bool ok = encoded == expected && tried && *tried == expected && DecodeDate(encoded) == civil &&
              DecodeDate(encoded + 0.999) == civil && DecodeDateTime(encoded + 0.5).date == civil &&
              DayOfWeek(encoded) == static_cast<int>(weekday{day}.c_encoding()) + 1 &&
              DayOfWeek(encoded + 1) == DayOfWeek(encoded) % 7 + 1 && IsValidDateTime(encoded);
    if (d == 1)
      ok = ok && DaysInMonth(y, m) ==
                     static_cast<unsigned>(year_month_day_last{civil.year() / civil.month() / std::chrono::last}.day());
    if (d == 1 && m == 1) ok = ok && IsLeapYear(y) == civil.year().is_leap();
    if (!ok) {
      ADD_FAILURE() << "date " << y << "-" << m << "-" << d << " encoded " << encoded << " expected " << expected;
      ++failures;
    }
  }
  EXPECT_EQ(expected - 1, EncodeDate(year{9999} / December / 31));
}

TEST(CivilDate, EveryShortDateOfTheRangeReadsBack) {
  FormatSettings settings;
  settings.shortDateFormat = "dd/mm/yyyy";
  settings.dateSeparator = ".";
  int failures = 0;
  for (DateTime day = kMinDateTime; day <= kMaxDateTime && failures < 10; day += 1) {
    const std::string text = FormatShortDate(day + 0.75, settings);
    const auto read = ParseShortDate(text, settings, std::chrono::year{2026});
    if (!read || *read != day) {
      ADD_FAILURE() << text;
      ++failures;
    }
  }
}

TEST(CivilDate, RangeLimitsAndEpoch) {
  EXPECT_EQ(EncodeDate(year{1899} / December / 30), 0.0);
  EXPECT_EQ(EncodeDate(year{1} / January / 1), kMinDateTime);
  EXPECT_EQ(DecodeDateTime(kMaxDateTime).date, year{9999} / December / 31);
  const TimeOfDay last = DecodeTime(kMaxDateTime);
  EXPECT_EQ(last.hour * 10000000u + last.minute * 100000u + last.second * 1000u + last.millisecond, 235959999u);
  EXPECT_TRUE(IsValidDateTime(kMinDateTime));
  EXPECT_TRUE(IsValidDateTime(kMaxDateTime));
  EXPECT_FALSE(IsValidDateTime(kMinDateTime - 0.001));
  EXPECT_FALSE(IsValidDateTime(kMaxDateTime + 1.0 / kMillisecondsPerDay));
  EXPECT_FALSE(IsValidDateTime(std::nan("")));
  EXPECT_EQ(DayOfWeek(0), 7);             // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(kMinDateTime), 2);  // 0001-01-01, proleptic Gregorian: a Monday
  EXPECT_EQ(DaysInMonth(2024, 13), 0u);
}

TEST(CivilDate, InvalidFieldsEncodeToNothing) {
  struct Case {
    const char* name;
    int year;
    unsigned month;
    unsigned day;
  };
  const Case cases[] = {{"year 0", 0, 1, 1},
                        {"year 10000", 10000, 1, 1},
                        {"month 0", 2024, 0, 1},
                        {"month 13", 2024, 13, 1},
                        {"day 0", 2024, 1, 0},
                        {"31 April", 2024, 4, 31},
                        {"29 February 2023", 2023, 2, 29},
                        {"30 February 2024", 2024, 2, 30},
                        {"29 February 1900", 1900, 2, 29}};
  for (const Case& c : cases) EXPECT_FALSE(TryEncodeDate(c.year, c.month, c.day)) << c.name;
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000));
}

// Every second of the day at a few milliseconds: encode and decode agree, alone and on a date.
TEST(CivilDate, EveryTimeOfDayRoundTrips) {
  const DateTime base = MakeDateTime(2024, 2, 10);
  int failures = 0;
  for (unsigned second = 0; second < 86400 && failures < 10; ++second) {
    for (const unsigned millisecond : {0u, 1u, 499u, 500u, 999u}) {
      const unsigned h = second / 3600, m = second / 60 % 60, s = second % 60;
      const auto time = TryEncodeTime(h, m, s, millisecond);
      const TimeOfDay decoded = DecodeTime(*time);
      const CivilDateTime both = DecodeDateTime(base + *time);
      const bool ok = decoded.hour == h && decoded.minute == m && decoded.second == s &&
                      decoded.millisecond == millisecond && both.time.hour == h && both.time.minute == m &&
                      both.time.second == s && both.time.millisecond == millisecond &&
                      both.date == year{2024} / February / 10 && DateOf(base + *time) == base;
      if (!ok) {
        ADD_FAILURE() << h << ":" << m << ":" << s << "." << millisecond;
        ++failures;
      }
    }
  }
}

TEST(CivilDate, ValuesBefore1899AreLinear) {
  // -1.25 is 1899-12-28 18:00: the floor is the date, the rest the time, also below zero.
  EXPECT_EQ(DecodeDate(-1.25), year{1899} / December / 28);
  const TimeOfDay time = DecodeTime(-1.25);
  EXPECT_EQ(time.hour, 18u);
  EXPECT_EQ(time.minute, 0u);
  EXPECT_EQ(DateOf(-1.25), -2.0);
  EXPECT_EQ(TimeOf(-1.25), 0.75);
  EXPECT_EQ(MakeDateTime(1, 1, 1, 18), kMinDateTime + 0.75);
}

TEST(CivilDate, RoundingToTheMillisecond) {
  const DateTime almostMidnight = MakeDateTime(2024, 2, 10) + 86399999.6 / kMillisecondsPerDay;
  // Date and time rounded together carry into the next day...
  const CivilDateTime both = DecodeDateTime(almostMidnight);
  EXPECT_EQ(both.date, year{2024} / February / 11);
  EXPECT_EQ(both.time.hour + both.time.minute + both.time.second + both.time.millisecond, 0u);
  // ...while the time alone stops at the last millisecond of its day, and the date is the floor.
  const TimeOfDay time = DecodeTime(almostMidnight);
  EXPECT_EQ(time.hour, 23u);
  EXPECT_EQ(time.millisecond, 999u);
  EXPECT_EQ(DecodeDate(almostMidnight), year{2024} / February / 10);
}

TEST(CivilDate, FarValuesAreClampedNotUndefined) {
  EXPECT_EQ(DecodeDate(1e300).year(), year{30000});
  EXPECT_EQ(DecodeDate(-1e300).year(), year{-30000});
  EXPECT_EQ(DecodeDate(std::nan("")), year{1899} / December / 30);
  const TimeOfDay time = DecodeTime(std::numeric_limits<double>::infinity());
  EXPECT_EQ(time.hour, 0u);
}

}  // namespace
}  // namespace almanex
