// The reminder scheduler as the user meets it: which balloons pop up at which tick, with which title
// and text, what the file holds afterwards, and what a missing or read-only file does.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ReminderScheduler.h"
#include "base/Trace.h"
#include "store/IniFile.h"
#include "tests/common/Fakes.h"
#include "tests/common/ReminderTestSupport.h"
#include "tests/common/StoreFakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::DailyEvent;
using test::Dec;
using test::MakeDateTime;
using test::Ms;
using test::Section;

using test::RecordingBalloons;

class Scheduler : public ::testing::Test {
 protected:
  void WriteConfig(const std::string& bytes) { test::WriteFileBytes(path, bytes); }
  std::string ConfigBytes() const { return test::ReadFileBytes(path); }

  void TickAt(DateTime moment) {
    clock.Set(moment);
    scheduler.Tick();
  }
  /// The titles of the balloons shown since the last call.
  std::vector<std::string> TakeShownTitles() {
    std::vector<std::string> titles;
    for (std::size_t i = taken_; i < balloons.shown.size(); ++i) titles.push_back(balloons.shown[i].title);
    taken_ = balloons.shown.size();
    return titles;
  }

  test::TempDir folder;
  std::string path = folder.File("Config.INI");
  ManualClock clock;
  RecordingBalloons balloons;
  test::FaultyOperations operations;  // counts the commits: each renames once, and none fails
  test::RecordingTrace trace;
  int pathRequests = 0;  // one per file operation: every IniFile asks for the path once
  TNextReminder next;
  TReminderWay way;
  ReminderScheduler scheduler{[this] {
                                ++pathRequests;
                                return path;
                              },
                              clock,
                              FormatSettings{},
                              balloons,
                              next,
                              way,
                              &operations};

 private:
  std::size_t taken_ = 0;
};

// ---------------------------------------------------------------------------------------------------
// Timelines: a file, then ticks at given moments and the balloons each of them shows.

struct Step {
  DateTime at;
  std::vector<std::string> shown;
};

struct Timeline {
  const char* name;
  std::string config;
  std::vector<Step> steps;
};

void PrintTo(const Timeline& timeline, std::ostream* out) { *out << timeline.name; }

class SchedulerTimeline : public Scheduler, public ::testing::WithParamInterface<Timeline> {
 protected:
  void Run();
};

// After every tick that searched (the first of a day, and each that showed a reminder), the pending
// reminder is the one a whole search of the file at that moment finds. With a trace listener the
// scheduler searches every section each time; without one, after a shown reminder, only the candidates
// of its last search.
void SchedulerTimeline::Run() {
  WriteConfig(GetParam().config);
  std::int64_t day = -1;
  for (const Step& step : GetParam().steps) {
    TickAt(step.at);
    const std::string when =
        "tick at " + std::to_string(DecodeTime(step.at).hour) + ":" + std::to_string(DecodeTime(step.at).minute) + ":" +
        std::to_string(DecodeTime(step.at).second) + "." + std::to_string(DecodeTime(step.at).millisecond) +
        " of day " + std::to_string(static_cast<unsigned>(DecodeDate(step.at).day()));
    const std::vector<std::string> shown = TakeShownTitles();
    EXPECT_EQ(shown, step.shown) << when;
    if (!shown.empty() || DayNumber(step.at) != day) {
      TNextReminder fresh;
      TReminderWay freshWay;
      FindNextReminder(IniFile(path), step.at, FormatSettings{}, fresh, freshWay);
      EXPECT_EQ(next.bFound, fresh.bFound) << when;
      EXPECT_EQ(WholeMilliseconds(next.dtRemindTime), WholeMilliseconds(fresh.dtRemindTime)) << when;
      if (fresh.bFound) {
        EXPECT_EQ(next.strTitle, fresh.strTitle) << when;
      }
    }
    day = DayNumber(step.at);
  }
  for (const auto& balloon : balloons.shown) EXPECT_EQ(balloon.kind, BalloonKind::Reminder);
}

TEST_P(SchedulerTimeline, ShowsEachReminderAtItsTick) { Run(); }

TEST_P(SchedulerTimeline, ShowsEachReminderAtItsTickWithoutATraceListener) {
  SetTracer(nullptr);
  Run();
}

