// A change of locale does not change what the file means: dates and times written under one set of
// formats read back as the same date and time under another, and later writers keep the file's format.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "datetime/DateFormat.h"
#include "datetime/FormatSettings.h"
#include "store/FileFormats.h"
#include "store/IniFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

struct Locale {
  const char* name;
  const char* shortDate;
  const char* longTime;
  const char* dateSeparator;
  const char* amText;
  const char* pmText;

  FormatSettings Settings() const {
    FormatSettings settings;
    settings.shortDateFormat = shortDate;
    settings.longTimeFormat = longTime;
    settings.dateSeparator = dateSeparator;
    settings.timeAmString = amText;
    settings.timePmString = pmText;
    return settings;
  }
};

// The formats these locales give the program on Debian (see the locale bridge's own test).
const Locale kLocales[] = {
    {"en_US", "m/d/yyyy", "h:nn:ss ampm", "/", "AM", "PM"},
    {"en_GB", "dd/mm/yyyy", "hh:nn:ss", "/", "am", "pm"},
    {"de_DE", "dd.mm.yyyy", "hh:nn:ss", ".", "AM", "PM"},
    {"C", "yyyy-mm-dd", "hh:nn:ss", "-", "AM", "PM"},
};

struct LocalePair {
  Locale writer;
  Locale reader;
};

void PrintTo(const LocalePair& pair, std::ostream* out) { *out << pair.writer.name << " -> " << pair.reader.name; }

// 5 June is also a valid 6 May: a month/day reader of a day/month file would read the wrong date.
const DateTime kAmbiguousDate = test::MakeDateTime(2003, 6, 5);
const DateTime kDate = test::MakeDateTime(2026, 12, 31);
const DateTime kAfternoon = test::MakeDateTime(1899, 12, 30, 16, 7, 8);
const DateTime kMorning = test::MakeDateTime(1899, 12, 30, 9, 5, 4);
const DateTime kFallback = test::MakeDateTime(2024, 2, 29, 1, 2, 3);

void WriteEvent(const std::string& path, const char* section, const FormatSettings& settings) {
  IniFile file(path);
  file.WriteString(section, "Title", "Wedding");
  file.WriteDate(section, "Date", kAmbiguousDate, settings);
  file.WriteTime(section, "Time", kAfternoon, settings);
  file.WriteTime(section, "RemindTime", kMorning, settings);
  file.WriteDate(section, "RPStartDate", kDate, settings);
  file.Flush();
}

void ExpectEventReads(const IniFile& file, const char* section, const FormatSettings& settings) {
  EXPECT_EQ(file.ReadDate(section, "Date", kFallback, settings), kAmbiguousDate);
  EXPECT_EQ(file.ReadDate(section, "RPStartDate", kFallback, settings), kDate);
  EXPECT_NEAR(file.ReadTime(section, "Time", kFallback, settings), kAfternoon, 1e-9);
  EXPECT_NEAR(file.ReadTime(section, "RemindTime", kFallback, settings), kMorning, 1e-9);
}

class LocaleChange : public testing::TestWithParam<LocalePair> {};

TEST_P(LocaleChange, ReaderSeesWhatTheWriterWrote) {
  const FormatSettings writer = GetParam().writer.Settings();
  const FormatSettings reader = GetParam().reader.Settings();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  WriteEvent(path, "Event1", writer);
  const IniFile file(path);
  EXPECT_EQ(file.ReadString("Event1", "Date", ""), FormatShortDate(kAmbiguousDate, writer));
  ExpectEventReads(file, "Event1", reader);
}

TEST_P(LocaleChange, LaterWriterKeepsTheFileFormat) {
  const FormatSettings writer = GetParam().writer.Settings();
  const FormatSettings reader = GetParam().reader.Settings();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  WriteEvent(path, "Event1", writer);
  const std::string before = test::ReadFileBytes(path);
  WriteEvent(path, "Event2", reader);
  // The second writer only added its event: the formats section is as the first writer left it.
  const std::string after = test::ReadFileBytes(path);
  EXPECT_EQ(after.substr(0, before.size()), before);
  const IniFile file(path);
  EXPECT_EQ(file.ReadString("Event2", "Date", ""), FormatShortDate(kAmbiguousDate, writer));
  EXPECT_EQ(file.ReadString("Event2", "Time", ""), FormatLongTime(kAfternoon, writer));
  ExpectEventReads(file, "Event2", reader);
  ExpectEventReads(file, "Event2", writer);
}

