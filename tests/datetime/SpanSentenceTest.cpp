// The reminder sentence, seen from a clock that the test sets.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "datetime/DateTimeUnit.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

// Units by the letters of the pattern language: y years, m months, w weeks, d days, h hours, n minutes,
// s seconds.
TReminderWay Way(std::string_view units, std::string first = {}, std::string last = {}) {
  TReminderWay way;
  way.RemindOfYears = units.find('y') != units.npos;
  way.RemindOfMonths = units.find('m') != units.npos;
  way.RemindOfWeeks = units.find('w') != units.npos;
  way.RemindOfDays = units.find('d') != units.npos;
  way.RemindOfHours = units.find('h') != units.npos;
  way.RemindOfMinutes = units.find('n') != units.npos;
  way.RemindOfSeconds = units.find('s') != units.npos;
  way.FirstSentence = std::move(first);
  way.LastSentence = std::move(last);
  return way;
}

struct SentenceCase {
  const char* name;
  const char* type;
  DateTime event;
  DateTime now;
  TReminderWay way;
  const char* expected;
  friend void PrintTo(const SentenceCase& c, std::ostream* out) { *out << c.name; }
};

const DateTime kNewYear = MakeDateTime(2027, 1, 1);
const DateTime kChristmasNoon = MakeDateTime(2026, 12, 25, 12);
const DateTime kFeb2024 = MakeDateTime(2024, 2, 10, 6);
const DateTime kJun2025 = MakeDateTime(2025, 6, 1, 18, 30);
constexpr double kSecond = 1.0 / 86400;
const char* const kAheadAllUnits =
    "Before Birthday(Friday, 1 January 2027 00:00:00), there just left 561,600 seconds, 9,360.00 minutes, 156.00 "
    "hours, 6.50 days, 0.93 weeks, 0.21 months, 0.02 years. ";

const SentenceCase kCases[] = {
    {"AheadAllUnits", "Birthday", kNewYear, kChristmasNoon, Way("ymwdhns"), kAheadAllUnits},
    {"BehindDaysAndYears", "Anniversary", kFeb2024, kJun2025, Way("dy"),
     "Since Anniversary(Saturday, 10 February 2024 06:00:00), it has passed 477.52 days, 1.31 years. "},
    {"NoUnit", "Anniversary", kFeb2024, kJun2025, Way(""),
     "Since Anniversary(Saturday, 10 February 2024 06:00:00), it has passed . "},
    {"SingleDigitSecondsPadded", "Anniversary", kFeb2024, kFeb2024 + 7 * kSecond, Way("s"),
     "Since Anniversary(Saturday, 10 February 2024 06:00:00), it has passed  7 seconds. "},
    {"NowEqualsEvent", "Anniversary", kFeb2024, kFeb2024, Way("ymwdhns"),
     "Since Anniversary(Saturday, 10 February 2024 06:00:00), it has passed  0 seconds, 0.00 minutes, 0.00 hours, "
     "0.00 days, 0.00 weeks, 0.00 months, 0.00 years. "},
    {"OneMillisecondAhead", "Anniversary", kFeb2024, kFeb2024 - 0.001 * kSecond, Way("s"),
     "Before Anniversary(Saturday, 10 February 2024 06:00:00), there just left  0 seconds. "},
    {"FirstAndLastTrimmed", "Birthday", kNewYear, kChristmasNoon, Way("ymwdhns", "  Hello!  ", " Bye. "),
     "Hello! Before Birthday(Friday, 1 January 2027 00:00:00), there just left 561,600 seconds, 9,360.00 minutes, "
     "156.00 hours, 6.50 days, 0.93 weeks, 0.21 months, 0.02 years. Bye."},
    {"BlankOnlySentencesLeftOut", "Birthday", kNewYear, kChristmasNoon, Way("ymwdhns", " \t\r\n ", "\x01  \x1f"),
     kAheadAllUnits},
    {"LineBreaksInsideSentencesKept", "Birthday", kNewYear, kChristmasNoon,
     Way("d", "\r\nOne\r\nTwo\r\n", "\tThree\r\nFour "),
     "One\r\nTwo Before Birthday(Friday, 1 January 2027 00:00:00), there just left 6.50 days. Three\r\nFour"},
    {"EmptyTypeAhead", "", kNewYear, kChristmasNoon, Way("d"),
     "Before (Friday, 1 January 2027 00:00:00), there just left 6.50 days. "},
    {"EmptyTypeBehind", "", kFeb2024, kJun2025, Way("d"),
     "Since (Saturday, 10 February 2024 06:00:00), it has passed 477.52 days. "},
};

class SentenceTable : public testing::TestWithParam<SentenceCase> {};

TEST_P(SentenceTable, Reads) {
  const SentenceCase& c = GetParam();
  const FormatSettings settings = test::ExampleFormatSettings();
  TNextReminder next;
  next.dtEventDateTime = c.event;
  next.strTypeDesc = c.type;
  next.strTitle = "not part of the sentence";
  const ManualClock clock(c.now);
  EXPECT_EQ(BuildSpanSentence(next, c.way, clock, settings), c.expected);
}

INSTANTIATE_TEST_SUITE_P(BuildSpanSentence, SentenceTable, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildSpanSentence, ProgramRecordsStartZeroed) {
  EXPECT_FALSE(theNextReminder.bFound);
  EXPECT_EQ(theNextReminder.dtRemindTime, 0);
  EXPECT_TRUE(theNextReminder.strSection.empty());
  EXPECT_FALSE(theReminderWay.RemindOfSeconds || theReminderWay.RemindOfYears);
  EXPECT_TRUE(theReminderWay.FirstSentence.empty() && theReminderWay.LastSentence.empty());
}

}  // namespace
}  // namespace almanex
