// almanex-cli list, due and next with --json: every line is one JSON object that a strict reader
// (Qt's own) accepts, whatever bytes the file holds, and its texts are those of the grid.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>
#include <cmath>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/JsonLine.h"
#include "tests/common/ReminderTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/CliTestSupport.h"

namespace almanex {
namespace {

const std::string kFixture = std::string(ALMANEX_FIXTURES) + "/events.ini";
const char* const kSpanNames[7] = {"years", "months", "weeks", "days", "hours", "minutes", "seconds"};

test::CliResult RunCli(const std::vector<std::string>& arguments) {
  return test::RunCliAt(test::MakeDateTime(2026, 12, 25, 12), arguments);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

/// The line read by a strict JSON reader; a failure names the line.
QJsonObject Parse(const std::string& line) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << " in " << line;
  EXPECT_TRUE(document.isObject()) << line;
  return document.object();
}

std::string Text(const QJsonObject& object, const char* name) { return object.value(name).toString().toStdString(); }

// The grid's twelve texts (the TAB-separated list) and the JSON members of the same rows agree, and the
// numbers are the figures the texts round.
TEST(CliJson, ListCarriesTheGridTextsAndTheirFigures) {
  const std::vector<std::string> common{"--config", kFixture, "--now", "2026-12-25 12:00:00", "--locale", "en_US"};
  std::vector<std::string> plain{"list"}, json{"list", "--json"};
  plain.insert(plain.end(), common.begin(), common.end());
  json.insert(json.end(), common.begin(), common.end());
  const test::CliResult grid = RunCli(plain);
  const test::CliResult lines = RunCli(json);
  ASSERT_EQ(lines.status, 0) << lines.err;
  const std::vector<std::string> rows = Lines(grid.out);
  const std::vector<std::string> objects = Lines(lines.out);
  ASSERT_EQ(objects.size(), 3u);
  ASSERT_EQ(rows.size(), objects.size());
  const char* const textNames[12] = {"section",    "title",     "date",     "time",      "type",        "yearsText",
                                     "monthsText", "weeksText", "daysText", "hoursText", "minutesText", "secondsText"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const QJsonObject object = Parse(objects[i]);
    std::vector<std::string> columns;
    std::istringstream in(rows[i]);
    for (std::string column; std::getline(in, column, '\t');) columns.push_back(column);
    columns.resize(12);
    for (int column = 0; column < 12; ++column) EXPECT_EQ(Text(object, textNames[column]), columns[column]) << i;
    for (int unit = 0; unit < 7; ++unit) {
      ASSERT_TRUE(object.value(kSpanNames[unit]).isDouble()) << objects[i];
      // "1,227.83" is the figure rounded to two decimals with thousands grouped.
      std::string digits = columns[5 + unit];
      std::erase(digits, ',');
      const double figure = object.value(kSpanNames[unit]).toDouble();
      EXPECT_NEAR(figure, std::stod(digits), unit == 6 ? 0.5 : 0.005) << kSpanNames[unit] << " of " << rows[i];
    }
  }
  const QJsonObject first = Parse(objects[0]);
  EXPECT_EQ(Text(first, "moment"), "2003-06-14 16:00:00");
  EXPECT_FALSE(first.value("ahead").toBool());
  EXPECT_TRUE(Parse(objects[2]).value("ahead").toBool());  // 1 January 2027
}

struct EscapeCase {
  const char* name;
  std::string titleBytes;  ///< as the file holds them
  QString shown;           ///< what a JSON reader must give back
};
void PrintTo(const EscapeCase& row, std::ostream* out) { *out << row.name; }

class CliJsonEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(CliJsonEscape, EveryTitleReadsBackAsTheGridShowsIt) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, test::DailyEvent("Event1", GetParam().titleBytes, "9:00:00 AM"));
  for (const char* command : {"list", "due", "next"}) {
    std::vector<std::string> arguments{command,    "--json", "--config", path, "--now", "2026-12-08 07:00:00",
                                       "--locale", "en_US"};
    if (std::string(command) == "due") arguments.insert(arguments.end(), {"--day", "2026-12-08"});
    const test::CliResult result = RunCli(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 1u) << command << ": " << result.out;
    const QJsonObject object = Parse(lines[0]);
    EXPECT_EQ(object.value("title").toString(), GetParam().shown) << command;
    EXPECT_EQ(Text(object, "remind"), "2026-12-08 09:00:00") << command;
  }
}

