// The event record: the keys a save writes and their order, what is left of an earlier kind, the read
// defaults of the event dialog, and a save into a missing folder or a read-only file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "store/EventRecord.h"
#include "tests/common/StoreFakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;
using test::SectionBytes;

/// The yearly wedding anniversary of the worked example.
EventRecord AnniversaryRecord() {
  EventRecord record;
  record.title = "Wedding anniversary";
  record.date = MakeDateTime(2003, 6, 14);
  record.time = MakeDateTime(1899, 12, 30, 16);
  record.type = 0;
  record.typeDesc = "Anniversary";
  record.remindMe = true;
  record.remindTime = MakeDateTime(1899, 12, 30, 9);
  record.startDate = MakeDateTime(2026, 12, 8);
  record.endDate = MakeDateTime(2026, 12, 8);
  record.endType = 0;
  record.recurrenceType = 5;
  record.monthOfYear = 5;
  record.dayOfMonth = 14;
  return record;
}

constexpr const char* kAnniversarySection =
    "[Event3]\r\n"
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
    "RemindOfMonths=1\r\n"
    "RemindOfWeeks=1\r\n"
    "RemindOfDays=1\r\n"
    "RemindOfHours=1\r\n"
    "RemindOfMinutes=1\r\n"
    "RemindOfSeconds=1\r\n"
    "LastSentence=\r\n"
    "FirstSentence=\r\n";

// Default FormatSettings are those of English (United States): m/d/yyyy and h:nn:ss ampm.
TEST(EventRecordSave, WritesTheWorkedSectionByteForByteInOneCommit) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nTitle=First\r\n");
  test::FaultyOperations operations;
  {
    IniFile file(path, &operations);
    WriteEventRecord(file, "Event3", AnniversaryRecord(), FormatSettings{});
    file.Flush();
  }
  EXPECT_EQ(operations.renames, 1);
  const std::string bytes = test::ReadFileBytes(path);
  EXPECT_EQ(SectionBytes(bytes, "[Event3]"), kAnniversarySection);
  EXPECT_EQ(SectionBytes(bytes, "[Event1]"), "[Event1]\r\nTitle=First\r\n");
}

TEST(EventRecordSave, CreatesTheFileAndReadsBackWhatItWrote) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  EventRecord written = AnniversaryRecord();
  written.dateChecked = false;
  written.foreGroundColor = 0x0000FF;
  written.backGroundColor = -16777201;
  written.remindOf = {true, false, true, false, true, false, true};
  written.firstSentence = "Hello!";
  written.lastSentence = "Bye.";
  ASSERT_EQ(SaveEventRecord(path, "Event3", written, FormatSettings{}), SaveOutcome::Saved);

  const EventRecord read = ReadEventRecord(IniFile(path), "Event3", MakeDateTime(2030, 1, 1, 12), FormatSettings{});
  EXPECT_EQ(read.title, written.title);
  EXPECT_EQ(read.date, written.date);
  EXPECT_EQ(read.time, written.time);
  EXPECT_FALSE(read.dateChecked);
  EXPECT_EQ(read.typeDesc, written.typeDesc);
  EXPECT_EQ(read.foreGroundColor, 0x0000FF);
  EXPECT_EQ(read.backGroundColor, -16777201);
  EXPECT_EQ(read.remindTime, written.remindTime);
  EXPECT_EQ(read.startDate, written.startDate);
  EXPECT_EQ(read.recurrenceType, 5);
  EXPECT_EQ(read.monthOfYear, 5);
  EXPECT_EQ(read.dayOfMonth, 14);
  EXPECT_EQ(read.remindOf, written.remindOf);
  EXPECT_EQ(read.firstSentence, "Hello!");
  EXPECT_EQ(read.lastSentence, "Bye.");
}

struct KindCase {
  const char* name;
  std::int32_t kind;
  const char* patternLines;  // what follows RPEndType, up to RemindOfYears
};

void PrintTo(const KindCase& value, std::ostream* out) { *out << value.name; }

class EventRecordKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(EventRecordKinds, WriteOnlyTheKeysOfTheirKindInOrder) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  EventRecord record = AnniversaryRecord();
  record.recurrenceType = GetParam().kind;
  record.onceDate = MakeDateTime(2027, 3, 4);
  record.interval = 2;
  record.dayOfWeekMask = 62;
  record.dayOfMonth = 14;
  record.instance = 4;
  record.monthOfYear = 11;
  ASSERT_EQ(SaveEventRecord(path, "Event3", record, FormatSettings{}), SaveOutcome::Saved);
  const std::string bytes = test::ReadFileBytes(path);
  const std::size_t begin = bytes.find("RPEndType=0\r\n") + 13;
  const std::size_t end = bytes.find("RemindOfYears=");
  EXPECT_EQ(bytes.substr(begin, end - begin), GetParam().patternLines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EventRecordKinds,
    ::testing::Values(KindCase{"Once", 7, "RPRecurrenceType=7\r\nRPOnceDate=3/4/2027\r\n"},
                      KindCase{"Daily", 0, "RPRecurrenceType=0\r\nRPInterval=2\r\nRPDayOfWeekMask=62\r\n"},
                      KindCase{"Weekly", 1, "RPRecurrenceType=1\r\nRPInterval=2\r\nRPDayOfWeekMask=62\r\n"},
                      KindCase{"MonthlyByDay", 2, "RPRecurrenceType=2\r\nRPInterval=2\r\nRPDayOfMonth=14\r\n"},
                      KindCase{"MonthlyByWeekday", 3,
                               "RPRecurrenceType=3\r\nRPInterval=2\r\nRPInstance=4\r\nRPDayOfWeekMask=62\r\n"},
                      KindCase{"YearlyByDate", 5, "RPRecurrenceType=5\r\nRPMonthOfYear=11\r\nRPDayOfMonth=14\r\n"},
                      KindCase{"YearlyByWeekday", 6,
                               "RPRecurrenceType=6\r\nRPInstance=4\r\nRPDayOfWeekMask=62\r\nRPMonthOfYear=11\r\n"},
                      KindCase{"UnknownKindKeepsItsNumberOnly", 4, "RPRecurrenceType=4\r\n"}),
    [](const auto& info) { return info.param.name; });

// A save over a section of another kind: keys it writes are replaced where they stand, keys it does not
// write stay, new keys come at the end of the section, and the next section is untouched.
TEST(EventRecordSave, RewritesInPlaceAndKeepsKeysOfAnEarlierKind) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path,
                       "[Event3]\r\nTitle=Old\r\nReminded=1\r\nRPRecurrenceType=7\r\nRPOnceDate=1/2/2020\r\n"
                       "Note=kept\r\n[Event4]\r\nTitle=Next\r\n");
  EventRecord record = AnniversaryRecord();
  record.recurrenceType = 2;
  ASSERT_EQ(SaveEventRecord(path, "Event3", record, FormatSettings{}), SaveOutcome::Saved);
  const std::string bytes = test::ReadFileBytes(path);
  EXPECT_EQ(SectionBytes(bytes, "[Event3]"),
            "[Event3]\r\nTitle=Wedding anniversary\r\nReminded=0\r\nRPRecurrenceType=2\r\nRPOnceDate=1/2/2020\r\n"
            "Note=kept\r\nDate=6/14/2003\r\nTime=4:00:00 PM\r\nDateChecked=1\r\nTimeChecked=1\r\nType=0\r\n"
            "TypeDesc=Anniversary\r\nForeGroundColor=0\r\nBackGroundColor=-16777211\r\nRemindMe=1\r\n"
            "RemindTime=9:00:00 AM\r\nRPStartDate=12/8/2026\r\nRPEndDate=12/8/2026\r\nRPEndType=0\r\n"
            "RPInterval=1\r\nRPDayOfMonth=14\r\nRemindOfYears=1\r\nRemindOfMonths=1\r\nRemindOfWeeks=1\r\n"
            "RemindOfDays=1\r\nRemindOfHours=1\r\nRemindOfMinutes=1\r\nRemindOfSeconds=1\r\nLastSentence=\r\n"
            "FirstSentence=\r\n");
  EXPECT_EQ(SectionBytes(bytes, "[Event4]"), "[Event4]\r\nTitle=Next\r\n");
}