const std::string kNotDueEvents =
    // starts tomorrow
    Section("Event1", "Title=Tomorrow\r\nRemindTime=1:00:00 AM\r\nRPStartDate=12/9/2026\r\nRPRecurrenceType=0\r\n") +
    // once, yesterday
    Section("Event2",
            "Title=Yesterday\r\nRemindTime=1:00:00 AM\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=7\r\n"
            "RPOnceDate=12/7/2026\r\n") +
    // Sundays only (the 8th is a Tuesday)
    Section("Event3",
            "Title=Sundays\r\nRemindTime=1:00:00 AM\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=1\r\n"
            "RPInterval=1\r\nRPDayOfWeekMask=1\r\n") +
    // the unused kind 4
    Section("Event4", "Title=Kind four\r\nRemindTime=1:00:00 AM\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=4\r\n") +
    // ended yesterday
    Section("Event5",
            "Title=Ended\r\nRemindTime=1:00:00 AM\r\nRPStartDate=1/1/2026\r\nRPEndType=2\r\nRPEndDate=12/7/2026\r\n"
            "RPRecurrenceType=0\r\nRPInterval=1\r\n") +
    // no start date: the due test takes now, later than today's midnight
    Section("Event6", "Title=No start\r\nRemindTime=1:00:00 AM\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n") +
    // not an event section
    Section("Birthdays", "Title=Not an event\r\nRemindTime=1:00:00 AM\r\nRPStartDate=1/1/2026\r\n") +
    DailyEvent("Event7", "Due", "9:00:00 AM");

