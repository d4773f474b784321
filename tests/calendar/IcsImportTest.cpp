// The import: our own export comes back unchanged, a foreign calendar maps onto the pattern kinds (or
// onto a once-only event with a note), and a malformed file imports nothing.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "calendar/IcsExport.h"
#include "calendar/IcsImport.h"
#include "calendar/IcsSupport.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/EventRecord.h"
#include "store/IniFile.h"
#include "tests/calendar/CalendarTestSupport.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::Day;

// Thursday 10 December 2026, 09:30.
const DateTime kNow = Day(2026, 12, 10) + 0.3958333333333333;

std::string Fixture(const std::string& name) { return test::ReadFileBytes(std::string(ALMANEX_FIXTURES) + "/" + name); }

/// Writes the iCalendar text into the folder; its path.
std::string WriteIcs(const test::TempDir& folder, const std::string& text) {
  const std::string path = folder.File("calendar.ics");
  test::WriteFileBytes(path, text);
  return path;
}

// Export, import into an empty file, export again: the same VEVENTs byte for byte but for DTSTAMP.
TEST(IcsRoundTripTest, OwnExportComesBackUnchanged) {
  const test::TempDir folder;
  const FormatSettings settings;
  IniFile source(folder.File("source.ini"));
  test::WriteRandomEvents(source, 2000, 77, settings);
  source.Flush();
  const std::string first = calendar::ExportCalendar(source, kNow, settings);

  // The target records other regional formats: the dates travel as dates, not as texts.
  FormatSettings german;
  german.shortDateFormat = "dd.mm.yyyy";
  german.dateSeparator = ".";
  german.longTimeFormat = "hh:nn:ss";
  IniFile target(folder.File("target.ini"));
  const calendar::ImportReport report = calendar::ImportCalendar(first, target, kNow, german, true);
  ASSERT_TRUE(report.ok()) << report.error;
  EXPECT_EQ(report.added.size(), 2000u);
  EXPECT_TRUE(report.notes.empty());
  target.Flush();

  const IniFile reread(folder.File("target.ini"));
  const std::string second = calendar::ExportCalendar(reread, kNow, german);
  const auto before = test::EventsWithoutStamp(first);
  const auto after = test::EventsWithoutStamp(second);
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t i = 0; i < before.size(); ++i) ASSERT_EQ(before[i], after[i]) << "VEVENT " << i;
  EXPECT_NE(first.find("\r\nDTSTAMP:20261210T093000Z\r\n"), std::string::npos);
  // Every import starts unreminded.
  EXPECT_FALSE(reread.ReadBool("Event1", "Reminded", true));
}

// A second import of the same calendar adds new events under the next free names; the first stay.
TEST(IcsRoundTripTest, ImportIntoAFileWithEventsTakesFreeNames) {
  const test::TempDir folder;
  const FormatSettings settings;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nTitle=Kept\r\n[Event3]\r\nTitle=Also kept\r\n[MyEvent]\r\nTitle=Named\r\n");
  const IniFile original(path);
  const std::string ics = calendar::ExportCalendar(original, kNow, settings);

  const calendar::ImportReport report =
      calendar::ImportCalendarFile(WriteIcs(folder, ics), path, false, kNow, settings);
  ASSERT_TRUE(report.ok()) << report.error;
  // Event1, Event3 and MyEvent are taken; the rule then gives Event4 (the last free of Event1..Event4),
  // Event5 and Event6.
  EXPECT_EQ(report.added, (std::vector<std::string>{"Event4\tKept", "Event5\tAlso kept", "Event6\tNamed"}));
  const IniFile after(path);
  EXPECT_EQ(after.ReadString("Event1", "Title", ""), "Kept");
  EXPECT_EQ(after.ReadString("Event6", "Title", ""), "Named");
}

// Names kept when free: an export of Event2 and MyEvent comes back under those names.
TEST(IcsRoundTripTest, FreeNamesAreKept) {
  const test::TempDir folder;
  const FormatSettings settings;
  const std::string source = folder.File("source.ini");
  test::WriteFileBytes(source, "[Event2]\r\nTitle=Two\r\n[MyEvent]\r\nTitle=Mine\r\n");
  const std::string ics = calendar::ExportCalendar(IniFile(source), kNow, settings);
  IniFile target(folder.File("target.ini"));
  const auto report = calendar::ImportCalendar(ics, target, kNow, settings, true);
  EXPECT_EQ(report.added, (std::vector<std::string>{"Event2\tTwo", "MyEvent\tMine"}));
}

struct ForeignCase {
  const char* title;
  int kind;
  std::map<std::string, std::string> keys;  // more keys of the imported section and their values
  const char* note;                         // a part of the note, "" when the rule maps exactly
};

void PrintTo(const ForeignCase& c, std::ostream* os) { *os << c.title; }

