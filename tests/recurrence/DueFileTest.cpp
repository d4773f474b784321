// The due test reading its pattern from a configuration file: defaults for absent and junk values,
// hexadecimal integers, the sample section the dialog writes, and keys left over from another kind.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recurrence/IniRecurrenceUnit.h"
#include "store/IniFile.h"
#include "tests/common/TestSupport.h"
#include "tests/recurrence/RecurrenceTestSupport.h"

namespace almanex {
namespace {

using test::Day;

// Tuesday 8 December 2026, 09:30: the moment of the search.
const DateTime kNow = Day(2026, 12, 8) + 0.3958333333333333;
const DateTime kToday = Day(2026, 12, 8);

constexpr const char* kConfig =
    "[Event1]\r\n"
    "; daily, without a start date\r\n"
    "Title=No start date\r\n"
    "RPRecurrenceType=0\r\n"
    "RPInterval=1\r\n"
    "[Event2]\r\n"
    "Title=Junk everywhere\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPRecurrenceType=daily\r\n"
    "RPInterval=every day\r\n"
    "RPEndType=none\r\n"
    "[Event3]\r\n"
    "Title=Hex weekly\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPRecurrenceType=$1\r\n"
    "RPInterval=0x1\r\n"
    "RPDayOfWeekMask=0x3E\r\n"
    "[Event4]\r\n"
    "Title=Wedding anniversary\r\n"
    "Date=6/14/2003\r\n"
    "Time=4:00:00 PM\r\n"
    "DateChecked=1\r\n"
    "TimeChecked=1\r\n"
    "Type=0\r\n"
    "TypeDesc=Anniversary\r\n"
    "ForeGroundColor=0\r\n"
    "BackGroundColor=-16777211\r\n"
    "RemindMe=1\r\n"
    "RemindTime=9:00:00 AM\r\n"
    "Reminded=0\r\n"
    "RPStartDate=12/8/2026\r\n"
    "RPEndDate=12/8/2026\r\n"
    "RPEndType=0\r\n"
    "RPRecurrenceType=5\r\n"
    "RPMonthOfYear=5\r\n"
    "RPDayOfMonth=14\r\n"
    "RemindOfYears=1\r\n"
    "LastSentence=\r\n"
    "FirstSentence=\r\n"
    "[Event5]\r\n"
    "Title=Ends, but no end date\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPEndType=2\r\n"
    "RPRecurrenceType=0\r\n"
    "[Event6]\r\n"
    "Title=Once, no once date\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPRecurrenceType=7\r\n"
    "[Event7]\r\n"
    "Title=Monthly by weekday, left-over day of month\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPRecurrenceType=3\r\n"
    "RPInterval=1\r\n"
    "RPInstance=1\r\n"
    "RPDayOfWeekMask=62\r\n"
    "RPDayOfMonth=8\r\n"
    "RPOnceDate=12/8/2026\r\n"
    "[Event8]\r\n"
    "Title=Once on Christmas\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPRecurrenceType=7\r\n"
    "RPOnceDate=12/25/2026\r\n"
    "[Event9]\r\n"
    "Title=Weekly with the interval key missing\r\n"
    "RPStartDate=12/1/2026\r\n"
    "RPRecurrenceType=1\r\n"
    "RPDayOfWeekMask=$41\r\n"
    "[GridSettings]\r\n"
    "ColWidth0=62\r\n";

class DueFromFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("Config.INI");
    test::WriteFileBytes(path_, kConfig);
  }
  bool Due(std::string_view section, DateTime day, const FormatSettings& settings = FormatSettings{}) {
    const IniFile file(path_);
    return IsReminderDue(file, section, day, kNow, settings);
  }

  test::TempDir folder_;
  std::string path_;
};

struct FileCase {
  const char* name;
  const char* section;
  DateTime day;
  bool due;
};

