// Snoozed reminders and reminders missed while Almanex was not running, as the user meets them: which
// balloons come at which tick, with which title and text, and what survives a restart.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/ReminderFollowUp.h"
#include "app/ReminderScheduler.h"
#include "tests/common/Fakes.h"
#include "tests/common/ReminderTestSupport.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::DailyEvent;
using test::Dec;
using test::MakeDateTime;
using test::Section;

/// The settings store as a map that outlives the program's runs.
class MapMemory final : public ReminderMemory {
 public:
  std::string Read(std::string_view name) override {
    const auto found = values.find(std::string(name));
    return found == values.end() ? std::string() : found->second;
  }
  void Write(std::string_view name, std::string_view value) override {
    values[std::string(name)] = value;
    ++writes;
  }
  std::map<std::string, std::string> values;
  int writes = 0;
};

/// The wording of a reminder in minutes only, so that ten minutes show in the sentence.
const std::string kMinutesOnly =
    "RemindOfYears=0\r\nRemindOfMonths=0\r\nRemindOfWeeks=0\r\nRemindOfDays=0\r\nRemindOfHours=0\r\n"
    "RemindOfSeconds=0\r\n";

/// A once-only event on `day` of December (or another month), reminded at 9:00.
std::string OnceEvent(const std::string& section, const std::string& title, const std::string& day) {
  return Section(section, "Title=" + title + "\r\nDate=1/1/2027\r\nTypeDesc=Birthday\r\nRemindTime=9:00:00 AM\r\n" +
                              "RPStartDate=1/1/2026\r\nRPRecurrenceType=7\r\nRPOnceDate=" + day + "\r\n");
}

/// One run of the program: the scheduler with its follow-up, on a shared clock, file and memory.
struct ProgramRun {
  ProgramRun(const std::string& path, const Clock& clock, test::RecordingBalloons& balloons, MapMemory& memory,
             int& opened)
      : scheduler([path] { return path; }, clock, FormatSettings{}, balloons, next, way),
        followUp([path] { return path; }, clock, FormatSettings{}, balloons, memory, [&opened] { ++opened; }) {
    scheduler.SetFollowUp(&followUp);
  }
  TNextReminder next;
  TReminderWay way;
  ReminderScheduler scheduler;
  ReminderFollowUp followUp;
};

class FollowUp : public ::testing::Test {
 protected:
  void Start() { run_ = std::make_unique<ProgramRun>(path, clock, balloons, memory, opened); }
  void Stop() { run_.reset(); }
  void TickAt(DateTime moment) {
    clock.Set(moment);
    run_->scheduler.Tick();
  }
  /// Title and text of the balloons shown since the last call.
  std::vector<std::pair<std::string, std::string>> TakeShown() {
    std::vector<std::pair<std::string, std::string>> shown;
    for (std::size_t i = taken_; i < balloons.shown.size(); ++i) {
      shown.emplace_back(balloons.shown[i].title, balloons.shown[i].text);
    }
    taken_ = balloons.shown.size();
    return shown;
  }
  /// The actions of the last balloon.
  ReminderActions LastActions() const {
    EXPECT_EQ(balloons.actions.size(), balloons.shown.size());
    return balloons.actions.empty() ? ReminderActions{} : balloons.actions.back();
  }

  test::TempDir folder;
  std::string path = folder.File("Config.INI");
  ManualClock clock;
  test::RecordingBalloons balloons;
  MapMemory memory;
  int opened = 0;

 private:
  std::unique_ptr<ProgramRun> run_;
  std::size_t taken_ = 0;
};

// Tom is reminded at 9:00 of 1 January 2027, midnight: 23 days 15 hours = 34,020 minutes ahead.
TEST_F(FollowUp, ASnoozedReminderComesBackTenMinutesLaterWithItsSentenceBuiltThen) {
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM", kMinutesOnly));
  Start();
  TickAt(Dec(8, 8, 59, 59));
  TickAt(Dec(8, 9, 0, 1));
  ASSERT_EQ(TakeShown(), (std::vector<std::pair<std::string, std::string>>{
                             {"Tom",
                              "Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left "
                              "34,019.98 minutes. "}}));
  const ReminderActions actions = LastActions();
  ASSERT_TRUE(actions.snooze && actions.open);
  clock.Set(Dec(8, 9, 0, 5));
  actions.snooze();

  TickAt(Dec(8, 9, 10, 4, 999));
  EXPECT_TRUE(TakeShown().empty()) << "one millisecond early";
  TickAt(Dec(8, 9, 10, 5));
  EXPECT_EQ(TakeShown(), (std::vector<std::pair<std::string, std::string>>{
                             {"Tom",
                              "Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left "
                              "34,009.92 minutes. "}}));
  EXPECT_TRUE(LastActions().snooze) << "it can be snoozed again";
  TickAt(Dec(8, 9, 20, 6));
  EXPECT_TRUE(TakeShown().empty()) << "shown once";
  EXPECT_EQ(memory.values["Snoozed"], "");
}