// A file from before the formats were recorded reads exactly as the reader's own formats read it.
TEST_P(LocaleChange, FileWithoutFormatsReadsWithTheReaderFormats) {
  const FormatSettings writer = GetParam().writer.Settings();
  const FormatSettings reader = GetParam().reader.Settings();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  const std::string date = FormatShortDate(kAmbiguousDate, writer);
  const std::string time = FormatLongTime(kAfternoon, writer);
  test::WriteFileBytes(path, "[Event1]\r\nDate=" + date + "\r\nTime=" + time + "\r\n");
  const IniFile file(path);
  const auto expectedDate = ParseShortDate(date, reader, DecodeDate(kFallback).year());
  EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, reader), expectedDate ? std::floor(*expectedDate) : kFallback);
  EXPECT_EQ(file.ReadTime("Event1", "Time", kFallback, reader), ParseLongTime(time, reader).value_or(kFallback));
}

std::vector<LocalePair> AllPairs() {
  std::vector<LocalePair> pairs;
  for (const Locale& writer : kLocales) {
    for (const Locale& reader : kLocales) pairs.push_back({writer, reader});
  }
  return pairs;
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleChange, testing::ValuesIn(AllPairs()),
                         [](const testing::TestParamInfo<LocalePair>& info) {
                           return std::string(info.param.writer.name) + "_To_" + info.param.reader.name;
                         });

// A damaged formats section is ignored: readers use their own formats, and the next date written
// records the writer's formats in its place.
struct DamagedCase {
  const char* name;
  const char* section;  // the formats section's lines
};

void PrintTo(const DamagedCase& row, std::ostream* out) { *out << row.name; }

const std::string kHuge(100000, 'd');

const DamagedCase kDamagedCases[] = {
    {"EmptySection", ""},
    {"KeyMissing",
     "ShortDateFormat=m/d/yyyy\r\nLongTimeFormat=h:nn:ss ampm\r\nDateSeparator=/\r\nTimeSeparator=:\r\n"
     "TimeAMString=AM\r\n"},
    {"EmptyPatterns",
     "ShortDateFormat=\r\nLongTimeFormat=\r\nDateSeparator=/\r\nTimeSeparator=:\r\nTimeAMString=AM\r\n"
     "TimePMString=PM\r\n"},
    {"NoTokens",
     "ShortDateFormat=garbage\r\nLongTimeFormat=\"'\r\nDateSeparator=/\r\nTimeSeparator=:\r\nTimeAMString=AM\r\n"
     "TimePMString=PM\r\n"},
    {"MonthMissing",
     "ShortDateFormat=d/yyyy\r\nLongTimeFormat=h:nn:ss\r\nDateSeparator=/\r\nTimeSeparator=:\r\nTimeAMString=AM\r\n"
     "TimePMString=PM\r\n"},
    {"TwoDigitYear",
     "ShortDateFormat=m/d/yy\r\nLongTimeFormat=h:nn:ss\r\nDateSeparator=/\r\nTimeSeparator=:\r\nTimeAMString=AM\r\n"
     "TimePMString=PM\r\n"},
    {"SameTextForBothHalvesOfTheDay",
     "ShortDateFormat=m/d/yyyy\r\nLongTimeFormat=h:nn:ss ampm\r\nDateSeparator=/\r\nTimeSeparator=:\r\n"
     "TimeAMString=X\r\nTimePMString=X\r\n"},
    {"SeparatorIsADigit",
     "ShortDateFormat=m/d/yyyy\r\nLongTimeFormat=h:nn:ss\r\nDateSeparator=1\r\nTimeSeparator=2\r\n"
     "TimeAMString=AM\r\nTimePMString=PM\r\n"},
    {"HugeValues", nullptr},  // filled in by the test: every value 100,000 bytes
};

