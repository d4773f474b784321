// almanex-cli under another locale than the program that wrote the file (a desktop in one language,
// cron under LANG=C): it sees the same dates and times.

#include <gtest/gtest.h>

#include <QLocale>
#include <QString>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "datetime/DateFormat.h"
#include "platform/locale/LocaleBridge.h"
#include "store/IniFile.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

const char* const kLocales[] = {"en_US", "en_GB", "de_DE", "C"};

struct LocalePair {
  const char* writer;
  const char* reader;
};

void PrintTo(const LocalePair& pair, std::ostream* out) { *out << pair.writer << " -> " << pair.reader; }

FormatSettings SettingsOf(const char* locale) { return FormatSettingsFromLocale(QLocale(QString::fromUtf8(locale))); }

// 5 June 2003 is also a valid 6 May: a month/day reader of a day/month file would read the wrong date.
const DateTime kDate = test::MakeDateTime(2003, 6, 5);
const DateTime kTime = test::MakeDateTime(1899, 12, 30, 16, 7, 8);

/// One once-only event on kDate at kTime, written as the program writes it under settings.
void WriteEvent(const std::string& path, const FormatSettings& settings) {
  IniFile file(path);
  file.WriteString("Event1", "Title", "Wedding");
  file.WriteDate("Event1", "Date", kDate, settings);
  file.WriteTime("Event1", "Time", kTime, settings);
  file.WriteBool("Event1", "DateChecked", true);
  file.WriteBool("Event1", "TimeChecked", true);
  file.WriteString("Event1", "TypeDesc", "Anniversary");
  file.WriteDate("Event1", "RPStartDate", test::MakeDateTime(2003, 6, 1), settings);
  file.WriteInteger("Event1", "RPRecurrenceType", 7);
  file.WriteDate("Event1", "RPOnceDate", kDate, settings);
  file.Flush();
}

test::CliResult RunCli(const std::vector<std::string>& arguments) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 25, 12), arguments);
}

class CliLocaleChange : public testing::TestWithParam<LocalePair> {};

TEST_P(CliLocaleChange, ListShowsTheWrittenDateAndTime) {
  test::TempDir dir;
  const std::string written = dir.File("Written.INI");
  const std::string native = dir.File("Native.INI");  // the same event written under the reader's locale
  WriteEvent(written, SettingsOf(GetParam().writer));
  WriteEvent(native, SettingsOf(GetParam().reader));
  const test::CliResult result = RunCli({"list", "--config", written, "--locale", GetParam().reader});
  ASSERT_EQ(result.status, 0) << result.err;
  const FormatSettings reader = SettingsOf(GetParam().reader);
  const std::string expectedStart =
      "Event1\tWedding\t" + FormatShortDate(kDate, reader) + "\t" + FormatLongTime(kTime, reader) + "\tAnniversary\t";
  EXPECT_EQ(result.out.substr(0, expectedStart.size()), expectedStart) << result.out;
  EXPECT_EQ(result.out, RunCli({"list", "--config", native, "--locale", GetParam().reader}).out);
}

TEST_P(CliLocaleChange, DueFindsTheOnceDate) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  WriteEvent(path, SettingsOf(GetParam().writer));
  const test::CliResult result =
      RunCli({"due", "--config", path, "--locale", GetParam().reader, "--day", "2003-06-04", "--days", "3"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "2003-06-05\tEvent1\n");
}

std::vector<LocalePair> AllPairs() {
  std::vector<LocalePair> pairs;
  for (const char* writer : kLocales) {
    for (const char* reader : kLocales) pairs.push_back({writer, reader});
  }
  return pairs;
}

INSTANTIATE_TEST_SUITE_P(Locales, CliLocaleChange, testing::ValuesIn(AllPairs()),
                         [](const testing::TestParamInfo<LocalePair>& info) {
                           return std::string(info.param.writer) + "_To_" + info.param.reader;
                         });

}  // namespace
}  // namespace almanex