TEST_F(FollowUp, ASnoozeSurvivesARestartAndAnErasedEventIsDropped) {
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM", kMinutesOnly) +
                                 DailyEvent("Event2", "Ann", "9:00:00 AM", kMinutesOnly));
  Start();
  TickAt(Dec(8, 9, 0, 1));
  TickAt(Dec(8, 9, 0, 2));
  ASSERT_EQ(balloons.actions.size(), 2u);
  clock.Set(Dec(8, 9, 1));
  balloons.actions[0].snooze();  // Tom, back at 9:11
  clock.Set(Dec(8, 9, 2));
  balloons.actions[1].snooze();  // Ann, back at 9:12
  Stop();
  const ReminderActions stale = balloons.actions[0];
  stale.snooze();  // an action of a run that has ended does nothing
  TakeShown();

  // Ann is erased while Almanex is not running.
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM", kMinutesOnly, "1"));
  Start();
  TickAt(Dec(8, 9, 5));
  TakeShown();  // the start shows today's passed reminders again, as every start does
  TickAt(Dec(8, 9, 5, 1));
  TakeShown();
  TickAt(Dec(8, 9, 11));
  EXPECT_EQ(TakeShown(), (std::vector<std::pair<std::string, std::string>>{
                             {"Tom",
                              "Before Birthday(Friday, January 1, 2027 12:00:00 AM), there just left "
                              "34,009.00 minutes. "}}));
  TickAt(Dec(8, 9, 12));
  EXPECT_TRUE(TakeShown().empty()) << "Ann's event is gone";
  EXPECT_EQ(memory.values["Snoozed"], "");
}

TEST_F(FollowUp, SnoozingTheSameEventAgainKeepsOneSnooze) {
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM"));
  Start();
  TickAt(Dec(8, 9, 0, 1));
  clock.Set(Dec(8, 9, 1));
  LastActions().snooze();
  clock.Set(Dec(8, 9, 3));
  LastActions().snooze();
  TakeShown();
  TickAt(Dec(8, 9, 11));
  EXPECT_TRUE(TakeShown().empty()) << "the first snooze was replaced";
  TickAt(Dec(8, 9, 13));
  EXPECT_EQ(TakeShown().size(), 1u);
  TickAt(Dec(8, 9, 30));
  EXPECT_TRUE(TakeShown().empty());
}

TEST_F(FollowUp, OpenAlmanexRunsTheWindowsAction) {
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM"));
  Start();
  TickAt(Dec(8, 9, 0, 1));
  LastActions().open();
  EXPECT_EQ(opened, 1);
}

// ---------------------------------------------------------------------------------------------------
// Missed reminders: the last run stored (or none), then ticks, and the one list each start or jump shows.

struct MissedCase {
  const char* name;
  std::string config;
  std::optional<DateTime> lastRun;  ///< stored before the start; none: the first run ever
  std::vector<DateTime> ticks;
  std::vector<std::string> lists;  ///< the texts of the "Missed while ..." balloons, in order
};
void PrintTo(const MissedCase& row, std::ostream* out) { *out << row.name; }

class Missed : public FollowUp, public ::testing::WithParamInterface<MissedCase> {};

TEST_P(Missed, ListsTheReminderDaysOfTheGapOnce) {
  const MissedCase& row = GetParam();
  test::WriteFileBytes(path, row.config);
  if (row.lastRun) memory.values["LastRun"] = std::to_string(test::Ms(*row.lastRun));
  Start();
  std::vector<std::string> lists;
  for (const DateTime tick : row.ticks) {
    TickAt(tick);
    for (const auto& [title, text] : TakeShown()) {
      if (title == kMissedRemindersTitle) lists.push_back(text);
    }
  }
  EXPECT_EQ(lists, row.lists);
  // Shown once: a restart right after the last tick finds nothing more.
  Stop();
  Start();
  TickAt(row.ticks.back() + 1.0 / 86400);
  for (const auto& shown : TakeShown()) EXPECT_NE(shown.first, kMissedRemindersTitle) << shown.second;
}

const std::string kNineAndEleven =
    DailyEvent("Event1", "Nine", "9:00:00 AM") + DailyEvent("Event2", "Eleven", "11:00:00 AM");

