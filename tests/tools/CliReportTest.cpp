// almanex-cli sentence and report: what one event's reminder says and its interval report, as text.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

test::CliResult RunCli(const std::vector<std::string>& arguments) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 25, 12), arguments);
}

class TempConfig {
 public:
  explicit TempConfig(const std::string& text) { test::WriteFileBytes(path, text); }
  test::TempDir folder;
  std::string path = folder.File("Config.INI");
};

// Written under en_US: dates m/d/yyyy, times h:nn:ss ampm.
const std::string kSentenceEvents =
    // no wording keys: every unit is named
    "[Event1]\r\nTitle=New year\r\nDate=1/1/2027\r\nTime=12:00:00 AM\r\nTypeDesc=Birthday\r\n"
    // days and years only, with the user's own sentences around (blanks and quotes come off)
    "[Event2]\r\nTitle=Wedding\r\nDate=2/10/2024\r\nTime=6:00:00 AM\r\nTypeDesc=Anniversary\r\n"
    "RemindOfYears=1\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfDays=1\r\nRemindOfHours=0\r\n"
    "RemindOfMinutes=0\r\nRemindOfSeconds=0\r\nFirstSentence=\"  Hello!  \"\r\nLastSentence= Bye.\r\n"
    // date and time switched off: today at midnight, whatever the keys hold; no type
    "[Event3]\r\nDate=6/14/2003\r\nTime=4:00:00 PM\r\nDateChecked=0\r\nTimeChecked=0\r\n"
    "RemindOfYears=0\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfHours=0\r\nRemindOfMinutes=0\r\n"
    "RemindOfSeconds=0\r\n"
    // no Date key: today, at its time
    "[Event4]\r\nTime=6:00:00 PM\r\nTypeDesc=Daily\r\nRemindOfYears=0\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\n"
    "RemindOfDays=0\r\nRemindOfMinutes=0\r\nRemindOfSeconds=0\r\n";

struct SentenceCase {
  const char* name;
  std::vector<std::string> options;
  const char* expected;
};
void PrintTo(const SentenceCase& row, std::ostream* out) { *out << row.name; }

class CliSentence : public ::testing::TestWithParam<SentenceCase> {};

TEST_P(CliSentence, PrintsTheEventsOwnSentenceAtNow) {
  const TempConfig config(kSentenceEvents);
  std::vector<std::string> arguments{"sentence", "--config", config.path, "--locale", "en_US"};
  arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
  const test::CliResult result = RunCli(arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, GetParam().expected);
  EXPECT_EQ(test::ReadFileBytes(config.path), kSentenceEvents);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliSentence,
    ::testing::Values(
        SentenceCase{"EveryUnitByDefault",
                     {"--section", "Event1", "--now", "2026-12-25 12:00:00"},
                     "Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left 561,600 seconds, 9,360.00 "
                     "minutes, 156.00 hours, 6.50 days, 0.93 weeks, 0.21 months, 0.02 years. \n"},
        SentenceCase{"DefaultNowIsTheClock",
                     {"--section", "Event1"},
                     "Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left 561,600 seconds, 9,360.00 "
                     "minutes, 156.00 hours, 6.50 days, 0.93 weeks, 0.21 months, 0.02 years. \n"},
        SentenceCase{"OwnUnitsAndSentences",
                     {"--section", "Event2", "--now", "2025-06-01 18:30:00"},
                     "Hello! Since Anniversary(Saturday, February 10, 2024 6:00:00 AM), it has passed 477.52 days, "
                     "1.31 years. Bye.\n"},
        SentenceCase{"UncheckedDateAndTimeAreTodayAtMidnight",
                     {"--section", "Event3"},
                     "Since (Friday, December 25, 2026 12:00:00 AM), it has passed 0.50 days. \n"},
        SentenceCase{"SectionNameInAnyCase",
                     {"--section", "eVENT4"},
                     "Before Daily(Friday, December 25, 2026 6:00:00 PM), there just left 6.00 hours. \n"}),
    [](const auto& info) { return info.param.name; });

// Written under en_GB, whose long date and time are "dddd, d mmmm yyyy" and "hh:nn:ss".
const std::string kReportEvents =
    "[Event1]\r\nTitle=Wedding\r\nDate=10/02/2024\r\nTime=06:00:00\r\nTypeDesc=Anniversary\r\n"
    "[Event2]\r\nTitle=Later\r\nDate=01/06/2025\r\nTime=18:30:00\r\n"
    "[Event3]\r\nTitle=Soon\r\nDate=01/01/2027\r\nTime=18:30:00\r\nTimeChecked=0\r\n";

struct ReportCase {
  const char* name;
  const char* section;
  const char* now;
};
void PrintTo(const ReportCase& row, std::ostream* out) { *out << row.name; }

class CliReport : public ::testing::TestWithParam<ReportCase> {};

