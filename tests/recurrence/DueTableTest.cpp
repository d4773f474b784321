// The due test on hand-picked patterns and days: the worked examples and the edge cases, one row each.

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "recurrence/IniRecurrenceUnit.h"
#include "tests/recurrence/RecurrenceTestSupport.h"

namespace almanex {
namespace {

using test::Day;

struct DueCase {
  const char* name;
  RecurrencePattern pattern;
  DateTime day;
  bool due;
};

using P = RecurrencePattern;

// Patterns shared by several rows.
const P kDaily3{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1), .iInterval = 3};
const P kMonWedEvery2Weeks{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 2), .iInterval = 2, .iDayOfWeekMask = 10};
const P kEveryWeekday{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 1), .iInterval = 0, .iDayOfWeekMask = 62};
const P kMonthlyDay31{.iRecurrenceType = 2, .dtStartDate = Day(2027, 1, 1), .iInterval = 1, .iDayOfMonth = 31};
const P kDay15Every2Months{.iRecurrenceType = 2, .dtStartDate = Day(2027, 1, 15), .iInterval = 2, .iDayOfMonth = 15};
const P kMonthlyDay30{.iRecurrenceType = 2, .dtStartDate = Day(2027, 1, 1), .iInterval = 1, .iDayOfMonth = 30};
const P kYearly29Feb{.iRecurrenceType = 5, .dtStartDate = Day(2026, 1, 1), .iDayOfMonth = 29, .iMonthOfYear = 1};
const P kFourthMondayOfMarch{
    .iRecurrenceType = 6, .dtStartDate = Day(2026, 1, 1), .iDayOfWeekMask = 2, .iInstance = 3, .iMonthOfYear = 2};
const P kOnceChristmas{.iRecurrenceType = 7, .dtStartDate = Day(2026, 12, 1), .dtOnceDate = Day(2026, 12, 25)};
const P kDailyEndBy10Dec{
    .iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1), .iEndType = 2, .dtEndDate = Day(2026, 12, 10)};
const P kWeeklySunday{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 2), .iInterval = 1, .iDayOfWeekMask = 1};

// The monthly and yearly n-th-day patterns, every month from December 2026 on.
P MonthlyNth(int instance, int mask) {
  return P{.iRecurrenceType = 3,
           .dtStartDate = Day(2026, 12, 1),
           .iInterval = 1,
           .iDayOfWeekMask = mask,
           .iInstance = instance};
}

// A pattern of every field filled, so that only the kind decides.
P EverythingSet(int kind, int interval) {
  return P{.iRecurrenceType = kind,
           .dtStartDate = Day(2026, 12, 1),
           .iInterval = interval,
           .iDayOfWeekMask = 127,
           .iDayOfMonth = 1,
           .iInstance = 0,
           .iMonthOfYear = 11,
           .dtOnceDate = Day(2026, 12, 1)};
}