const EscapeCase kEscapeCases[] = {
    {"QuoteAndBackslash", "Tom \"the\" \\cat\\", u"Tom \"the\" \\cat\\"_qs},
    {"Tab", "a\tb", u"a\tb"_qs},
    {"ControlCharacters",
     std::string("a\x01\x1f\x7f"
                 "b",
                 5),
     u"a\u0001\u001f\u007fb"_qs},
    {"Utf8", "Caf\xC3\xA9 \xE2\x82\xAC", u"Caf\u00e9 \u20ac"_qs},
    {"LineAndParagraphSeparators",
     "a\xE2\x80\xA8"
     "b\xE2\x80\xA9",
     u"a\u2028b\u2029"_qs},
    {"Windows1252", "Caf\xE9 \x80", u"Caf\u00e9 \u20ac"_qs},
};

INSTANTIATE_TEST_SUITE_P(Table, CliJsonEscape, ::testing::ValuesIn(kEscapeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The escaping itself, byte for byte: no raw control character, no raw U+2028, never invalid UTF-8.
TEST(CliJson, StringsEscapeEveryControlCharacter) {
  std::string all;
  for (int byte = 0; byte < 0x20; ++byte) all += static_cast<char>(byte);
  all += '\x7f';
  std::string out;
  cli::AppendJsonString(out, all);
  EXPECT_EQ(out,
            "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r\\u000e\\u000f"
            "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d"
            "\\u001e\\u001f\\u007f\"");
  std::string numbers;
  cli::AppendJsonNumber(numbers, 0.1);
  numbers += ' ';
  cli::AppendJsonNumber(numbers, std::nan(""));
  numbers += ' ';
  cli::AppendJsonNumber(numbers, 742593600);
  EXPECT_EQ(numbers, "0.1 null 742593600");
}

TEST(CliJson, DueGivesEachDayWithItsReminderMoment) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, test::DailyEvent("Event1", "Nine", "9:00:00 AM") +
                                 test::Section("Event2",
                                               "Title=Once\r\nRemindTime=8:30:00 AM\r\nRPRecurrenceType=7\r\n"
                                               "RPOnceDate=12/9/2026\r\n"));
  const test::CliResult result = RunCli({"due", "--json", "--day", "2026-12-08", "--days", "2", "--config", path,
                                         "--now", "2026-12-08 07:00:00", "--locale", "en_US"});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 3u) << result.out;
  const std::pair<std::string, std::string> expected[3] = {
      {"Event1", "2026-12-08 09:00:00"}, {"Event1", "2026-12-09 09:00:00"}, {"Event2", "2026-12-09 08:30:00"}};
  for (std::size_t i = 0; i < 3; ++i) {
    const QJsonObject object = Parse(lines[i]);
    EXPECT_EQ(Text(object, "section"), expected[i].first);
    EXPECT_EQ(Text(object, "remind"), expected[i].second);
    EXPECT_EQ(Text(object, "day"), expected[i].second.substr(0, 10));
  }
}

TEST(CliJson, NextCarriesTheSentenceOfThePlainOutput) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, test::DailyEvent("Event1", "Nine", "9:00:00 AM"));
  const std::vector<std::string> tail{"--config", path, "--now", "2026-12-08 10:00:00", "--locale", "en_US"};
  std::vector<std::string> plain{"next"}, json{"next", "--json"};
  plain.insert(plain.end(), tail.begin(), tail.end());
  json.insert(json.end(), tail.begin(), tail.end());
  const std::vector<std::string> fields = [&] {
    std::vector<std::string> parts;
    std::istringstream in(RunCli(plain).out);
    for (std::string part; std::getline(in, part, '\t');) parts.push_back(part);
    return parts;
  }();
  ASSERT_EQ(fields.size(), 4u);
  const std::vector<std::string> lines = Lines(RunCli(json).out);
  ASSERT_EQ(lines.size(), 1u);
  const QJsonObject object = Parse(lines[0]);
  EXPECT_EQ(Text(object, "section"), "Event1");
  EXPECT_EQ(Text(object, "remind"), fields[1]);  // the pending moment, passed but not yet shown
  EXPECT_EQ(Text(object, "sentence") + "\n", fields[3]);
}

TEST(CliJson, NothingPendingPrintsNothing) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, test::DailyEvent("Event1", "Nine", "9:00:00 AM", "", "1"));
  const test::CliResult result =
      RunCli({"next", "--json", "--config", path, "--now", "2026-12-08 10:00:00", "--locale", "en_US"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace almanex
