// almanex-cli as a script sees it: exact output lines and exit statuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/Cli.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

test::CliResult RunCli(const std::vector<std::string>& arguments) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 25, 12), arguments);
}

const std::string kFixture = std::string(ALMANEX_FIXTURES) + "/events.ini";

TEST(CliList, PrintsTheGridRowsInFileOrder) {
  const test::CliResult result =
      RunCli({"list", "--config", kFixture, "--now", "2026-12-25 12:00:00", "--locale", "en_US"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Event1\tWedding anniversary\t6/14/2003\t4:00:00 PM\tAnniversary\t23.53\t282.38\t1,227.83\t8,594.83"
            "\t206,276.00\t12,376,560.00\t742,593,600\n"
            "MyEvent\tAlarm\t\t6:00:00 PM\tDaily\t0.00\t0.01\t0.04\t0.25\t6.00\t360.00\t21,600\n"
            "Event3\tBirthday\t1/1/2027\t\tBirthday\t0.02\t0.21\t0.93\t6.50\t156.00\t9,360.00\t561,600\n");
}

TEST(CliList, LocaleChangesTheWrittenFormsAndSeparators) {
  const test::CliResult result = RunCli({"list", "--config", kFixture, "--now=2026-12-25 12:00:00", "--locale=de_DE"});
  ASSERT_EQ(result.status, 0) << result.err;
  // The file was written under a month/day/year setting: under German formats its dates do not read
  // and take today as the default, while the spans use German separators.
  std::istringstream lines(result.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.substr(0, line.find('\t')), "Event1");
  EXPECT_NE(line.find("25.12.2026"), std::string::npos) << line;
}

TEST(CliList, MissingFileListsNothing) {
  test::TempDir folder;
  const test::CliResult result = RunCli({"list", "--config", folder.File("Config.INI"), "--locale", "C"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

TEST(CliList, DefaultNowComesFromTheClock) {
  const test::CliResult fixed =
      RunCli({"list", "--config", kFixture, "--now", "2026-12-25 12:00:00", "--locale", "en_US"});
  const test::CliResult clocked = RunCli({"list", "--config", kFixture, "--locale", "en_US"});
  EXPECT_EQ(fixed.out, clocked.out);
}

// A title or type may hold any byte but a line break; no command lets one add a field or a line, or reach
// the terminal as an escape sequence.
TEST(CliOutput, ControlCharactersInTheFileBecomeBlanksInEveryCommand) {
  test::TempDir folder;
  const std::string config = folder.File("Config.INI");
  test::WriteFileBytes(
      config,
      "[Event1]\r\nTitle=A\tB\x1b]0;owned\x07C\x7F\xC2\x9B"
      "D\x01\r\nTypeDesc=T\tY\x1b[2J\r\n"
      "Date=12/25/2026\r\nDateChecked=1\r\nRPStartDate=12/1/2026\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n"
      "RemindTime=11:00:00 AM\r\nReminded=0\r\nRemindMe=1\r\n");
  const std::vector<std::vector<std::string>> commands = {{"list"},
                                                          {"next"},
                                                          {"due", "--day", "2026-12-25"},
                                                          {"sentence", "--section", "Event1"},
                                                          {"list", "--json"},
                                                          {"next", "--json"},
                                                          {"due", "--day", "2026-12-25", "--json"}};
  const std::size_t expectedTabs[] = {11, 3, 1, 0, 0, 0, 0};
  for (std::size_t c = 0; c < commands.size(); ++c) {
    std::vector<std::string> arguments = commands[c];
    for (const char* option : {"--config", config.c_str(), "--locale", "en_US"}) arguments.push_back(option);
    const test::CliResult result = RunCli(arguments);
    ASSERT_EQ(result.status, 0) << arguments[0] << result.err;
    ASSERT_FALSE(result.out.empty()) << arguments[0];
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << arguments[0] << result.out;
    EXPECT_EQ(static_cast<std::size_t>(std::count(result.out.begin(), result.out.end(), '\t')), expectedTabs[c])
        << arguments[0] << " " << result.out;
    for (const char c1 : result.out) {
      const auto byte = static_cast<unsigned char>(c1);
      EXPECT_TRUE(byte >= 0x20 ? byte != 0x7F : (byte == '\t' || byte == '\n')) << arguments[0] << int(byte);
    }
    EXPECT_EQ(result.out.find("\xC2\x9B"), std::string::npos) << arguments[0];
  }
}

struct BadArguments {
  const char* name;
  std::vector<std::string> arguments;
  const char* message;
};
void PrintTo(const BadArguments& row, std::ostream* out) { *out << row.name; }

class CliBadArguments : public ::testing::TestWithParam<BadArguments> {};

TEST_P(CliBadArguments, ExitWithStatusTwoAndAClearMessage) {
  const test::CliResult result = RunCli(GetParam().arguments);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliBadArguments,
    ::testing::Values(BadArguments{"NoCommand", {}, "no command given"},
                      BadArguments{"UnknownCommand", {"lsit"}, "unknown command 'lsit'"},
                      BadArguments{"UnknownOption", {"list", "--conf", "x"}, "unknown option --conf"},
                      BadArguments{"MissingValue", {"list", "--config"}, "option --config needs a value"},
                      BadArguments{"BadNow", {"list", "--now", "25/12/2026"}, "--now must be"},
                      BadArguments{"ImpossibleNow", {"list", "--now", "2026-02-30 00:00:00"}, "--now must be"},
                      BadArguments{"UnknownLocale", {"list", "--locale", "xx_NOWHERE"}, "unknown locale"},
                      BadArguments{"Twice", {"list", "--locale", "C", "--locale", "C"}, "given twice"},
                      BadArguments{"StrayArgument", {"list", "extra"}, "unexpected argument 'extra'"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace almanex