const std::vector<DueCase>& Cases() {
  static const std::vector<DueCase> cases = {
      // Daily, every third day from 1 December 2026.
      {"Daily3_StartDay", kDaily3, Day(2026, 12, 1), true},
      {"Daily3_Dec2", kDaily3, Day(2026, 12, 2), false},
      {"Daily3_Dec3", kDaily3, Day(2026, 12, 3), false},
      {"Daily3_Dec4", kDaily3, Day(2026, 12, 4), true},
      {"Daily3_Dec7", kDaily3, Day(2026, 12, 7), true},
      {"Daily3_Dec10", kDaily3, Day(2026, 12, 10), true},
      {"Daily3_BeforeStart", kDaily3, Day(2026, 11, 30), false},
      {"Daily3_TimeOfDayOfTheDayIgnored", kDaily3, Day(2026, 12, 4) + 0.75, true},

      // Weekly, Monday and Wednesday of every second block of seven days from Wednesday 2 December 2026.
      {"MonWed2_StartWednesday", kMonWedEvery2Weeks, Day(2026, 12, 2), true},
      {"MonWed2_Thursday", kMonWedEvery2Weeks, Day(2026, 12, 3), false},
      {"MonWed2_MondayInBlock0", kMonWedEvery2Weeks, Day(2026, 12, 7), true},
      {"MonWed2_WednesdayInBlock1", kMonWedEvery2Weeks, Day(2026, 12, 9), false},
      {"MonWed2_MondayInBlock1", kMonWedEvery2Weeks, Day(2026, 12, 14), false},
      {"MonWed2_WednesdayInBlock2", kMonWedEvery2Weeks, Day(2026, 12, 16), true},
      {"MonWed2_MondayInBlock2", kMonWedEvery2Weeks, Day(2026, 12, 21), true},
      {"MonWed2_MondayBeforeStart", kMonWedEvery2Weeks, Day(2026, 11, 30), false},

      // Every weekday (interval 0) from Tuesday 1 December 2026.
      {"EveryWeekday_Tuesday", kEveryWeekday, Day(2026, 12, 1), true},
      {"EveryWeekday_Friday", kEveryWeekday, Day(2026, 12, 4), true},
      {"EveryWeekday_Saturday", kEveryWeekday, Day(2026, 12, 5), false},
      {"EveryWeekday_Sunday", kEveryWeekday, Day(2026, 12, 6), false},
      {"EveryWeekday_Monday", kEveryWeekday, Day(2026, 12, 7), true},
      {"EveryWeekday_Wednesday9Dec", kEveryWeekday, Day(2026, 12, 9), true},
      {"EveryWeekday_HalfYearLater", kEveryWeekday, Day(2027, 6, 2), true},
      {"EveryWeekday_MondayBeforeStart", kEveryWeekday, Day(2026, 11, 30), false},

      // Monthly on day 31: the last day of shorter months.
      {"Day31_Jan31", kMonthlyDay31, Day(2027, 1, 31), true},
      {"Day31_Jan30", kMonthlyDay31, Day(2027, 1, 30), false},
      {"Day31_Feb28", kMonthlyDay31, Day(2027, 2, 28), true},
      {"Day31_Feb27", kMonthlyDay31, Day(2027, 2, 27), false},
      {"Day31_Mar31", kMonthlyDay31, Day(2027, 3, 31), true},
      {"Day31_Mar30", kMonthlyDay31, Day(2027, 3, 30), false},
      {"Day31_Apr30", kMonthlyDay31, Day(2027, 4, 30), true},
      {"Day31_LeapFeb29", kMonthlyDay31, Day(2028, 2, 29), true},
      {"Day31_LeapFeb28", kMonthlyDay31, Day(2028, 2, 28), false},

      // Monthly on day 15, every second block of 30.4375 days from 15 January 2027.
      {"Day15Every2_2027Jan", kDay15Every2Months, Day(2027, 1, 15), true},
      {"Day15Every2_2027Feb", kDay15Every2Months, Day(2027, 2, 15), false},
      {"Day15Every2_2027Mar", kDay15Every2Months, Day(2027, 3, 15), false},
      {"Day15Every2_2027Apr", kDay15Every2Months, Day(2027, 4, 15), true},
      {"Day15Every2_2027May", kDay15Every2Months, Day(2027, 5, 15), false},
      {"Day15Every2_2027Jun", kDay15Every2Months, Day(2027, 6, 15), true},
      {"Day15Every2_2027Jul", kDay15Every2Months, Day(2027, 7, 15), false},
      {"Day15Every2_2027Aug", kDay15Every2Months, Day(2027, 8, 15), true},
      {"Day15Every2_2027Sep", kDay15Every2Months, Day(2027, 9, 15), false},
      {"Day15Every2_2027Oct", kDay15Every2Months, Day(2027, 10, 15), true},
      {"Day15Every2_2027Nov", kDay15Every2Months, Day(2027, 11, 15), false},
      {"Day15Every2_2027Dec", kDay15Every2Months, Day(2027, 12, 15), true},
      {"Day15Every2_2028Jan", kDay15Every2Months, Day(2028, 1, 15), false},
      {"Day15Every2_2028Feb", kDay15Every2Months, Day(2028, 2, 15), false},
      {"Day15Every2_2028Mar", kDay15Every2Months, Day(2028, 3, 15), false},
      {"Day15Every2_2028Apr", kDay15Every2Months, Day(2028, 4, 15), true},
      {"Day15Every2_2028May", kDay15Every2Months, Day(2028, 5, 15), false},
      {"Day15Every2_2028Jun", kDay15Every2Months, Day(2028, 6, 15), true},
      {"Day15Every2_2028Jul", kDay15Every2Months, Day(2028, 7, 15), false},
      {"Day15Every2_2028Aug", kDay15Every2Months, Day(2028, 8, 15), true},
      {"Day15Every2_2028Sep", kDay15Every2Months, Day(2028, 9, 15), true},
      {"Day15Every2_2028Oct", kDay15Every2Months, Day(2028, 10, 15), true},
      {"Day15Every2_2028Nov", kDay15Every2Months, Day(2028, 11, 15), true},
      {"Day15Every2_2028Dec", kDay15Every2Months, Day(2028, 12, 15), true},
      {"Day15Every2_2027Jan16", kDay15Every2Months, Day(2027, 1, 16), false},

      // Monthly on day 30: February's last day.
      {"Day30_Jan30", kMonthlyDay30, Day(2027, 1, 30), true},
      {"Day30_Feb28", kMonthlyDay30, Day(2027, 2, 28), true},
      {"Day30_LeapFeb29", kMonthlyDay30, Day(2028, 2, 29), true},
      {"Day30_LeapFeb28", kMonthlyDay30, Day(2028, 2, 28), false},
      {"Day30_Mar30", kMonthlyDay30, Day(2027, 3, 30), true},
      {"Day30_Mar31", kMonthlyDay30, Day(2027, 3, 31), false},

      // Monthly on the n-th day of a weekday set.
      {"SecondWeekday_Dec2026_Wed2", MonthlyNth(1, 62), Day(2026, 12, 2), true},
      {"SecondWeekday_Dec2026_Tue1", MonthlyNth(1, 62), Day(2026, 12, 1), false},
      {"SecondWeekday_Dec2026_Thu3", MonthlyNth(1, 62), Day(2026, 12, 3), false},
      {"LastWeekendDay_Dec2026_Sun27", MonthlyNth(4, 65), Day(2026, 12, 27), true},
      {"LastWeekendDay_Dec2026_Sat26", MonthlyNth(4, 65), Day(2026, 12, 26), false},
      {"LastWeekendDay_Dec2026_Thu31", MonthlyNth(4, 65), Day(2026, 12, 31), false},
      {"FirstDay_Mar1", MonthlyNth(0, 127), Day(2027, 3, 1), true},
      {"FirstDay_Mar2", MonthlyNth(0, 127), Day(2027, 3, 2), false},
      {"LastDay_LeapFeb29", MonthlyNth(4, 127), Day(2028, 2, 29), true},
      {"LastDay_LeapFeb28", MonthlyNth(4, 127), Day(2028, 2, 28), false},
      {"LastDay_Apr30", MonthlyNth(4, 127), Day(2027, 4, 30), true},
      {"FourthFriday_Feb2027_26", MonthlyNth(3, 32), Day(2027, 2, 26), true},
      {"FourthFriday_Feb2027_19", MonthlyNth(3, 32), Day(2027, 2, 19), false},
      {"LastWeekday_Jan2027_Fri29", MonthlyNth(4, 62), Day(2027, 1, 29), true},
      {"LastWeekday_Jan2027_Sat30", MonthlyNth(4, 62), Day(2027, 1, 30), false},
      {"LastWeekday_Jan2027_Sun31", MonthlyNth(4, 62), Day(2027, 1, 31), false},
      {"FirstWeekendDay_May2027_Sat1", MonthlyNth(0, 65), Day(2027, 5, 1), true},
      {"FirstWeekendDay_May2027_Sun2", MonthlyNth(0, 65), Day(2027, 5, 2), false},
      // "Sixth Monday" does not exist: not the month's last day either.
      {"SixthMonday_May2027_LastDayMonday", MonthlyNth(5, 2), Day(2027, 5, 31), false},
      {"SixthDayOfEveryDay_Mar6", MonthlyNth(5, 127), Day(2027, 3, 6), true},
      {"InstanceMinusOne_Day1", MonthlyNth(-1, 127), Day(2027, 3, 1), false},

      // Yearly on 29 February.
      {"Yearly29Feb_CommonFeb28", kYearly29Feb, Day(2027, 2, 28), true},
      {"Yearly29Feb_CommonMar1", kYearly29Feb, Day(2027, 3, 1), false},
      {"Yearly29Feb_LeapFeb29", kYearly29Feb, Day(2028, 2, 29), true},
      {"Yearly29Feb_LeapFeb28", kYearly29Feb, Day(2028, 2, 28), false},
      {"Yearly29Feb_OtherMonth29", kYearly29Feb, Day(2027, 3, 29), false},

      // Yearly on the fourth Monday of March.
      {"FourthMondayOfMarch_2027_22", kFourthMondayOfMarch, Day(2027, 3, 22), true},
      {"FourthMondayOfMarch_2027_29", kFourthMondayOfMarch, Day(2027, 3, 29), false},
      {"FourthMondayOfMarch_2027_15", kFourthMondayOfMarch, Day(2027, 3, 15), false},
      {"FourthMondayOfMarch_FourthMondayOfApril", kFourthMondayOfMarch, Day(2027, 4, 26), false},
      {"FourthMondayOfMarch_2028_27", kFourthMondayOfMarch, Day(2028, 3, 27), true},

      // Once.
      {"Once_OnTheDay", kOnceChristmas, Day(2026, 12, 25), true},
      {"Once_DayBefore", kOnceChristmas, Day(2026, 12, 24), false},
      {"Once_DayAfter", kOnceChristmas, Day(2026, 12, 26), false},
      {"Once_NextYear", kOnceChristmas, Day(2027, 12, 25), false},
      {"Once_OnceDateWithTime",
       P{.iRecurrenceType = 7, .dtStartDate = Day(2026, 12, 1), .dtOnceDate = Day(2026, 12, 25) + 0.5},
       Day(2026, 12, 25), true},
      {"Once_DayWithTimeOfDay", kOnceChristmas, Day(2026, 12, 25) + 0.75, true},
      {"Once_StartAfterOnceDate",
       P{.iRecurrenceType = 7, .dtStartDate = Day(2026, 12, 26), .dtOnceDate = Day(2026, 12, 25)}, Day(2026, 12, 25),
       false},

      // Bounds: both inclusive; the start compared with its time of day.
      {"StartDay_Due", P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1)}, Day(2026, 12, 1), true},
      {"StartDay_DayBefore", P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1)}, Day(2026, 11, 30), false},
      {"StartWithTime_SameDayNotDue", P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1) + 0.375},
       Day(2026, 12, 1), false},
      {"StartWithTime_NextDayDue", P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1) + 0.375}, Day(2026, 12, 2),
       true},
      // The day is taken at midnight, whatever its time of day.
      {"StartWithTime_DayWithLaterTimeNotDue", P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1) + 0.375},
       Day(2026, 12, 1) + 0.5, false},
      {"StartWithTime_CountedFromItsDate",
       P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1) + 0.375, .iInterval = 3}, Day(2026, 12, 4), true},
      {"EndBy_EndDay", kDailyEndBy10Dec, Day(2026, 12, 10), true},
      {"EndBy_DayAfter", kDailyEndBy10Dec, Day(2026, 12, 11), false},
      {"EndBy_MonthAfter", kDailyEndBy10Dec, Day(2027, 1, 10), false},
      {"EndBy_EndDayNotMatching",
       P{.iRecurrenceType = 0,
         .dtStartDate = Day(2026, 12, 1),
         .iEndType = 2,
         .dtEndDate = Day(2026, 12, 10),
         .iInterval = 2},
       Day(2026, 12, 10), false},
      {"EndType0_EndIgnored",
       P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1), .iEndType = 0, .dtEndDate = Day(2026, 12, 10)},
       Day(2026, 12, 11), true},
      {"EndType1_EndIgnored",
       P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 1), .iEndType = 1, .dtEndDate = Day(2026, 12, 10)},
       Day(2027, 5, 11), true},
      {"EndBy_EndBeforeStart",
       P{.iRecurrenceType = 0, .dtStartDate = Day(2026, 12, 10), .iEndType = 2, .dtEndDate = Day(2026, 12, 1)},
       Day(2026, 12, 10), false},

      // Weekly on Sunday, every week.
      {"WeeklySunday_Dec6", kWeeklySunday, Day(2026, 12, 6), true},
      {"WeeklySunday_Dec13", kWeeklySunday, Day(2026, 12, 13), true},
      {"WeeklySunday_Dec12Saturday", kWeeklySunday, Day(2026, 12, 12), false},
      {"WeeklySunday_Nov29BeforeStart", kWeeklySunday, Day(2026, 11, 29), false},
      {"WeeklySunday_Jul2027", kWeeklySunday, Day(2027, 7, 4), true},

      // Kinds never due.
      {"Kind4_NeverDue", EverythingSet(4, 1), Day(2026, 12, 1), false},
      {"Kind8_NeverDue", EverythingSet(8, 1), Day(2026, 12, 1), false},
      {"KindMinus1_NeverDue", EverythingSet(-1, 1), Day(2026, 12, 1), false},
      // The same pattern is due with a real kind: only the kind made the rows above false.
      {"Kind0_Control", EverythingSet(0, 1), Day(2026, 12, 1), true},
      {"Kind2_Control", EverythingSet(2, 1), Day(2026, 12, 1), true},
      {"Kind3_Control", EverythingSet(3, 1), Day(2026, 12, 1), true},

      // An interval of 0 or less is never due for kinds 0, 2 and 3, but every week for kind 1.
      {"Kind0_Interval0", EverythingSet(0, 0), Day(2026, 12, 1), false},
      {"Kind0_IntervalMinus2", EverythingSet(0, -2), Day(2026, 12, 3), false},
      {"Kind2_Interval0", EverythingSet(2, 0), Day(2026, 12, 1), false},
      {"Kind2_IntervalMinus1", EverythingSet(2, -1), Day(2027, 1, 1), false},
      {"Kind3_Interval0", EverythingSet(3, 0), Day(2026, 12, 1), false},
      {"Kind3_IntervalMinus1", EverythingSet(3, -1), Day(2027, 1, 1), false},
      {"Kind1_IntervalMinus3_EveryWeek", EverythingSet(1, -3), Day(2026, 12, 9), true},

      // An empty weekday set is never due.
      {"Mask0_Weekly", P{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 1), .iDayOfWeekMask = 0}, Day(2026, 12, 1),
       false},
      {"Mask0_WeeklyInterval0",
       P{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 1), .iInterval = 0, .iDayOfWeekMask = 0}, Day(2026, 12, 2),
       false},
      {"Mask0_MonthlyFirst", MonthlyNth(0, 0), Day(2026, 12, 1), false},
      {"Mask0_MonthlyLast", MonthlyNth(4, 0), Day(2026, 12, 31), false},
      {"Mask0_Yearly",
       P{.iRecurrenceType = 6, .dtStartDate = Day(2026, 1, 1), .iDayOfWeekMask = 0, .iInstance = 4, .iMonthOfYear = 11},
       Day(2026, 12, 31), false},
      // Bits above Saturday mean nothing: 128 + 1 is Sunday only.
      {"MaskHighBits_Sunday", P{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 1), .iDayOfWeekMask = 129},
       Day(2026, 12, 6), true},
      {"MaskHighBits_Monday", P{.iRecurrenceType = 1, .dtStartDate = Day(2026, 12, 1), .iDayOfWeekMask = 129},
       Day(2026, 12, 7), false},

      // Days outside the calendar.
      {"InvalidDay_NaN", EverythingSet(0, 1), std::numeric_limits<double>::quiet_NaN(), false},
      {"InvalidDay_Huge", EverythingSet(0, 1), 1e300, false},
  };
  return cases;
}