// The earlier of now and the event is always the start: both directions give the same report.
TEST_P(CliReport, PrintsTheWorkedIntervalWithLineFeeds) {
  const TempConfig config(kReportEvents);
  const test::CliResult result = RunCli({"report", "--config", config.path, "--locale", "en_GB", "--section",
                                         GetParam().section, "--now", GetParam().now});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, test::kWorkedIntervalReport);
}

INSTANTIATE_TEST_SUITE_P(Table, CliReport,
                         ::testing::Values(ReportCase{"EventBehindNow", "Event1", "2025-06-01 18:30:00"},
                                           ReportCase{"EventAheadOfNow", "event2", "2024-02-10 06:00:00"}),
                         [](const auto& info) { return info.param.name; });

TEST(CliReportDuration, UncheckedTimeIsMidnightAndShortDurationsArePadded) {
  const TempConfig config(kReportEvents);
  const test::CliResult result =
      RunCli({"report", "--config", config.path, "--locale", "en_GB", "--section", "Event3"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.substr(0, result.out.find("Delta(")),
            "Formula: Delta = End Time - Start Time\n"
            "Start Time: [Friday, 25 December 2026 12:00:00] \n"
            "End Time:   [Friday, 1 January 2027 00:00:00] \n"
            "The duration(delta) is [ 6] days, [12] hours, [0] minutes and [0] seconds.\n");
}

// The report counts the event as the dialog's Details page does: a section without Time is at the
// time of --now (the reminder search would take midnight), a section without Date on the day of --now.
TEST(CliReportDuration, MissingDateOrTimeIsNowAsInTheDialog) {
  const TempConfig config(
      "[Event1]\r\nTitle=No time\r\nDate=01/01/2027\r\n[Event2]\r\nTitle=No date\r\nTime=18:30:00\r\n");
  const struct {
    const char* section;
    const char* head;
  } rows[] = {
      {"Event1",
       "Formula: Delta = End Time - Start Time\n"
       "Start Time: [Friday, 25 December 2026 12:00:00] \n"
       "End Time:   [Friday, 1 January 2027 12:00:00] \n"
       "The duration(delta) is [ 7] days, [0] hours, [0] minutes and [0] seconds.\n"},
      {"Event2",
       "Formula: Delta = End Time - Start Time\n"
       "Start Time: [Friday, 25 December 2026 12:00:00] \n"
       "End Time:   [Friday, 25 December 2026 18:30:00] \n"
       "The duration(delta) is [ 0] days, [6] hours, [30] minutes and [0] seconds.\n"},
  };
  for (const auto& row : rows) {
    const test::CliResult result =
        RunCli({"report", "--config", config.path, "--locale", "en_GB", "--section", row.section});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("Delta(")), row.head) << row.section;
  }
}

struct BadEvent {
  const char* name;
  std::vector<std::string> arguments;
  const char* message;
};
void PrintTo(const BadEvent& row, std::ostream* out) { *out << row.name; }

class CliEventBadArguments : public ::testing::TestWithParam<BadEvent> {};

TEST_P(CliEventBadArguments, ExitWithStatusTwoAndAClearMessage) {
  const TempConfig config(kReportEvents + "[GridSettings]\r\nColWidth0=62\r\n");
  std::vector<std::string> arguments = GetParam().arguments;
  arguments.insert(arguments.end(), {"--config", config.path, "--locale", "en_GB"});
  const test::CliResult result = RunCli(arguments);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliEventBadArguments,
    ::testing::Values(
        BadEvent{"SentenceUnknownSection", {"sentence", "--section", "Event9"}, "no event section 'Event9'"},
        BadEvent{"ReportUnknownSection", {"report", "--section", "Event"}, "no event section 'Event'"},
        BadEvent{"NotAnEvent", {"report", "--section", "gridsettings"}, "'GridSettings' is not an event"},
        BadEvent{"SentenceWithoutSection", {"sentence"}, "missing option --section NAME"},
        BadEvent{"ReportWithoutSection", {"report"}, "missing option --section NAME"},
        BadEvent{"BadNow", {"report", "--section", "Event1", "--now", "2025-06-01"}, "--now must be"},
        BadEvent{"DayIsNoOption", {"sentence", "--section", "Event1", "--day", "2025-06-01"}, "unknown option --day"}),
    [](const auto& info) { return info.param.name; });

TEST(CliEventMissingFile, IsAnUnknownSection) {
  test::TempDir folder;
  const test::CliResult result = RunCli({"sentence", "--config", folder.File("Config.INI"), "--section", "Event1"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("no event section 'Event1' in " + folder.File("Config.INI")), std::string::npos);
}

TEST(CliHelp, NamesEveryCommandAndTheLineEnds) {
  const test::CliResult result = RunCli({"--help"});
  EXPECT_EQ(result.status, 0);
  for (const char* text : {"almanex-cli list", "almanex-cli next", "almanex-cli due --day YYYY-MM-DD [--days N]",
                           "almanex-cli sentence --section NAME", "almanex-cli report --section NAME",
                           "CR LF line breaks", "are printed as LF"}) {
    EXPECT_NE(result.out.find(text), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace almanex
