// almanex-cli as a script sees it: exact output lines and exit statuses.

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