const Timeline kTimelines[] = {
    {"StrictlyLaterThanTheRemindTime",
     DailyEvent("Event1", "Breakfast", "9:00:00 AM"),
     {{Dec(8, 8), {}},
      {Dec(8, 8, 59, 59, 999), {}},
      {Dec(8, 9, 0, 0, 0), {}},
      {Dec(8, 9, 0, 1), {"Breakfast"}},
      {Dec(8, 9, 0, 2), {}},
      {Dec(8, 23, 59, 59), {}}}},
    {"OneMillisecondLateIsLateEnough",
     DailyEvent("Event1", "Breakfast", "9:00:00 AM"),
     {{Dec(8, 8, 59, 59, 999), {}}, {Dec(8, 9, 0, 0, 1), {"Breakfast"}}}},
    {"EarliestFirstWhateverTheFileOrder",
     DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Eight", "8:00:00 AM"),
     {{Dec(8, 7), {}},
      {Dec(8, 8), {}},
      {Dec(8, 8, 0, 1), {"Eight"}},
      {Dec(8, 8, 0, 2), {}},
      {Dec(8, 9), {}},
      {Dec(8, 9, 0, 1), {"Nine"}},
      {Dec(8, 9, 0, 2), {}}}},
    {"EqualTimesOnePerTickInFileOrder",
     DailyEvent("Event3", "First", "9:00:00 AM") + DailyEvent("Event1", "Second", "9:00:00 AM") +
         DailyEvent("Event2", "Third", "9:00:00 AM"),
     {{Dec(8, 8), {}},
      {Dec(8, 9, 0, 1), {"First"}},
      {Dec(8, 9, 0, 2), {"Second"}},
      {Dec(8, 9, 0, 3), {"Third"}},
      {Dec(8, 9, 0, 4), {}}}},
    {"RestartShowsWhatAnEarlierRunShowedAgainEarliestFirst",
     DailyEvent("Event1", "Nine", "9:00:00 AM", "", "1") + DailyEvent("Event2", "Eight", "8:00:00 AM", "", "1"),
     {{Dec(8, 10), {"Eight"}}, {Dec(8, 10, 0, 1), {"Nine"}}, {Dec(8, 10, 0, 2), {}}}},
    {"PatternNotDueTodayIsNeverPending",
     kNotDueEvents,
     {{Dec(8, 0, 30), {}}, {Dec(8, 1, 0, 1), {}}, {Dec(8, 9, 0, 1), {"Due"}}, {Dec(8, 23, 59, 59), {}}}},
    {"RemindMeOffStillReminds",
     DailyEvent("Event1", "Unchecked box", "9:00:00 AM", "RemindMe=0\r\n"),
     {{Dec(8, 8), {}}, {Dec(8, 9, 0, 1), {"Unchecked box"}}}},
    {"MissingOrUnreadableRemindTimeShowsAtTheNextTick",
     Section("Event1", "Title=Missing\r\nRPStartDate=1/1/2026\r\n") +
         Section("Event2", "Title=Empty\r\nRemindTime=\r\nRPStartDate=1/1/2026\r\n") +
         Section("Event3", "Title=Garbled\r\nRemindTime=soon\r\nRPStartDate=1/1/2026\r\n"),
     {{Dec(8, 10), {}},
      {Dec(8, 10, 0, 1), {"Missing"}},
      {Dec(8, 10, 0, 2), {"Empty"}},
      {Dec(8, 10, 0, 3), {"Garbled"}},
      {Dec(8, 10, 0, 4), {}}}},
    {"SleepOverTwoRemindersShowsThemOnWakingOnePerTick",
     DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Eleven", "11:00:00 AM") +
         DailyEvent("Event3", "Three", "3:00:00 PM"),
     {{Dec(8, 8), {}},
      {Dec(8, 12), {"Nine"}},
      {Dec(8, 12, 0, 1), {"Eleven"}},
      {Dec(8, 12, 0, 2), {}},
      {Dec(8, 15), {}},
      {Dec(8, 15, 0, 1), {"Three"}}}},
    {"ClockSetBackShowsNothingTwice",
     DailyEvent("Event1", "Nine", "9:00:00 AM"),
     {{Dec(8, 8), {}}, {Dec(8, 9, 0, 1), {"Nine"}}, {Dec(8, 8, 30), {}}, {Dec(8, 9, 0, 1), {}}}},
    {"ClockSetBackByADayClearsTheMarksAndRemindsAgain",
     DailyEvent("Event1", "Morning", "9:00:00 AM"),
     {{Dec(9, 8), {}},
      {Dec(9, 9, 0, 1), {"Morning"}},
      // the clock is set back to the day before: another date, so the marks are cleared and the search
      // runs again, and the 09:00 reminder, passed on that day too, shows at once
      {Dec(8, 9, 30), {"Morning"}},
      {Dec(8, 9, 30, 1), {}},
      {Dec(8, 23, 59, 59), {}}}},
    {"WakingOnANewDayDropsYesterdaysPendingReminder",
     DailyEvent("Event1", "Eight", "8:00:00 AM") +
         Section("Event2",
                 "Title=Once\r\nRemindTime=11:00:00 PM\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=7\r\n"
                 "RPOnceDate=12/8/2026\r\n"),
     {{Dec(8, 7), {}},
      {Dec(8, 8, 0, 1), {"Eight"}},
      {Dec(8, 22), {}},
      // asleep from 22:00 to 09:30 the next day: the marks are cleared, the once-only event is gone,
      // and today's 08:00 reminder, already passed, shows at the first tick
      {Dec(9, 9, 30), {"Eight"}},
      {Dec(9, 9, 30, 1), {}},
      {Dec(9, 23, 0, 1), {}}}},
    {"MidnightClearsTheMarks",
     DailyEvent("Event1", "Late", "11:59:00 PM") +
         Section("Event2",
                 "Title=Once\r\nRemindTime=11:59:30 PM\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=7\r\n"
                 "RPOnceDate=12/8/2026\r\n"),
     {{Dec(8, 23), {}},
      {Dec(8, 23, 59, 1), {"Late"}},
      {Dec(8, 23, 59, 29), {}},
      {Dec(9, 0, 0, 0, 0), {}},
      {Dec(9, 0, 0, 1), {}},
      {Dec(9, 23, 58, 59), {}},
      {Dec(9, 23, 59, 1), {"Late"}},
      {Dec(9, 23, 59, 31), {}}}},
};