TEST(EventRecordRead, MissingAndUnparsableKeysTakeTheDialogsDefaults) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nDate=14.06.2003\r\nRPInterval=x\r\nRemindMe=maybe\r\n");
  const DateTime now = MakeDateTime(2026, 12, 8, 11, 26, 27);
  const EventRecord record = ReadEventRecord(IniFile(path), "Event1", now, FormatSettings{});
  const DateTime today = MakeDateTime(2026, 12, 8);
  const DateTime timeNow = now - today;
  EXPECT_EQ(record.title, "");
  EXPECT_EQ(record.date, today);
  EXPECT_DOUBLE_EQ(record.time, timeNow);
  EXPECT_TRUE(record.dateChecked);
  EXPECT_TRUE(record.timeChecked);
  EXPECT_EQ(record.foreGroundColor, kColorBlack);
  EXPECT_EQ(record.backGroundColor, kColorWindow);
  EXPECT_TRUE(record.remindMe);
  EXPECT_DOUBLE_EQ(record.remindTime, timeNow);
  EXPECT_EQ(record.startDate, today);
  EXPECT_EQ(record.endDate, today);
  EXPECT_EQ(record.onceDate, today);
  EXPECT_EQ(record.endType, 0);
  EXPECT_EQ(record.recurrenceType, 0);
  for (const std::int32_t value :
       {record.interval, record.dayOfWeekMask, record.dayOfMonth, record.instance, record.monthOfYear}) {
    EXPECT_EQ(value, 1);
  }
  for (const bool unit : record.remindOf) EXPECT_TRUE(unit);
}

TEST(EventRecordSave, MissingFolderWritesNothing) {
  test::TempDir dir;
  const std::string path = dir.File("Config/Config.INI");
  EXPECT_EQ(SaveEventRecord(path, "Event1", AnniversaryRecord(), FormatSettings{}), SaveOutcome::FileNotCreated);
  EXPECT_TRUE(test::FolderEntries(dir.Path()).empty());
}

TEST(EventRecordSave, ReadOnlyFileThrowsAndStaysUnchanged) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  const std::string before = "[Event1]\r\nTitle=Kept\r\nReminded=1\r\n";
  test::WriteFileBytes(path, before);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_THROW(SaveEventRecord(path, "Event1", AnniversaryRecord(), FormatSettings{}), EIniWriteError);
  EXPECT_EQ(test::ReadFileBytes(path), before);
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
}

struct MomentCase {
  const char* name;
  bool dateChecked;
  bool timeChecked;
  DateTime expected;
};

void PrintTo(const MomentCase& value, std::ostream* out) { *out << value.name; }

class EventMoment : public ::testing::TestWithParam<MomentCase> {};

TEST_P(EventMoment, TakesTodayAndMidnightForWhatIsSwitchedOff) {
  EventRecord record;
  record.date = MakeDateTime(2024, 2, 10);
  record.time = MakeDateTime(1899, 12, 30, 6, 30);
  record.dateChecked = GetParam().dateChecked;
  record.timeChecked = GetParam().timeChecked;
  EXPECT_DOUBLE_EQ(GetEventDateTime(record, MakeDateTime(2025, 6, 1, 18, 30)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, EventMoment,
                         ::testing::Values(MomentCase{"DateAndTime", true, true, MakeDateTime(2024, 2, 10, 6, 30)},
                                           MomentCase{"DateOnly", true, false, MakeDateTime(2024, 2, 10)},
                                           MomentCase{"TimeOnly", false, true, MakeDateTime(2025, 6, 1, 6, 30)},
                                           MomentCase{"Neither", false, false, MakeDateTime(2025, 6, 1)}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace almanex
