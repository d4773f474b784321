// The due test against a second, independent reading of the rules, written with <chrono> calendar
// types and whole-day integer arithmetic, over a spread of patterns and every day of two years.

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "recurrence/IniRecurrenceUnit.h"
#include "tests/recurrence/RecurrenceTestSupport.h"

namespace almanex {
namespace {

using namespace std::chrono;
using test::SerialOf;

// A pattern in whole days, the form the reference works on. The start may carry a time of day.
struct ReferencePattern {
  int kind = 0;
  sys_days start;
  bool startHasTime = false;
  int endType = 0;
  sys_days end;
  int interval = 1;
  int mask = 0;
  int dayOfMonth = 0;
  int instance = 0;
  int monthOfYear = 0;
  sys_days once;
};

RecurrencePattern ToPattern(const ReferencePattern& r) {
  RecurrencePattern p;
  p.iRecurrenceType = r.kind;
  p.dtStartDate = SerialOf(r.start) + (r.startHasTime ? 0.6875 : 0.0);  // 16:30
  p.iEndType = r.endType;
  p.dtEndDate = SerialOf(r.end);
  p.iInterval = r.interval;
  p.iDayOfWeekMask = r.mask;
  p.iDayOfMonth = r.dayOfMonth;
  p.iInstance = r.instance;
  p.iMonthOfYear = r.monthOfYear;
  p.dtOnceDate = SerialOf(r.once);
  return p;
}

bool InMask(int mask, weekday w) { return ((static_cast<unsigned>(mask) >> w.c_encoding()) & 1u) != 0; }

// The day of the month that a "k-th day of the weekday set" names, by walking the month; instance 4
// is the last such day. Nothing when the month holds no such day.
std::optional<sys_days> NthDayByWalking(year_month ym, int instance, int mask) {
  std::vector<sys_days> matching;
  const sys_days first{ym / 1};
  const sys_days last{ym / std::chrono::last};
  for (sys_days d = first; d <= last; d += days{1}) {
    if (InMask(mask, weekday{d})) {
      matching.push_back(d);
    }
  }
  if (instance == 4) {
    return matching.empty() ? std::nullopt : std::optional<sys_days>(matching.back());
  }
  if (instance < 0 || static_cast<std::size_t>(instance) >= matching.size()) {
    return std::nullopt;
  }
  return matching[static_cast<std::size_t>(instance)];
}

// For a single weekday, the same through <chrono>'s indexed and last weekdays.
std::optional<sys_days> NthWeekdayByChrono(year_month ym, int instance, weekday w) {
  if (instance == 4) {
    return sys_days{year_month_weekday_last{ym.year(), ym.month(), weekday_last{w}}};
  }
  if (instance < 0 || instance > 4) {
    return std::nullopt;  // a sixth weekday never exists; chrono's index stops at 5
  }
  const year_month_weekday indexed{ym.year(), ym.month(), w[static_cast<unsigned>(instance + 1)]};
  return indexed.ok() ? std::optional<sys_days>(sys_days{indexed}) : std::nullopt;
}

bool IsNthDay(sys_days x, int instance, int mask) {
  const year_month_day date{x};
  const year_month ym{date.year(), date.month()};
  const int bits = mask & 127;
  std::optional<sys_days> named;
  if (bits != 0 && (bits & (bits - 1)) == 0) {
    named =
        NthWeekdayByChrono(ym, instance, weekday{static_cast<unsigned>(std::countr_zero(static_cast<unsigned>(bits)))});
  } else {
    named = NthDayByWalking(ym, instance, mask);
  }
  return named && *named == x;
}

bool OnDayOfMonth(sys_days x, int wanted) {
  const year_month_day date{x};
  const unsigned lastDay = unsigned(year_month_day_last{date.year() / date.month() / std::chrono::last}.day());
  const int dayNumber = static_cast<int>(unsigned(date.day()));
  return dayNumber == wanted || (wanted >= static_cast<int>(lastDay) && unsigned(date.day()) == lastDay);
}

bool ReferenceDue(const ReferencePattern& r, sys_days x) {
  if (x < r.start || (x == r.start && r.startHasTime)) {
    return false;
  }
  if (r.endType == 2 && x > r.end) {
    return false;
  }
  const long long dayCount = (x - r.start).count();  // >= 0
  const long long weekCount = dayCount / 7;
  const long long monthCount = dayCount * 16 / 487;  // dayCount / 30.4375, exactly, in integers
  const year_month_day date{x};
  const int monthIndex = static_cast<int>(unsigned(date.month())) - 1;  // [0, 11]
  switch (r.kind) {
    case 0:
      return r.interval > 0 && dayCount % r.interval == 0;
    case 1:
      return InMask(r.mask, weekday{x}) && (r.interval <= 0 || weekCount % r.interval == 0);
    case 2:
      return r.interval > 0 && monthCount % r.interval == 0 && OnDayOfMonth(x, r.dayOfMonth);
    case 3:
      return r.interval > 0 && monthCount % r.interval == 0 && IsNthDay(x, r.instance, r.mask);
    case 5:
      return monthIndex == r.monthOfYear && OnDayOfMonth(x, r.dayOfMonth);
    case 6:
      return monthIndex == r.monthOfYear && IsNthDay(x, r.instance, r.mask);
    case 7:
      return x == r.once;
    default:
      return false;
  }
}

struct Spread {
  std::mt19937 random{20261208};
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
  bool OneIn(int n) { return Between(1, n) == 1; }