INSTANTIATE_TEST_SUITE_P(Table, SchedulerTimeline, ::testing::ValuesIn(kTimelines),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------------
// The day change and the marks in the file.

TEST_F(Scheduler, MidnightWritesEveryMarkBackToZeroOnce) {
  WriteConfig(DailyEvent("Event1", "Late", "11:00:00 PM") + DailyEvent("Event2", "Early", "1:00:00 AM"));
  TickAt(Dec(8, 0, 30));
  TickAt(Dec(8, 1, 0, 1));
  TickAt(Dec(8, 23, 0, 1));
  EXPECT_EQ(TakeShownTitles(), (std::vector<std::string>{"Early", "Late"}));
  ASSERT_EQ(ConfigBytes(), DailyEvent("Event1", "Late", "11:00:00 PM", "", "1") +
                               DailyEvent("Event2", "Early", "1:00:00 AM", "", "1"));
  const int replacesBefore = operations.renames;
  const int writesBefore = operations.writes;
  const int syncsBefore = operations.fsyncs;
  trace.lines.clear();
  TickAt(Dec(9, 0, 0, 0));
  // Each mark is one byte written in place, then one sync for both: no replace.
  EXPECT_EQ(operations.renames, replacesBefore);
  EXPECT_EQ(operations.writes, writesBefore + 2);
  EXPECT_EQ(operations.fsyncs, syncsBefore + 1);
  EXPECT_EQ(ConfigBytes(), DailyEvent("Event1", "Late", "11:00:00 PM") + DailyEvent("Event2", "Early", "1:00:00 AM"));
  EXPECT_EQ(trace.MessagesFrom(kReminderTraceSource),
            (std::vector<std::string>{"ResetNotificationFlag: Reset the Notification Flag. ",
                                      "SearchNextReminder: Start to search next reminders. ",
                                      "SearchNextReminder: find a reminder. theNextReminder.strTitle: Late",
                                      "SearchNextReminder: find a reminder. theNextReminder.strTitle: Early"}));
  EXPECT_TRUE(next.bFound);
  EXPECT_EQ(next.strSection, "Event2");
  EXPECT_EQ(Ms(next.dtRemindTime), Ms(Dec(9, 1)));
}

TEST_F(Scheduler, ResetIsOneCommitThatTouchesOnlyEventSections) {
  const std::string config =
      "; Almanex events\r\n"
      "[Event1]\r\nTitle=Marked\r\nReminded=1\r\n"
      "[MyEvent]\r\nTitle=No mark yet\r\n\r\n"
      "[event7]\r\nReminded=1\r\n"
      "[GridSettings]\r\nColWidth0=40\r\n"
      "[Event2]\r\nreminded = 1\r\nTitle=Last\r\n";
  WriteConfig(config);
  scheduler.ResetNotificationFlag();
  EXPECT_EQ(operations.renames, 1);
  EXPECT_EQ(pathRequests, 2);  // a mapped look at the marks finds some set, then one commit for all
  // event7 is not an event section (letter case counts); a new key goes after the section's last entry.
  EXPECT_EQ(ConfigBytes(),
            "; Almanex events\r\n"
            "[Event1]\r\nTitle=Marked\r\nReminded=0\r\n"
            "[MyEvent]\r\nTitle=No mark yet\r\nReminded=0\r\n\r\n"
            "[event7]\r\nReminded=1\r\n"
            "[GridSettings]\r\nColWidth0=40\r\n"
            "[Event2]\r\nReminded=0\r\nTitle=Last\r\n");
  EXPECT_EQ(trace.MessagesFrom(kReminderTraceSource),
            std::vector<std::string>{"ResetNotificationFlag: Reset the Notification Flag. "});
}

TEST_F(Scheduler, ResetWithEveryMarkAlreadyClearedLeavesTheFileAsItWas) {
  const std::string config = DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Ten", "10:00:00 AM");
  WriteConfig(config);
  // A modification time long past: any commit would replace it by the present one.
  const struct timespec past[2] = {{978307200, 0}, {978307200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), past, 0), 0);
  TickAt(Dec(8, 8));  // the first tick: the reset of every mark, then the search
  EXPECT_EQ(operations.renames, 0);
  EXPECT_EQ(operations.writes, 0);
  EXPECT_EQ(operations.fsyncs, 0);
  EXPECT_EQ(ConfigBytes(), config);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, past[1].tv_sec);
  EXPECT_EQ(next.strSection, "Event1");
  EXPECT_EQ(trace.MessagesFrom(kReminderTraceSource).front(), "ResetNotificationFlag: Reset the Notification Flag. ");
}