class DamagedFormats : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedFormats, FallBackToTheCurrentFormats) {
  const FormatSettings current = kLocales[1].Settings();  // en_GB
  std::string section = GetParam().section != nullptr ? GetParam().section : "";
  if (GetParam().section == nullptr) {
    for (const char* key :
         {"ShortDateFormat", "LongTimeFormat", "DateSeparator", "TimeSeparator", "TimeAMString", "TimePMString"}) {
      section += std::string(key) + "=" + kHuge + "\r\n";
    }
  }
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nDate=05/06/2003\r\nTime=16:07:08\r\n[Formats]\r\n" + section);
  {
    const IniFile file(path);
    EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, current), kAmbiguousDate);
    EXPECT_NEAR(file.ReadTime("Event1", "Time", kFallback, current), kAfternoon, 1e-9);
  }
  {
    IniFile file(path);
    file.WriteDate("Event2", "Date", kDate, current);
    file.Flush();
  }
  // The writer wrote in its own formats and recorded them over the damaged ones.
  const IniFile file(path);
  EXPECT_EQ(file.ReadString("Event2", "Date", ""), "31/12/2026");
  EXPECT_EQ(file.ReadString("Formats", "ShortDateFormat", ""), "dd/mm/yyyy");
  EXPECT_EQ(file.ReadString("Formats", "TimeAMString", ""), "am");
  EXPECT_TRUE(FileFormats::Read(file, current).Usable());
}

INSTANTIATE_TEST_SUITE_P(Sections, DamagedFormats, testing::ValuesIn(kDamagedCases),
                         [](const testing::TestParamInfo<DamagedCase>& info) { return std::string(info.param.name); });

// A blank separator and AM/PM texts with blanks survive the store's trimming of values.
TEST(FileFormats, BlanksInRecordedTextsSurvive) {
  FormatSettings writer;
  writer.shortDateFormat = "d/m/yyyy";
  writer.dateSeparator = " ";
  writer.longTimeFormat = "hh:nn:ss ampm";
  writer.timeAmString = "a. m.";
  writer.timePmString = "p. m.";
  ASSERT_TRUE(FormatsReadBack(writer));
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  WriteEvent(path, "Event1", writer);
  const IniFile file(path);
  const FileFormats formats = FileFormats::Read(file, FormatSettings{});
  ASSERT_TRUE(formats.Usable());
  EXPECT_EQ(formats.ForWriting(FormatSettings{}).dateSeparator, " ");
  EXPECT_EQ(formats.ForWriting(FormatSettings{}).timeAmString, "a. m.");
  EXPECT_EQ(formats.ForWriting(FormatSettings{}).timePmString, "p. m.");
  EXPECT_EQ(file.ReadString("Event1", "Date", ""), "5 6 2003");
  ExpectEventReads(file, "Event1", FormatSettings{});
}

// Within one operation the recorded formats follow the pending writes: a formats section written or
// erased by hand is seen by the next read.
TEST(FileFormats, OneOperationSeesItsOwnChangesToTheSection) {
  const FormatSettings unitedStates = kLocales[0].Settings();
  const FormatSettings german = kLocales[2].Settings();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nDate=6/5/2003\r\n");
  IniFile file(path);
  EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, german), kFallback);  // no section: German formats only
  FileFormats::Record(file, unitedStates);
  EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, german), kAmbiguousDate);
  file.EraseSection("formats");
  EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, german), kFallback);
  file.WriteDate("Event1", "RPStartDate", kDate, german);  // records the German formats
  EXPECT_EQ(file.ReadString("Event1", "RPStartDate", ""), "31.12.2026");
  EXPECT_EQ(file.ReadString("Formats", "DateSeparator", ""), ".");
  file.Flush();
  EXPECT_EQ(file.ReadDate("Event1", "RPStartDate", kFallback, unitedStates), kDate);
}

// A value the recorded formats do not read (typed by hand in the reader's own format) still reads.
TEST(FileFormats, ValueInTheReaderFormatReadsAfterTheRecordedOnes) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  WriteEvent(path, "Event1", kLocales[0].Settings());
  {
    IniFile file(path);
    file.WriteString("Event1", "Date", "05.06.2003");
    file.WriteString("Event1", "Time", "16:07:08");
  }
  const IniFile file(path);
  EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, kLocales[2].Settings()), kAmbiguousDate);
  EXPECT_NEAR(file.ReadTime("Event1", "Time", kFallback, kLocales[2].Settings()), kAfternoon, 1e-9);
  EXPECT_EQ(file.ReadDate("Event1", "Date", kFallback, kLocales[0].Settings()), kFallback);
}

}  // namespace
}  // namespace almanex