class IcsForeignTest : public ::testing::TestWithParam<ForeignCase> {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempDir;
    const FormatSettings settings;
    IniFile file(folder_->File("Config.INI"));
    report_ = new calendar::ImportReport(calendar::ImportCalendar(Fixture("foreign.ics"), file, kNow, settings, true));
    file.Flush();
  }
  static void TearDownTestSuite() {
    delete report_;
    delete folder_;
  }
  /// The imported section whose title is `title`.
  static std::string SectionOf(const IniFile& file, const std::string& title) {
    for (const std::string& section : file.SectionNames()) {
      if (file.ReadString(section, "Title", "") == title) return section;
    }
    return "";
  }
  static test::TempDir* folder_;
  static calendar::ImportReport* report_;
};

test::TempDir* IcsForeignTest::folder_ = nullptr;
calendar::ImportReport* IcsForeignTest::report_ = nullptr;

TEST_P(IcsForeignTest, MapsOntoAKind) {
  const ForeignCase& c = GetParam();
  ASSERT_TRUE(report_->ok()) << report_->error;
  EXPECT_EQ(report_->added.size(), 10u);  // the VTODO is no event
  const IniFile file(folder_->File("Config.INI"));
  const std::string section = SectionOf(file, c.title);
  ASSERT_FALSE(section.empty());
  EXPECT_EQ(file.ReadInteger(section, "RPRecurrenceType", -1), c.kind);
  for (const auto& [key, value] : c.keys) EXPECT_EQ(file.ReadString(section, key, "(none)"), value) << key;

  std::string note;
  for (const std::string& line : report_->notes) {
    if (line.find(c.title) != std::string::npos) note = line;
  }
  if (std::string(c.note).empty()) {
    EXPECT_EQ(note, "");
  } else {
    EXPECT_NE(note.find(c.note), std::string::npos) << note;
    EXPECT_EQ(note.rfind(section + " \"", 0), 0u) << note;  // the note names the event
  }
}

const ForeignCase kForeignCases[] = {
    {"Ann's birthday",
     5,
     {{"RPMonthOfYear", "2"},
      {"RPDayOfMonth", "14"},
      {"TypeDesc", "Birthday, Family"},
      {"RPStartDate", "3/14/1980"},
      {"TimeChecked", "0"}},
     ""},
    {"Labour Day", 7, {{"RPOnceDate", "5/1/2027"}, {"TypeDesc", "Public holiday"}}, ""},
    {"Mother's Day", 6, {{"RPMonthOfYear", "4"}, {"RPInstance", "1"}, {"RPDayOfWeekMask", "1"}}, ""},
    {"Team meeting with a long title that libical folds over more than one line of the file",
     1,
     {{"RPInterval", "2"},
      {"RPDayOfWeekMask", "18"},
      {"RPStartDate", "1/5/2026"},
      {"Time", "9:30:00 AM"},
      {"RemindTime", "9:15:00 AM"},
      {"TimeChecked", "1"}},
     ""},
    {"Rent", 2, {{"RPInterval", "1"}, {"RPDayOfMonth", "31"}}, ""},
    {"Book club",
     3,
     {{"RPInstance", "0"}, {"RPDayOfWeekMask", "4"}, {"RPEndType", "2"}, {"RPEndDate", "12/31/2028"}},
     ""},
    {"Pills", 0, {{"RPInterval", "3"}, {"RPEndType", "2"}, {"RPEndDate", "12/28/2026"}}, ""},
    {"Dentist", 7, {{"RPOnceDate", "1/15/2027"}}, "every 6 calendar months"},
    // Its weeks start on Sundays: the pattern counts its blocks from Sunday 4 January; Monday 5 January,
    // before DTSTART, becomes a reminder day too, which is harmless as it lies in the past.
    {"Swimming", 1, {{"RPInterval", "2"}, {"RPDayOfWeekMask", "10"}, {"RPStartDate", "1/4/2026"}}, ""},
    {"Leap day birthday", 7, {{"RPOnceDate", "2/29/2028"}}, "day 29 is skipped in shorter months"},
};

INSTANTIATE_TEST_SUITE_P(Fixture, IcsForeignTest, ::testing::ValuesIn(kForeignCases));

// Every foreign rule that maps exactly gives, through the due test, the days libical expands it to from
// today on.
TEST(IcsForeignDaysTest, MappedRulesKeepTheirDays) {
  const test::TempDir folder;
  const FormatSettings settings;
  const std::string ics = Fixture("foreign.ics");
  IniFile file(folder.File("Config.INI"));
  const calendar::ImportReport report = calendar::ImportCalendar(ics, file, kNow, settings, true);
  ASSERT_TRUE(report.ok());
  const calendar::ComponentPtr calendar(icalparser_parse_string(ics.c_str()));
  std::size_t index = 0;
  for (icalcomponent* event = icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
       event != nullptr; event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT), ++index) {
    const std::string section = report.added[index].substr(0, report.added[index].find('\t'));
    bool noted = false;
    for (const std::string& note : report.notes) noted = noted || note.rfind(section + " ", 0) == 0;
    if (noted) continue;
    const DateTime from = DateOf(kNow);
    const DateTime to = Day(2031, 12, 31);
    const std::set<DateTime> occurs = test::OccurrenceDays(event, from, to);
    const RecurrencePattern pattern = ReadRecurrencePattern(file, section, kNow, settings);
    std::set<DateTime> due;
    for (DateTime day = from; day <= to; day += 1) {
      if (IsDue(pattern, day, settings)) due.insert(day);
    }
    EXPECT_EQ(occurs, due) << section;
    EXPECT_FALSE(due.empty()) << section;
  }
}