// Failure messages name the row, not its bytes.
void PrintTo(const DueCase& row, std::ostream* out) { *out << row.name; }

class DueTable : public ::testing::TestWithParam<DueCase> {};

TEST_P(DueTable, DueAsExpected) {
  const DueCase& row = GetParam();
  EXPECT_EQ(IsDue(row.pattern, row.day, FormatSettings{}), row.due);
}

INSTANTIATE_TEST_SUITE_P(Examples, DueTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<DueCase>& info) { return std::string(info.param.name); });

TEST(Spans, CutTowardsZeroInEitherOrder) {
  const DateTime start = Day(2027, 1, 15);
  EXPECT_EQ(DaysBetween(start, start + 2.999), 2);
  EXPECT_EQ(DaysBetween(start + 2.999, start), 2);
  EXPECT_EQ(WeeksBetween(start, start + 13), 1);
  EXPECT_EQ(WeeksBetween(start, start + 14), 2);
  EXPECT_EQ(WeeksBetween(start + 14, start), 2);
  // 59 days are 1.94 months of 30.4375 days; 60.875 days are exactly 2.
  EXPECT_EQ(MonthsBetween(start, Day(2027, 3, 15)), 1);
  EXPECT_EQ(MonthsBetween(start, start + 60.875), 2);
  EXPECT_EQ(MonthsBetween(start, start + 60.874), 1);
  EXPECT_EQ(MonthsBetween(Day(2027, 3, 15), start), 1);
}

}  // namespace
}  // namespace almanex