TEST_F(Scheduler, ShowingWritesTheMarkIntoTheShownSectionOnly) {
  const std::string before =
      "[Event1]\r\nTitle=Nine\r\nRemindTime=9:00:00 AM\r\nReminded=0\r\nRPStartDate=1/1/2026\r\n"
      "; keep me\r\n"
      "[Event2]\r\nTitle=Ten\r\nRemindTime=10:00:00 AM\r\nRPStartDate=1/1/2026\r\n";
  WriteConfig(before);
  TickAt(Dec(8, 8));
  EXPECT_EQ(ConfigBytes(),
            "[Event1]\r\nTitle=Nine\r\nRemindTime=9:00:00 AM\r\nReminded=0\r\nRPStartDate=1/1/2026\r\n"
            "; keep me\r\n"
            "[Event2]\r\nTitle=Ten\r\nRemindTime=10:00:00 AM\r\nRPStartDate=1/1/2026\r\nReminded=0\r\n");
  const int replacesBefore = operations.renames;
  const int writesBefore = operations.writes;
  TickAt(Dec(8, 9, 0, 1));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
  // The mark is one byte written into the file in place: no replace.
  EXPECT_EQ(operations.renames, replacesBefore);
  EXPECT_EQ(operations.writes, writesBefore + 1);
  EXPECT_EQ(ConfigBytes(),
            "[Event1]\r\nTitle=Nine\r\nRemindTime=9:00:00 AM\r\nReminded=1\r\nRPStartDate=1/1/2026\r\n"
            "; keep me\r\n"
            "[Event2]\r\nTitle=Ten\r\nRemindTime=10:00:00 AM\r\nRPStartDate=1/1/2026\r\nReminded=0\r\n");
  EXPECT_EQ(next.strSection, "Event2");
}

// The search after a shown reminder looks only at the candidates of the last search when the file is
// as that search and the marks since left it; an event another program added meanwhile is still found.
TEST_F(Scheduler, AnEventAddedByAnotherProgramIsFoundByTheSearchAfterAReminder) {
  SetTracer(nullptr);  // without a listener, the candidates are used whenever they hold
  WriteConfig(DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Ten", "10:00:00 AM"));
  TickAt(Dec(8, 8));
  {
    IniFile file(path);
    file.WriteString("Event3", "Title", "Half past nine");
    file.WriteString("Event3", "RemindTime", "9:30:00 AM");
    file.WriteString("Event3", "RPStartDate", "1/1/2026");
    file.Flush();
  }
  TickAt(Dec(8, 9, 0, 1));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
  EXPECT_EQ(next.strSection, "Event3");
  TickAt(Dec(8, 9, 30, 1));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Half past nine"});
  EXPECT_EQ(next.strSection, "Event2");
}

TEST_F(Scheduler, QuietTicksOpenNoFileAndWriteNothing) {
  WriteConfig(DailyEvent("Event1", "Nine", "9:00:00 AM"));
  TickAt(Dec(8, 8));
  EXPECT_EQ(pathRequests, 2);  // the reset and the search of the first tick
  const int commits = operations.renames;
  // An hour of ticks before the moment: no file is opened.
  for (unsigned second = 1; second < 3600; ++second) TickAt(Dec(8, 8, second / 60, second % 60));
  EXPECT_EQ(pathRequests, 2);
  EXPECT_EQ(operations.renames, commits);
  // The due tick: the mark, then the search, on one read of the file.
  TickAt(Dec(8, 9, 0, 1));
  EXPECT_EQ(pathRequests, 3);
  // Idle for the rest of the day.
  for (unsigned minute = 1; minute < 15 * 60; ++minute) TickAt(Dec(8, 9 + minute / 60, minute % 60, 1));
  EXPECT_EQ(pathRequests, 3);
  EXPECT_FALSE(next.bFound);
}

TEST_F(Scheduler, SavingAnEventAgainShowsItAgainAfterTheSearch) {
  WriteConfig(DailyEvent("Event1", "Nine", "9:00:00 AM"));
  TickAt(Dec(8, 8));
  TickAt(Dec(8, 9, 0, 1));
  ASSERT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
  TickAt(Dec(8, 10));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{});
  {
    // What the event dialog's save does to the mark.
    IniFile file(path);
    file.WriteBool("Event1", "Reminded", false);
    file.Flush();
  }
  scheduler.SearchNextReminder();
  EXPECT_TRUE(next.bFound);
  TickAt(Dec(8, 10, 0, 1));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
}

// ---------------------------------------------------------------------------------------------------
// What the scheduler keeps between ticks. The search's own choices (marks, moments, wording) are
// tested with the search in tests/recurrence/ReminderSearchTest.cpp.