struct MalformedCase {
  const char* name;
  std::string text;
  int line;
  const char* message;  // a part of the message
};

void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

const std::string kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:1\r\n";  // lines 1-5

const MalformedCase kMalformedCases[] = {
    {"BadDate", kHead + "DTSTART:2026x\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", 6, "DTSTART:2026x"},
    {"BadRule", kHead + "DTSTART:20260101\r\nRRULE:FREQ=SOMETIMES\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", 7, "RRULE"},
    {"NoColon", kHead + "DTSTART:20260101\r\nSUMMARY without colon\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", 7, "SUMMARY"},
    {"Unclosed", kHead + "DTSTART:20260101\r\nEND:VCALENDAR\r\n", 7, "where BEGIN:VEVENT of line"},
    {"NeverClosed", kHead + "DTSTART:20260101\r\nEND:VEVENT\r\n", 1, "BEGIN:VCALENDAR is never closed"},
    {"NoCalendar", "BEGIN:VEVENT\r\nEND:VEVENT\r\n", 1, "expected BEGIN:VCALENDAR"},
    {"Empty", "", 1, "not an iCalendar file"},
    {"Text", "Dear diary,\nnothing happened.\n", 1, "outside BEGIN:VCALENDAR"},
    {"NoStart", kHead + "SUMMARY:x\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", 4, "without a readable DTSTART"},
    {"Nul", kHead + "DTSTART:20260101\r\nSUMMARY:a" + std::string(1, '\0') + "b\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", 7,
     "NUL"},
    {"BadOwnValue",
     kHead + "DTSTART;VALUE=DATE:20260101\r\nX-ALMANEX-SECTION:Event1\r\nX-ALMANEX-RPSTARTDATE:2026-01-01\r\n"
             "END:VEVENT\r\nEND:VCALENDAR\r\n",
     4, "X-ALMANEX-RPSTARTDATE"},
};

class IcsMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

// A malformed file imports nothing: the configuration file keeps its bytes, the message names the line.
TEST_P(IcsMalformedTest, ImportsNothing) {
  const MalformedCase& c = GetParam();
  const test::TempDir folder;
  const std::string config = folder.File("Config.INI");
  const std::string before = "[Event1]\r\nTitle=Stays\r\n";
  test::WriteFileBytes(config, before);
  // A good event first: it must not be written either.
  std::string text = c.text;
  const std::string good = "BEGIN:VEVENT\r\nUID:0\r\nDTSTART;VALUE=DATE:20260101\r\nSUMMARY:good\r\nEND:VEVENT\r\n";
  const std::size_t at = text.find("BEGIN:VEVENT\r\nUID:1");
  const int shift = at == std::string::npos ? 0 : 5;
  if (at != std::string::npos) text.insert(at, good);

  const calendar::ImportReport report =
      calendar::ImportCalendarFile(WriteIcs(folder, text), config, false, kNow, FormatSettings());
  EXPECT_FALSE(report.ok());
  const int line = c.line > 1 ? c.line + shift : c.line;
  EXPECT_EQ(report.errorLine, line) << report.error;
  EXPECT_EQ(report.error.rfind("line " + std::to_string(line) + ": ", 0), 0u) << report.error;
  EXPECT_NE(report.error.find(c.message), std::string::npos) << report.error;
  EXPECT_TRUE(report.added.empty());
  EXPECT_EQ(test::ReadFileBytes(config), before);
}

INSTANTIATE_TEST_SUITE_P(Files, IcsMalformedTest, ::testing::ValuesIn(kMalformedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IcsImportFileTest, DryRunAndUnwritableFileWriteNothing) {
  const test::TempDir folder;
  const std::string config = folder.File("Config.INI");
  test::WriteFileBytes(config, "[Event1]\r\nTitle=Stays\r\n");
  const std::string ics = WriteIcs(folder, Fixture("foreign.ics"));
  const calendar::ImportReport dry = calendar::ImportCalendarFile(ics, config, true, kNow, FormatSettings());
  EXPECT_TRUE(dry.ok());
  EXPECT_EQ(dry.added.size(), 10u);
  EXPECT_EQ(dry.notes.size(), 2u);
  EXPECT_EQ(test::ReadFileBytes(config), "[Event1]\r\nTitle=Stays\r\n");

  const calendar::ImportReport missing =
      calendar::ImportCalendarFile(ics, folder.File("no/such/folder/Config.INI"), false, kNow, FormatSettings());
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.error.find("Unable to write"), std::string::npos) << missing.error;

  const calendar::ImportReport unreadable =
      calendar::ImportCalendarFile(folder.File("none.ics"), config, false, kNow, FormatSettings());
  EXPECT_EQ(unreadable.error, "cannot read " + folder.File("none.ics"));
}

}  // namespace
}  // namespace almanex
