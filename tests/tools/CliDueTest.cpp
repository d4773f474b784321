// almanex-cli due: which events' patterns make a run of days reminder days, as a script reads it.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

// The clock stands on Tuesday 8 December 2026 at 07:00: the moment a missing RPStartDate takes.
test::CliResult RunCli(const std::vector<std::string>& arguments) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 8, 7), arguments);
}

// One event of each quirk, in an order that is not the order of their names. Dates in m/d/yyyy (en_US).
const std::string kEvents =
    // every second day from Tuesday 1 December 2026: 7, 9, 11 December ...
    "[Event3]\r\nTitle=Every other day\r\nRPStartDate=12/1/2026\r\nRPRecurrenceType=0\r\nRPInterval=2\r\n"
    // Mondays and Wednesdays; already reminded today, which due does not care about
    "[Event1]\r\nTitle=Mon Wed\r\nReminded=1\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=1\r\nRPInterval=1\r\n"
    "RPDayOfWeekMask=10\r\n"
    "[GridSettings]\r\nColWidth0=62\r\n"
    // once, on Wednesday 9 December 2026
    "[MyEvent]\r\nTitle=Once\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=7\r\nRPOnceDate=12/9/2026\r\n"
    // every 8 December
    "[Event2]\r\nTitle=Yearly\r\nRPStartDate=1/1/2000\r\nRPRecurrenceType=5\r\nRPMonthOfYear=11\r\nRPDayOfMonth=8\r\n"
    // the second Tuesday of every month: 8 December 2026
    "[Event4]\r\nTitle=Second Tuesday\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=3\r\nRPInterval=1\r\n"
    "RPInstance=1\r\nRPDayOfWeekMask=4\r\n"
    // daily without a start date: it starts at now, so not on now's own date at midnight
    "[Event5]\r\nTitle=No start\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n";

struct DueCase {
  const char* name;
  std::vector<std::string> options;
  const char* expected;
};
void PrintTo(const DueCase& row, std::ostream* out) { *out << row.name; }

class CliDue : public ::testing::TestWithParam<DueCase> {};

TEST_P(CliDue, PrintsDayAndSectionOfEveryDueEvent) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, kEvents);
  std::vector<std::string> arguments{"due", "--config", path, "--locale", "en_US"};
  arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
  const test::CliResult result = RunCli(arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, GetParam().expected);
  EXPECT_EQ(test::ReadFileBytes(path), kEvents);  // read only
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliDue,
    ::testing::Values(DueCase{"OneDayByDefault", {"--day", "2026-12-08"}, "2026-12-08\tEvent2\n2026-12-08\tEvent4\n"},
                      DueCase{"DaysAscendingSectionsInFileOrder",
                              {"--day", "2026-12-07", "--days", "4"},
                              "2026-12-07\tEvent3\n2026-12-07\tEvent1\n"
                              "2026-12-08\tEvent2\n2026-12-08\tEvent4\n"
                              "2026-12-09\tEvent3\n2026-12-09\tEvent1\n2026-12-09\tMyEvent\n2026-12-09\tEvent5\n"
                              "2026-12-10\tEvent5\n"},
                      DueCase{"NowIsTheMissingStart",
                              {"--day=2026-12-08", "--now", "2026-12-01 00:00:00"},
                              "2026-12-08\tEvent2\n2026-12-08\tEvent4\n2026-12-08\tEvent5\n"},
                      DueCase{"BeforeTheStartsOnlyTheOldPatternIsDue", {"--day", "2025-12-08"}, "2025-12-08\tEvent2\n"},
                      DueCase{"NoEventThatDay", {"--day", "2026-11-29"}, ""},
                      DueCase{"ARunAcrossTheYearEnd",
                              {"--day", "2026-12-31", "--days", "3", "--now", "2027-02-01 00:00:00"},
                              "2026-12-31\tEvent3\n2027-01-02\tEvent3\n"}),
    [](const auto& info) { return info.param.name; });

TEST(CliDueLongRun, EveryDayOfAYearIsTestedOnce) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nRPStartDate=1/1/2000\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n");
  const test::CliResult result =
      RunCli({"due", "--config", path, "--locale", "en_US", "--day", "2028-01-01", "--days", "366"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::istringstream lines(result.out);
  std::string line;
  int count = 0;
  std::string last;
  while (std::getline(lines, line)) {
    ++count;
    last = line;
  }
  EXPECT_EQ(count, 366);  // 2028 is a leap year
  EXPECT_EQ(result.out.substr(0, 18), "2028-01-01\tEvent1\n");
  EXPECT_EQ(last, "2028-12-31\tEvent1");
}

TEST(CliDueLongRun, MissingFilePrintsNothingAndCreatesNothing) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  const test::CliResult result =
      RunCli({"due", "--config", path, "--locale", "C", "--day", "2026-12-08", "--days", "7"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(std::filesystem::exists(path));
}

struct BadDue {
  const char* name;
  std::vector<std::string> options;
  const char* message;
};
void PrintTo(const BadDue& row, std::ostream* out) { *out << row.name; }

class CliDueBadArguments : public ::testing::TestWithParam<BadDue> {};

TEST_P(CliDueBadArguments, ExitWithStatusTwoAndAClearMessage) {
  std::vector<std::string> arguments{"due", "--locale", "C"};
  arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
  const test::CliResult result = RunCli(arguments);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliDueBadArguments,
    ::testing::Values(
        BadDue{"NoDay", {}, "missing option --day YYYY-MM-DD"},
        BadDue{"OtherForm", {"--day", "12/8/2026"}, "--day must be a date YYYY-MM-DD, not '12/8/2026'"},
        BadDue{"ShortMonth", {"--day", "2026-1-08"}, "--day must be a date YYYY-MM-DD"},
        BadDue{"TimeAttached", {"--day", "2026-12-08 00:00:00"}, "--day must be a date YYYY-MM-DD"},
        BadDue{"NoSuchDate", {"--day", "2027-02-29"}, "--day must be a date YYYY-MM-DD, not '2027-02-29'"},
        BadDue{"MonthThirteen", {"--day", "2026-13-01"}, "--day must be a date YYYY-MM-DD"},
        BadDue{"YearZero", {"--day", "0000-01-01"}, "--day must be a date YYYY-MM-DD"},
        BadDue{"ZeroDays", {"--day", "2026-12-08", "--days", "0"}, "--days must be a whole number from 1 to 36600"},
        BadDue{"NegativeDays", {"--day", "2026-12-08", "--days", "-3"}, "not '-3'"},
        BadDue{"TrailingText", {"--day", "2026-12-08", "--days", "7d"}, "not '7d'"},
        BadDue{"EmptyDays", {"--day", "2026-12-08", "--days="}, "--days must be a whole number"},
        BadDue{"TooManyDays", {"--day", "2026-12-08", "--days", "36601"}, "from 1 to 36600, not '36601'"},
        BadDue{"HugeDays", {"--day", "2026-12-08", "--days", "99999999999999999999"}, "--days must be"},
        BadDue{"PastTheLastYear", {"--day", "9999-12-31", "--days", "2"}, "reach past 9999-12-31"},
        BadDue{"SectionIsNoOption", {"--day", "2026-12-08", "--section", "Event1"}, "unknown option --section"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace almanex