TEST_F(Scheduler, NothingDueLeavesTheSchedulerIdleUntilTheEndOfTheDay) {
  WriteConfig(DailyEvent("Event1", "Nine", "9:00:00 AM"));
  TickAt(Dec(8, 8));
  TickAt(Dec(8, 9, 0, 1));
  // Idle: the end of today is the remind time; the section of the last pending reminder stays.
  EXPECT_FALSE(next.bFound);
  EXPECT_EQ(Ms(next.dtRemindTime), Ms(Dec(8, 23, 59, 59, 999)));
  EXPECT_EQ(next.dtEventDateTime, 0);
  EXPECT_EQ(next.strTitle, "");
  EXPECT_EQ(next.strTypeDesc, "");
  EXPECT_EQ(next.strSection, "Event1");
}

TEST_F(Scheduler, TitlesInAWindowsCodePageAreShownReadable) {
  WriteConfig(DailyEvent("Event1", "Caf\xe9", "9:00:00 AM"));
  TickAt(Dec(8, 9, 0, 1));
  ASSERT_EQ(balloons.shown.size(), 1u);
  EXPECT_EQ(balloons.shown[0].title, "Caf\xc3\xa9");
}

TEST_F(Scheduler, ProgramWideRecordsByDefault) {
  WriteConfig(DailyEvent("Event1", "Nine", "9:00:00 AM", "LastSentence=Bye.\r\n"));
  clock.Set(Dec(8, 7));
  ReminderScheduler programWide([this] { return path; }, clock, FormatSettings{}, balloons);
  programWide.SearchNextReminder();
  EXPECT_TRUE(theNextReminder.bFound);
  EXPECT_EQ(theNextReminder.strSection, "Event1");
  EXPECT_EQ(theReminderWay.LastSentence, "Bye.");
  EXPECT_EQ(&programWide.NextReminder(), &theNextReminder);
  theNextReminder = {};
  theReminderWay = {};
}

// ---------------------------------------------------------------------------------------------------
// The balloon.

TEST_F(Scheduler, BalloonTitleIsTheEventTitleAndTextTheSentenceAtTheMomentOfShowing) {
  WriteConfig(
      "[Event1]\r\nTitle=Anna's birthday\r\nDate=1/1/2027\r\nTime=12:00:00 AM\r\nTypeDesc=Birthday\r\n"
      "RemindTime=11:59:59 AM\r\nRPStartDate=1/1/2026\r\n"
      "[Event2]\r\nTitle=Framed\r\nDate=1/1/2027\r\nTime=12:00:00 AM\r\nTypeDesc=Birthday\r\n"
      "RemindTime=11:59:59 AM\r\nRPStartDate=1/1/2026\r\nRemindOfYears=1\r\nRemindOfMonths=0\r\n"
      "RemindOfWeeks=0\r\nRemindOfDays=1\r\nRemindOfHours=0\r\nRemindOfMinutes=0\r\nRemindOfSeconds=0\r\n"
      "LastSentence= Bye. \r\nFirstSentence=  Hello!  \r\n");
  TickAt(MakeDateTime(2026, 12, 25, 8));
  // Shown at noon: the span is counted from noon, not from the search or the remind time.
  TickAt(MakeDateTime(2026, 12, 25, 12));
  TickAt(MakeDateTime(2026, 12, 25, 12, 0, 1));
  ASSERT_EQ(balloons.shown.size(), 2u);
  EXPECT_EQ(balloons.shown[0].title, "Anna's birthday");
  EXPECT_EQ(balloons.shown[0].text,
            "Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left 561,600 seconds, 9,360.00 minutes, "
            "156.00 hours, 6.50 days, 0.93 weeks, 0.21 months, 0.02 years. ");
  EXPECT_EQ(balloons.shown[0].kind, BalloonKind::Reminder);
  EXPECT_EQ(balloons.shown[1].title, "Framed");
  EXPECT_EQ(balloons.shown[1].text,
            "Hello! Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left 6.50 days, 0.02 years. Bye.");
}

TEST_F(Scheduler, PastEventsSaySince) {
  WriteConfig(DailyEvent("Event1", "Wedding", "9:00:00 AM",
                         "RemindOfYears=0\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfDays=1\r\n"
                         "RemindOfHours=0\r\nRemindOfMinutes=0\r\nRemindOfSeconds=0\r\nDateChecked=0\r\n"));
  TickAt(Dec(8, 12));
  ASSERT_EQ(balloons.shown.size(), 1u);
  EXPECT_EQ(balloons.shown[0].text, "Since Birthday(Tuesday, December 8, 2026 12:00:00 AM), it has passed 0.50 days. ");
}

