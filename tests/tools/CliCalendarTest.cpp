// almanex-cli export --ics and import --ics: the calendar file a script gets, and what an import writes.

#include <gtest/gtest.h>

#include "cli/Cli.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

// Thursday 10 December 2026, 09:30.
test::CliResult RunCli(std::vector<std::string> arguments) {
  arguments.insert(arguments.end(), {"--locale", "en_US"});
  return test::RunCliAt(test::MakeDateTime(2026, 12, 10, 9, 30), arguments);
}

const std::string kEvents =
    "[Event1]\r\nTitle=Second Tuesday\r\nRPStartDate=1/1/2026\r\nRPEndType=2\r\nRPEndDate=12/31/2027\r\n"
    "RPRecurrenceType=3\r\nRPInterval=1\r\nRPInstance=1\r\nRPDayOfWeekMask=4\r\nRemindTime=8:00:00 AM\r\n"
    "[GridSettings]\r\nColWidth0=62\r\n";

TEST(CliCalendar, ExportWritesTheCalendarToStdoutOrAFile) {
  const test::TempDir folder;
  const std::string config = folder.File("Config.INI");
  test::WriteFileBytes(config, kEvents);
  const test::CliResult printed = RunCli({"export", "--ics", "-", "--config", config});
  ASSERT_EQ(printed.status, cli::kExitOk) << printed.err;
  EXPECT_EQ(printed.out.rfind("BEGIN:VCALENDAR\r\n", 0), 0u);
  EXPECT_NE(printed.out.find("\r\nDTSTART;VALUE=DATE:20260113\r\n"
                             "RRULE:FREQ=MONTHLY;UNTIL=20271231;BYDAY=TU;BYSETPOS=2\r\n"
                             "SUMMARY:Second Tuesday\r\nX-ALMANEX-SECTION:Event1\r\n"),
            std::string::npos)
      << printed.out;
  EXPECT_NE(printed.out.find("TRIGGER:PT8H\r\n"), std::string::npos);

  const test::CliResult written = RunCli({"export", "--ics", folder.File("out.ics"), "--config", config});
  ASSERT_EQ(written.status, cli::kExitOk) << written.err;
  EXPECT_EQ(written.out, "");
  EXPECT_EQ(test::ReadFileBytes(folder.File("out.ics")), printed.out);

  const test::CliResult refused = RunCli({"export", "--ics", folder.File("no/folder/out.ics"), "--config", config});
  EXPECT_EQ(refused.status, cli::kExitFailure);
  EXPECT_EQ(refused.err.rfind("almanex-cli: cannot write " + folder.File("no/folder/out.ics"), 0), 0u) << refused.err;
}

TEST(CliCalendar, ImportAddsEventsAndDryRunWritesNothing) {
  const test::TempDir folder;
  const std::string source = folder.File("source.ini");
  test::WriteFileBytes(source, kEvents);
  ASSERT_EQ(RunCli({"export", "--ics", folder.File("cal.ics"), "--config", source}).status, cli::kExitOk);
  const std::string config = folder.File("Config.INI");
  test::WriteFileBytes(config, "[Event1]\r\nTitle=Already here\r\n");

  const test::CliResult dry = RunCli({"import", "--ics", folder.File("cal.ics"), "--dry-run", "--config", config});
  ASSERT_EQ(dry.status, cli::kExitOk) << dry.err;
  EXPECT_EQ(dry.out, "Event2\tSecond Tuesday\nwould import 1 events into " + config + " (dry run: nothing written)\n");
  EXPECT_EQ(test::ReadFileBytes(config), "[Event1]\r\nTitle=Already here\r\n");

  const test::CliResult done = RunCli({"import", "--ics", folder.File("cal.ics"), "--config", config});
  ASSERT_EQ(done.status, cli::kExitOk) << done.err;
  EXPECT_EQ(done.out, "Event2\tSecond Tuesday\nimported 1 events into " + config + "\n");
  const test::CliResult listed = RunCli({"due", "--day", "2026-12-08", "--config", config});
  EXPECT_EQ(listed.out, "2026-12-08\tEvent2\n");
}

TEST(CliCalendar, MalformedFileImportsNothing) {
  const test::TempDir folder;
  const std::string config = folder.File("Config.INI");
  test::WriteFileBytes(config, kEvents);
  test::WriteFileBytes(folder.File("bad.ics"),
                       "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:tomorrow\nEND:VEVENT\nEND:VCALENDAR\n");
  const test::CliResult result = RunCli({"import", "--ics", folder.File("bad.ics"), "--config", config});
  EXPECT_EQ(result.status, cli::kExitFailure);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "almanex-cli: " + folder.File("bad.ics") +
                            ": line 3: not a valid iCalendar line: \"DTSTART:tomorrow\"; nothing imported\n");
  EXPECT_EQ(test::ReadFileBytes(config), kEvents);
}

}  // namespace
}  // namespace almanex
