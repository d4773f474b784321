// almanex-cli next: the reminder a search makes pending at a moment, as a script reads it.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "tests/common/ReminderTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

test::CliResult RunCli(const std::vector<std::string>& arguments) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 8, 7), arguments);
}

// The shared daily event, its reminder wording in days only.
std::string DailyEvent(const std::string& section, const std::string& title, const std::string& remindTime,
                       const std::string& reminded = "0") {
  return test::DailyEvent(section, title, remindTime,
                          "RemindOfYears=0\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfHours=0\r\n"
                          "RemindOfMinutes=0\r\nRemindOfSeconds=0\r\n",
                          reminded);
}

class CliNext : public ::testing::Test {
 protected:
  test::CliResult Next(const std::string& now) {
    return RunCli({"next", "--config", path, "--now", now, "--locale", "en_US"});
  }
  test::TempDir folder;
  std::string path = folder.File("Config.INI");
};

TEST_F(CliNext, PrintsTheEarliestPendingReminderWithItsSentenceAtNow) {
  const std::string config = DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Eight", "8:00:00 AM");
  test::WriteFileBytes(path, config);
  const test::CliResult result = Next("2026-12-25 12:00:00");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Event2\t2026-12-25 08:00:00\tEight\tBefore Birthday(Friday, January 1, 2027 12:00:00 AM), there just left "
            "6.50 days. \n");
  EXPECT_EQ(test::ReadFileBytes(path), config);
}

TEST_F(CliNext, ThePastMomentOfTheDayStaysPendingAndEqualMomentsKeepFileOrder) {
  test::WriteFileBytes(path,
                       DailyEvent("Event7", "First", "8:00:00 AM") + DailyEvent("Event3", "Second", "8:00:00 AM"));
  const test::CliResult result = Next("2026-12-08 23:00:00");
  EXPECT_EQ(result.out.substr(0, result.out.find("\tBefore")), "Event7\t2026-12-08 08:00:00\tFirst");
}

TEST_F(CliNext, MarksCountAndAreNeverWritten) {
  const std::string config =
      DailyEvent("Event1", "Eight", "8:00:00 AM", "1") + DailyEvent("Event2", "Nine", "9:00:00 AM", "1");
  test::WriteFileBytes(path, config);
  EXPECT_EQ(Next("2026-12-08 10:00:00").out, "");
  EXPECT_EQ(test::ReadFileBytes(path), config);  // no reset either
}

TEST_F(CliNext, NothingPendingPrintsNothing) {
  test::WriteFileBytes(path,
                       "[Event1]\r\nTitle=Starts tomorrow\r\nRemindTime=9:00:00 AM\r\nRPStartDate=12/9/2026\r\n"
                       "[GridSettings]\r\nColWidth0=10\r\n");
  const test::CliResult result = Next("2026-12-08 07:00:00");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

TEST_F(CliNext, MissingFilePrintsNothingAndCreatesNothing) {
  const test::CliResult result = Next("2026-12-08 07:00:00");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(test::FileExists(path));
}

TEST_F(CliNext, MissingRemindTimeIsNowAndTabsInTextsBecomeBlanks) {
  test::WriteFileBytes(path,
                       "[Event1]\r\nTitle=Tab\there\r\nRPStartDate=1/1/2026\r\nRemindOfYears=0\r\n"
                       "RemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfDays=0\r\nRemindOfHours=0\r\n"
                       "RemindOfMinutes=0\r\nRemindOfSeconds=1\r\nDateChecked=0\r\nTimeChecked=0\r\n"
                       "TypeDesc=\r\n");
  const test::CliResult result = Next("2026-12-08 00:00:07");
  EXPECT_EQ(result.out,
            "Event1\t2026-12-08 00:00:07\tTab here\tSince (Tuesday, December 8, 2026 12:00:00 AM), it has passed  7 "
            "seconds. \n");
}

TEST_F(CliNext, DefaultNowComesFromTheClock) {
  test::WriteFileBytes(path, DailyEvent("Event1", "Nine", "9:00:00 AM"));
  const test::CliResult clocked = RunCli({"next", "--config", path, "--locale", "en_US"});
  EXPECT_EQ(clocked.out, Next("2026-12-08 07:00:00").out);
  EXPECT_NE(clocked.out, "");
}

TEST(CliNextArguments, BadArgumentsAndUsage) {
  const test::CliResult unknown = RunCli({"next", "--reset", "1"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown option --reset"), std::string::npos) << unknown.err;
  const test::CliResult badNow = RunCli({"next", "--now", "tomorrow"});
  EXPECT_EQ(badNow.status, 2);
  EXPECT_NE(badNow.err.find("--now must be"), std::string::npos) << badNow.err;
  const test::CliResult help = RunCli({"--help"});
  EXPECT_NE(help.out.find("almanex-cli next [--config FILE]"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace almanex
