// The reminder search on a snapshot of the file: which event it makes pending, and what the pending
// reminder shows (its moment, title and wording), with the defaults for absent and unreadable keys.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/Trace.h"
#include "recurrence/ReminderSearch.h"
#include "store/IniFile.h"
#include "tests/common/ReminderTestSupport.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TraceFakes.h"

namespace almanex {
namespace {

using test::DailyEvent;
using test::Dec;
using test::MakeDateTime;
using test::Ms;
using test::Section;

class ReminderSearch : public ::testing::Test {
 protected:
  /// Writes `config`, searches at `now` and checks that the search left the file's bytes alone.
  void SearchAt(const std::string& config, DateTime now) {
    test::WriteFileBytes(path, config);
    {
      const IniFile file(path);
      FindNextReminder(file, now, FormatSettings{}, next, way);
    }
    EXPECT_EQ(test::ReadFileBytes(path), config) << "a search never writes";
  }

  test::TempDir folder;
  std::string path = folder.File("Config.INI");
  test::RecordingTrace trace;  // installed while the test runs
  std::vector<std::string> SearchLines() const { return trace.MessagesFrom(kReminderTraceSource); }
  TNextReminder next;
  TReminderWay way;
};

// ---------------------------------------------------------------------------------------------------
// Which event the search takes.

struct RemindedCase {
  const char* name;
  const char* value;  // nullptr: no Reminded key
  bool skipped;
};

void PrintTo(const RemindedCase& testCase, std::ostream* out) { *out << testCase.name; }

class ReminderSearchReminded : public ReminderSearch, public ::testing::WithParamInterface<RemindedCase> {};

TEST_P(ReminderSearchReminded, OnlyAMarkedEventIsSkipped) {
  std::string marked = "Title=Marked\r\nRemindTime=8:00:00 AM\r\nRPStartDate=1/1/2026\r\n";
  if (GetParam().value != nullptr) marked += std::string("Reminded=") + GetParam().value + "\r\n";
  SearchAt(Section("Event1", marked) + DailyEvent("Event2", "Other", "9:00:00 AM"), Dec(8, 7));
  ASSERT_TRUE(next.bFound);
  EXPECT_EQ(next.strTitle, GetParam().skipped ? "Other" : "Marked");
}

INSTANTIATE_TEST_SUITE_P(Table, ReminderSearchReminded,
                         ::testing::Values(RemindedCase{"One", "1", true}, RemindedCase{"Zero", "0", false},
                                           RemindedCase{"Absent", nullptr, false}, RemindedCase{"Empty", "", false},
                                           RemindedCase{"NoInteger", "yes", false}, RemindedCase{"Two", "2", true},
                                           RemindedCase{"Negative", "-1", true},
                                           RemindedCase{"Hexadecimal", "$1", true},
                                           RemindedCase{"Quoted", "\"1\"", true},
                                           RemindedCase{"Blanks", "  1  ", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReminderSearch, EarliestMomentWinsAndOfEqualMomentsTheFirstInTheFile) {
  SearchAt(DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Eight", "8:00:00 AM") +
               DailyEvent("Event3", "Also eight", "8:00:00 AM") + DailyEvent("Event4", "Ten", "10:00:00 AM"),
           Dec(8, 7));
  ASSERT_TRUE(next.bFound);
  EXPECT_EQ(next.strSection, "Event2");
  EXPECT_EQ(Ms(next.dtRemindTime), Ms(Dec(8, 8)));
  // One trace line per take, in file order: Nine, then the earlier Eight; the equal one is not taken.
  EXPECT_EQ(SearchLines(),
            (std::vector<std::string>{"SearchNextReminder: find a reminder. theNextReminder.strTitle: Nine",
                                      "SearchNextReminder: find a reminder. theNextReminder.strTitle: Eight"}));
}

TEST_F(ReminderSearch, NothingDueLeavesTheEndOfTodayAndKeepsTheSection) {
  next.strSection = "Event9";
  next.strTitle = "Old";
  next.dtEventDateTime = Dec(1, 1);
  SearchAt(DailyEvent("Event1", "Marked", "9:00:00 AM", "", "1"), Dec(8, 7));
  EXPECT_FALSE(next.bFound);
  EXPECT_EQ(Ms(next.dtRemindTime), Ms(Dec(8, 23, 59, 59, 999)));
  EXPECT_EQ(next.dtEventDateTime, 0);
  EXPECT_EQ(next.strTitle, "");
  EXPECT_EQ(next.strTypeDesc, "");
  EXPECT_EQ(next.strSection, "Event9");
  EXPECT_TRUE(SearchLines().empty());
}

// ---------------------------------------------------------------------------------------------------
// What the pending reminder shows.

struct EventMomentCase {
  const char* name;
  const char* lines;
  DateTime eventDateTime;
};

void PrintTo(const EventMomentCase& testCase, std::ostream* out) { *out << testCase.name; }

class ReminderSearchEventMoment : public ReminderSearch, public ::testing::WithParamInterface<EventMomentCase> {};

TEST_P(ReminderSearchEventMoment, EventDateAndTimeFollowTheirCheckBoxes) {
  SearchAt(
      Section("Event1", std::string("Title=T\r\nRemindTime=9:00:00 AM\r\nRPStartDate=1/1/2026\r\n") + GetParam().lines),
      Dec(8, 7, 15, 30, 250));
  ASSERT_TRUE(next.bFound);
  EXPECT_EQ(Ms(next.dtEventDateTime), Ms(GetParam().eventDateTime));
  EXPECT_EQ(Ms(next.dtRemindTime), Ms(Dec(8, 9)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReminderSearchEventMoment,
    ::testing::Values(
        EventMomentCase{"DateAndTime", "Date=1/1/2027\r\nTime=6:30:00 PM\r\n", MakeDateTime(2027, 1, 1, 18, 30)},
        EventMomentCase{"DateUnchecked", "Date=1/1/2027\r\nTime=6:30:00 PM\r\nDateChecked=0\r\n", Dec(8, 18, 30)},
        EventMomentCase{"TimeUnchecked", "Date=1/1/2027\r\nTime=6:30:00 PM\r\nTimeChecked=0\r\n",
                        MakeDateTime(2027, 1, 1)},
        EventMomentCase{"BothUnchecked", "Date=1/1/2027\r\nTime=6:30:00 PM\r\nDateChecked=0\r\nTimeChecked=0\r\n",
                        Dec(8, 0)},
        EventMomentCase{"NoDateNoTime", "", Dec(8, 0)},
        EventMomentCase{"UnreadableDateAndTime", "Date=25.12.2026\r\nTime=half past six\r\n", Dec(8, 0)},
        EventMomentCase{"UnreadableCheckBoxesCountAsChecked",
                        "Date=1/1/2027\r\nTime=6:30:00 PM\r\nDateChecked=x\r\nTimeChecked=\r\n",
                        MakeDateTime(2027, 1, 1, 18, 30)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReminderSearch, CopiesTheWordingOfThePendingEvent) {
  SearchAt(DailyEvent("Event1", "Later", "10:00:00 AM",
                      "RemindOfYears=0\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfDays=0\r\n"
                      "RemindOfHours=0\r\nRemindOfMinutes=0\r\nRemindOfSeconds=0\r\nFirstSentence=Not me\r\n") +
               DailyEvent("Event2", "Sooner", "9:00:00 AM",
                          "RemindOfYears=1\r\nRemindOfMonths=0\r\nRemindOfWeeks=junk\r\nRemindOfHours=0\r\n"
                          "LastSentence=  Bye.  \r\nFirstSentence=\"Hello!\"\r\n"),
           Dec(8, 7));
  ASSERT_TRUE(next.bFound);
  EXPECT_EQ(next.strSection, "Event2");
  EXPECT_EQ(next.strTitle, "Sooner");
  EXPECT_EQ(next.strTypeDesc, "Birthday");
  EXPECT_TRUE(way.RemindOfYears);
  EXPECT_FALSE(way.RemindOfMonths);
  EXPECT_TRUE(way.RemindOfWeeks);  // unreadable: the default
  EXPECT_TRUE(way.RemindOfDays);   // absent: the default
  EXPECT_FALSE(way.RemindOfHours);
  EXPECT_TRUE(way.RemindOfMinutes);
  EXPECT_TRUE(way.RemindOfSeconds);
  EXPECT_EQ(way.LastSentence, "Bye.");
  EXPECT_EQ(way.FirstSentence, "Hello!");
}

TEST_F(ReminderSearch, TextsInAWindowsCodePageAreReadForDisplay) {
  SearchAt(Section("Event1",
                   "Title=Caf\xe9\r\nTypeDesc=F\xeate\r\nRemindTime=9:00:00 AM\r\nRPStartDate=1/1/2026\r\n"
                   "LastSentence=\xe0 bient\xf4t\r\nFirstSentence=Gr\xc3\xbc\xc3\x9f Gott\r\n"),
           Dec(8, 7));
  ASSERT_TRUE(next.bFound);
  EXPECT_EQ(next.strTitle, "Caf\xc3\xa9");
  EXPECT_EQ(next.strTypeDesc, "F\xc3\xaate");
  EXPECT_EQ(way.LastSentence, "\xc3\xa0 bient\xc3\xb4t");
  EXPECT_EQ(way.FirstSentence, "Gr\xc3\xbc\xc3\x9f Gott");  // valid UTF-8 passes unchanged
}

// ---------------------------------------------------------------------------------------------------
// The millisecond arithmetic shared with the scheduler.

TEST(ReminderSearchDays, EndOfDayAndDayNumberAgreeAroundMidnight) {
  for (const DateTime day : {MakeDateTime(2000, 2, 29), MakeDateTime(2000, 3, 1), Dec(8, 0), Dec(9, 0)}) {
    const DateTime end = EndOfDay(day + 0.5);
    EXPECT_EQ(DayNumber(end), DayNumber(day));
    EXPECT_EQ(WholeMilliseconds(end), WholeMilliseconds(day) + 86400000 - 1);
    // One millisecond after the end of the day is the next day, one before midnight is the day before.
    EXPECT_EQ(DayNumber(end + 1.0 / kMillisecondsPerDay), DayNumber(day) + 1);
    EXPECT_EQ(DayNumber(day - 1.0 / kMillisecondsPerDay), DayNumber(day) - 1);
  }
}

// ---------------------------------------------------------------------------------------------------
// The search again over the candidates of an earlier search.

// Candidates listed at one moment of the day, then searched at later moments with marks written in
// between (and their sections taken out of the candidates), take what a whole search of the file
// takes at those moments: sections without a RemindTime (the moment is now), without a start date
// (due only at midnight itself), with equal moments, marked.
TEST_F(ReminderSearch, TheCandidatesTakeWhatAWholeSearchTakesLaterTheSameDay) {
  const std::string config =
      Section("Event1", "Title=No start\r\nRemindTime=12:00:00 AM\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n") +
      Section("Event2", "Title=No remind time\r\nRPStartDate=1/1/2026\r\n") +
      Section("Event3", "Title=Nine\r\nRemindTime=9:00:00 AM\r\nRPStartDate=1/1/2026\r\n") +
      Section("Event4", "Title=Nine too\r\nRemindTime=9:00:00 AM\r\nRPStartDate=1/1/2026\r\n") +
      Section("Event5",
              "Title=Sundays\r\nRemindTime=1:00:00 AM\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=1\r\n"
              "RPInterval=1\r\nRPDayOfWeekMask=1\r\n") +
      Section("Event6", "Title=Ten\r\nRemindTime=10:00:00 AM\r\nRPStartDate=1/1/2026\r\nReminded=1\r\n");
  test::WriteFileBytes(path, config);
  std::vector<ReminderCandidate> candidates;
  {
    const IniFile file(path);
    FindNextReminder(file, Dec(8, 0), FormatSettings{}, next, way, &candidates);
  }
  EXPECT_EQ(candidates.size(), 4u);  // Event1 to Event4: Sundays does not fall today, Ten is marked
  const std::vector<std::pair<DateTime, const char*>> later = {{Dec(8, 0), nullptr},
                                                               {Dec(8, 0, 0, 1), "Event2"},
                                                               {Dec(8, 8, 59, 59), "Event3"},
                                                               {Dec(8, 9, 30), "Event4"},
                                                               {Dec(8, 23, 59, 59), nullptr}};
  for (const auto& [moment, mark] : later) {
    SCOPED_TRACE(testing::Message() << "at " << DecodeTime(moment).hour << ":" << DecodeTime(moment).minute);
    IniFile file(path);
    TNextReminder among;
    TReminderWay amongWay;
    FindNextReminderAmong(file, candidates, moment, FormatSettings{}, among, amongWay);
    TNextReminder whole;
    TReminderWay wholeWay;
    FindNextReminder(file, moment, FormatSettings{}, whole, wholeWay);
    EXPECT_EQ(among.bFound, whole.bFound);
    EXPECT_EQ(Ms(among.dtRemindTime), Ms(whole.dtRemindTime));
    EXPECT_EQ(among.strTitle, whole.strTitle);
    EXPECT_EQ(among.strSection, whole.strSection);
    if (mark != nullptr) {
      // As the scheduler does: the section marked leaves the candidates.
      file.WriteBool(mark, "Reminded", true);
      file.Flush();
      std::erase_if(candidates, [mark](const ReminderCandidate& candidate) { return candidate.section == mark; });
    }
  }
}

}  // namespace
}  // namespace almanex