  ReferencePattern Make(int kind) {
    ReferencePattern r;
    r.kind = kind;
    r.start = sys_days{2024y / January / 1} + days{Between(0, 5 * 365)};
    r.startHasTime = OneIn(4);
    r.endType = Between(0, 2);
    r.end = r.start + days{Between(-10, 700)};
    r.interval = OneIn(8) ? Between(-3, 0) : Between(1, 6);
    // Mostly valid sets, sometimes empty, sometimes with bits above Saturday.
    r.mask = OneIn(10) ? 0 : (OneIn(10) ? Between(128, 1023) : Between(1, 127));
    r.dayOfMonth = Between(-1, 33);
    r.instance = OneIn(10) ? Between(-2, 7) : Between(0, 4);
    r.monthOfYear = OneIn(12) ? Between(-1, 13) : Between(0, 11);
    r.once = r.start + days{Between(-40, 500)};
    return r;
  }
};

std::string Describe(const ReferencePattern& r, sys_days x) {
  const year_month_day s{r.start};
  const year_month_day d{x};
  return "kind " + std::to_string(r.kind) + " start " + std::to_string(int(s.year())) + "-" +
         std::to_string(unsigned(s.month())) + "-" + std::to_string(unsigned(s.day())) +
         (r.startHasTime ? "T16:30" : "") + " endType " + std::to_string(r.endType) + " interval " +
         std::to_string(r.interval) + " mask " + std::to_string(r.mask) + " dayOfMonth " +
         std::to_string(r.dayOfMonth) + " instance " + std::to_string(r.instance) + " monthOfYear " +
         std::to_string(r.monthOfYear) + " on " + std::to_string(int(d.year())) + "-" +
         std::to_string(unsigned(d.month())) + "-" + std::to_string(unsigned(d.day()));
}

class DueAgainstReference : public ::testing::TestWithParam<int> {};

TEST_P(DueAgainstReference, EveryDayOfTwoYears) {
  const int kind = GetParam();
  Spread spread;
  spread.random.seed(static_cast<unsigned>(20261208 + kind));
  const FormatSettings settings;
  int dueDays = 0;
  int mismatches = 0;
  for (int patternNumber = 0; patternNumber < 80; ++patternNumber) {
    const ReferencePattern r = spread.Make(kind);
    const RecurrencePattern pattern = ToPattern(r);
    for (sys_days x = r.start - days{40}; x < r.start + days{2 * 366}; x += days{1}) {
      const bool expected = ReferenceDue(r, x);
      dueDays += expected ? 1 : 0;
      if (IsDue(pattern, SerialOf(x), settings) != expected && ++mismatches <= 10) {
        ADD_FAILURE() << Describe(r, x) << ": expected " << (expected ? "due" : "not due");
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  // The spread must actually exercise the kind, not compare "never" with "never".
  if (kind == 4 || kind == 9) {
    EXPECT_EQ(dueDays, 0);
  } else {
    EXPECT_GT(dueDays, 40) << "too few due days to tell anything";
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DueAgainstReference, ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7, 9),
                         [](const ::testing::TestParamInfo<int>& info) { return "Kind" + std::to_string(info.param); });

// Every weekday set, every instance and every day of eight years of months.
TEST(NthDayOfMonthByWeekMask, EveryMaskInstanceAndDayAgainstWalkingTheMonth) {
  const FormatSettings settings;
  int mismatches = 0;
  for (year_month ym = 2024y / January; ym < 2032y / January; ym += months{1}) {
    const sys_days first{ym / 1};
    const sys_days last{ym / std::chrono::last};
    for (int mask = 0; mask < 128; ++mask) {
      for (int instance = -1; instance <= 6; ++instance) {
        const std::optional<sys_days> named = NthDayByWalking(ym, instance, mask);
        for (sys_days x = first; x <= last; x += days{1}) {
          const bool expected = named && *named == x;
          // The function takes the instance counted from 1, 5 for the last.
          if (IsNthDayOfMonthByWeekMask(instance + 1, mask, SerialOf(x), settings) != expected && ++mismatches <= 10) {
            const year_month_day d{x};
            ADD_FAILURE() << "instance " << instance + 1 << " mask " << mask << " on " << int(d.year()) << "-"
                          << unsigned(d.month()) << "-" << unsigned(d.day());
          }
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// A single weekday: the n-th and the last weekday of the month as <chrono> names them, over 71 years.
TEST(NthDayOfMonthByWeekMask, SingleWeekdayMatchesChrono) {
  const FormatSettings settings;
  int mismatches = 0;
  for (year_month ym = 1990y / January; ym < 2061y / January; ym += months{1}) {
    const sys_days first{ym / 1};
    const sys_days last{ym / std::chrono::last};
    for (unsigned w = 0; w < 7; ++w) {
      for (int instance = 0; instance <= 4; ++instance) {
        // Every month has a first to fourth and a last of each weekday.
        const std::optional<sys_days> named = NthWeekdayByChrono(ym, instance, weekday{w});
        ASSERT_TRUE(named.has_value());
        for (sys_days x = first; x <= last; x += days{1}) {
          if (IsNthDayOfMonthByWeekMask(instance + 1, 1 << w, SerialOf(x), settings) != (x == *named) &&
              ++mismatches <= 10) {
            const year_month_day d{x};
            ADD_FAILURE() << "instance " << instance + 1 << " weekday " << w << " on " << int(d.year()) << "-"
                          << unsigned(d.month()) << "-" << unsigned(d.day());
          }
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace almanex