// ---------------------------------------------------------------------------------------------------
// Missing and read-only files.

TEST_F(Scheduler, MissingFileMeansNothingPendingAndNothingCreated) {
  for (const std::string& missing : {folder.File("Config.INI"), folder.File("Config/Config.INI")}) {
    path = missing;
    next = {};
    for (DateTime moment : {Dec(8, 0), Dec(8, 9, 0, 1), Dec(8, 23, 59, 59), Dec(9, 0)}) {
      EXPECT_NO_THROW(TickAt(moment));
    }
    scheduler.ShowReminderNotification();
    EXPECT_FALSE(next.bFound);
    EXPECT_FALSE(test::FileExists(missing));
  }
  EXPECT_TRUE(balloons.shown.empty());
  EXPECT_EQ(operations.renames, 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST_F(Scheduler, EventRemovedBeforeItsBalloonIsNotWrittenBack) {
  WriteConfig(DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Ten", "10:00:00 AM"));
  TickAt(Dec(8, 8));
  // Another program erases the pending event.
  const std::string remaining = DailyEvent("Event2", "Ten", "10:00:00 AM");
  WriteConfig(remaining);
  TickAt(Dec(8, 9, 0, 1));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
  EXPECT_EQ(ConfigBytes(), remaining);
  EXPECT_EQ(next.strSection, "Event2");
  // And the whole file.
  std::filesystem::remove(path);
  TickAt(Dec(8, 10, 0, 1));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Ten"});
  EXPECT_FALSE(test::FileExists(path));
  EXPECT_FALSE(next.bFound);
}

TEST_F(Scheduler, ReadOnlyFileFailsTheMarkAfterTheBalloonAndTheSchedulerGoesOn) {
  const std::string config = DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Ten", "10:00:00 AM");
  WriteConfig(config);
  TickAt(Dec(8, 8));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

  try {
    TickAt(Dec(8, 9, 0, 1));
    ADD_FAILURE() << "no write failure";
  } catch (const EIniWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
  }
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
  EXPECT_FALSE(next.bFound);
  EXPECT_EQ(ConfigBytes(), config);

  // Nothing more pops up before the next search, and the ticks go on without failing.
  for (DateTime moment : {Dec(8, 9, 0, 2), Dec(8, 9, 0, 3), Dec(8, 10, 0, 1)}) EXPECT_NO_THROW(TickAt(moment));
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{});

  // The event stayed unmarked, so the next search finds it again.
  scheduler.SearchNextReminder();
  EXPECT_TRUE(next.bFound);
  EXPECT_EQ(next.strSection, "Event1");
}

TEST_F(Scheduler, ReadOnlyFileAtStartIsReportedOnceAndRemindersStillShow) {
  const std::string config = DailyEvent("Event1", "Eight", "8:00:00 AM", "", "1") +
                             DailyEvent("Event2", "Nine", "9:00:00 AM") + DailyEvent("Event3", "Ten", "10:00:00 AM");
  WriteConfig(config);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  int failures = 0;
  auto tick = [&](DateTime moment) {
    try {
      TickAt(moment);
    } catch (const EIniWriteError&) {
      ++failures;
    }
  };
  tick(Dec(8, 7));
  EXPECT_EQ(failures, 1);  // the reset
  EXPECT_TRUE(next.bFound);
  EXPECT_EQ(next.strSection, "Event2");  // Event1 keeps its old mark
  for (unsigned second = 1; second < 60; ++second) tick(Dec(8, 7, 0, second));
  EXPECT_EQ(failures, 1);
  tick(Dec(8, 9, 0, 1));
  EXPECT_EQ(failures, 2);  // the mark of Event2
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{"Nine"});
  // Nothing is pending after the failed mark until the next search.
  tick(Dec(8, 10, 0, 1));
  EXPECT_EQ(failures, 2);
  EXPECT_EQ(TakeShownTitles(), std::vector<std::string>{});
  EXPECT_EQ(ConfigBytes(), config);
}

}  // namespace
}  // namespace almanex