const MissedCase kMissedCases[] = {
    {"FirstRunEver", kNineAndEleven, std::nullopt, {Dec(8, 7)}, {}},
    {"LastRunEarlierToday", kNineAndEleven, Dec(8, 6), {Dec(8, 7)}, {}},
    {"LastRunYesterdayAfterBoth", kNineAndEleven, Dec(7, 11, 0, 1), {Dec(8, 7)}, {}},
    {"SomeDays",
     kNineAndEleven,
     Dec(5, 10),
     {Dec(8, 7)},
     {"12/5/2026: Eleven\r\n12/6/2026: Nine\r\n12/6/2026: Eleven\r\n12/7/2026: Nine\r\n12/7/2026: Eleven"}},
    {"AtMost31DaysBack",
     OnceEvent("Event1", "Too old", "11/6/2026") + OnceEvent("Event2", "First day", "11/7/2026") +
         OnceEvent("Event3", "Yesterday", "12/7/2026") + OnceEvent("Event4", "Today", "12/8/2026"),
     MakeDateTime(2026, 10, 1, 12),
     {Dec(8, 7)},
     {"11/7/2026: First day\r\n12/7/2026: Yesterday"}},
    {"ClockJumpAfterSleep",
     kNineAndEleven,
     Dec(5, 21),
     {Dec(5, 22), Dec(5, 22, 0, 1), Dec(8, 10), Dec(8, 10, 0, 1)},
     {"12/6/2026: Nine\r\n12/6/2026: Eleven\r\n12/7/2026: Nine\r\n12/7/2026: Eleven"}},
    {"TicksAFewSecondsApartAcrossMidnightAreNoJump",
     DailyEvent("Event1", "Late", "11:59:59 PM"),
     Dec(7, 23, 59, 50),
     {Dec(7, 23, 59, 55), Dec(7, 23, 59, 58), Dec(8, 0, 0, 2)},
     {}},
    {"LongTickGapAcrossMidnight",
     DailyEvent("Event1", "Late", "11:59:59 PM"),
     Dec(7, 23, 59, 50),
     {Dec(7, 23, 59, 55), Dec(8, 0, 0, 2)},
     {"12/7/2026: Late"}},
    {"ClockSetBack", kNineAndEleven, Dec(20, 12), {Dec(8, 7)}, {}},
};

INSTANTIATE_TEST_SUITE_P(Table, Missed, ::testing::ValuesIn(kMissedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FollowUp, AMissedListThatDoesNotFitEndsWithTheNumberLeftOut) {
  std::string config;
  for (int i = 1; i <= 3; ++i) {
    config += DailyEvent("Event" + std::to_string(i), "Daily event number " + std::to_string(i), "9:00:00 AM");
  }
  test::WriteFileBytes(path, config);
  memory.values["LastRun"] = std::to_string(test::Ms(MakeDateTime(2026, 9, 1, 12)));
  Start();
  TickAt(Dec(8, 7));
  const auto shown = TakeShown();
  ASSERT_FALSE(shown.empty());
  const std::string& text = shown[0].second;
  EXPECT_EQ(shown[0].first, kMissedRemindersTitle);
  EXPECT_LE(QString::fromStdString(text).size(), 255);
  // 31 days of three events: 93 reminders, of which the first lines fit.
  const std::string head = "11/7/2026: Daily event number 1\r\n11/7/2026: Daily event number 2\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), "and " + std::to_string(93 - lines) + " more");
  ASSERT_EQ(balloons.actions.size(), balloons.shown.size());
  EXPECT_FALSE(balloons.actions[0].snooze) << "a list of gone days cannot be snoozed";
  ASSERT_TRUE(balloons.actions[0].open);
}

TEST_F(FollowUp, TheSettingsStoreKeepsTheLastRunWithoutWritingEveryTick) {
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM"));
  Start();
  TickAt(Dec(8, 7));
  const int afterStart = memory.writes;
  for (int second = 1; second < 59; ++second) TickAt(Dec(8, 7, 0, second));
  EXPECT_EQ(memory.writes, afterStart);
  TickAt(Dec(8, 7, 1));
  EXPECT_EQ(memory.writes, afterStart + 1);
  EXPECT_EQ(memory.values["LastRun"], std::to_string(test::Ms(Dec(8, 7, 1))));
  TickAt(Dec(8, 7, 1, 30));
  Stop();
  EXPECT_EQ(memory.values["LastRun"], std::to_string(test::Ms(Dec(8, 7, 1, 30)))) << "the end of a run is kept";
}

// The real settings store: what one run writes, the next run reads.
TEST(FollowUpRegistry, SnoozesLiveInTheSettingsStore) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, DailyEvent("Event1", "Tom", "9:00:00 AM"));
  ManualClock clock(Dec(8, 9, 0, 1));
  test::RecordingBalloons balloons;
  RegistryReminderMemory memory;
  {
    ReminderFollowUp followUp([path] { return path; }, clock, FormatSettings{}, balloons, memory, {});
    followUp.Snooze("Event1");
  }
  ReminderFollowUp later([path] { return path; }, clock, FormatSettings{}, balloons, memory, {});
  ASSERT_EQ(later.PendingSnoozes().size(), 1u);
  EXPECT_EQ(later.PendingSnoozes()[0].section, "Event1");
  EXPECT_EQ(later.PendingSnoozes()[0].dueMilliseconds, test::Ms(Dec(8, 9, 10, 1)));
}

}  // namespace
}  // namespace almanex