TEST_F(DueFromFile, DefaultsHexAndLeftOverKeys) {
  const std::vector<FileCase> cases = {
      // No RPStartDate: the start is now, 09:30 today, so today at midnight is before it.
      {"no start date, today", "Event1", kToday, false},
      {"no start date, tomorrow", "Event1", Day(2026, 12, 9), true},
      // Junk kind, interval and end type read as 0 (daily), 1 and 0 (no end).
      {"junk values, today", "Event2", kToday, true},
      {"junk values, next year", "Event2", Day(2027, 12, 8), true},
      // $1, 0x1 and 0x3E: weekly, every week, Monday to Friday.
      {"hex weekly, Tuesday", "Event3", kToday, true},
      {"hex weekly, Saturday", "Event3", Day(2026, 12, 12), false},
      {"hex weekly, next Monday", "Event3", Day(2026, 12, 14), true},
      // The sample anniversary section: yearly on 14 June from 8 December 2026.
      {"sample, today", "Event4", kToday, false},
      {"sample, 14 June 2026 before the start", "Event4", Day(2026, 6, 14), false},
      {"sample, 14 June 2027", "Event4", Day(2027, 6, 14), true},
      {"sample, 13 June 2027", "Event4", Day(2027, 6, 13), false},
      // End by, with no RPEndDate: the end is now, so today is the last day.
      {"end date now, today", "Event5", kToday, true},
      {"end date now, tomorrow", "Event5", Day(2026, 12, 9), false},
      // Once, with no RPOnceDate: once on today's date.
      {"once date now, today", "Event6", kToday, true},
      {"once date now, tomorrow", "Event6", Day(2026, 12, 9), false},
      // Kind 3 reads only its own keys: RPDayOfMonth=8 and RPOnceDate do not make today due.
      {"left-over keys, today", "Event7", kToday, false},
      {"left-over keys, second weekday", "Event7", Day(2026, 12, 2), true},
      {"once on Christmas", "Event8", Day(2026, 12, 25), true},
      {"once on Christmas, today", "Event8", kToday, false},
      // No RPInterval: 1, every week; $41 is Saturday and Sunday.
      {"weekly, no interval, Saturday", "Event9", Day(2026, 12, 12), true},
      {"weekly, no interval, Sunday two weeks on", "Event9", Day(2026, 12, 20), true},
      {"weekly, no interval, Tuesday", "Event9", kToday, false},
      // A section that does not exist is every key at its default: daily from now.
      {"missing section, today", "Event99", kToday, false},
      {"missing section, tomorrow", "Event99", Day(2026, 12, 9), true},
      // Section names compare without regard to case.
      {"section name case", "EVENT3", kToday, true},
  };
  for (const FileCase& row : cases) {
    EXPECT_EQ(Due(row.section, row.day), row.due) << row.name;
  }
}

TEST_F(DueFromFile, PatternReadsHexIntegers) {
  const IniFile file(path_);
  const RecurrencePattern pattern = ReadRecurrencePattern(file, "Event3", kNow, FormatSettings{});
  EXPECT_EQ(pattern.iRecurrenceType, 1);
  EXPECT_EQ(pattern.iInterval, 1);
  EXPECT_EQ(pattern.iDayOfWeekMask, 62);
  EXPECT_EQ(pattern.dtStartDate, Day(2026, 12, 1));
}

// Dates are read in the user's short date format: under day/month/year, 12/25/2026 does not parse and
// RPOnceDate falls back to now, while 12/1/2026 becomes 12 January 2026.
TEST_F(DueFromFile, DatesFollowTheShortDateFormat) {
  FormatSettings dayFirst;
  dayFirst.shortDateFormat = "d/m/yyyy";
  EXPECT_FALSE(Due("Event8", Day(2026, 12, 25), dayFirst));
  EXPECT_TRUE(Due("Event8", kToday, dayFirst));
  EXPECT_TRUE(Due("Event2", Day(2026, 1, 12), dayFirst));
  EXPECT_FALSE(Due("Event2", Day(2026, 1, 11), dayFirst));
}

TEST(DueFromMissingFile, EveryKeyAtItsDefault) {
  test::TempDir folder;
  const IniFile file(folder.File("Config.INI"));
  EXPECT_FALSE(IsReminderDue(file, "Event1", kToday, kNow, FormatSettings{}));
  EXPECT_TRUE(IsReminderDue(file, "Event1", Day(2026, 12, 9), kNow, FormatSettings{}));
}

}  // namespace
}  // namespace almanex
