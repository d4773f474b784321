#include "ReminderScheduler.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <exception>
#include <utility>

#include "base/Trace.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/ConfigFile.h"
#include "store/IniFile.h"

namespace almanex {
namespace {

constexpr std::int64_t kMillisecondsInDay = 86400000;

// Every comparison of the scheduler is made on whole milliseconds, the resolution of the clock and of
// the stored times: two moments that name the same millisecond are equal even when they were computed
// along different roads (a date plus a parsed time, or a clock reading) and differ in the last bits.
// For the program's dates (|value| < 3e6 days) value * 86400000 stays far below 2^53, so it is exact
// enough to round.
std::int64_t Milliseconds(DateTime value) { return std::llround(value * kMillisecondsPerDay); }

// The day number of the value's date, counted like the date part of DateTime (floor, also below 0).
std::int64_t DayNumber(DateTime value) {
  const std::int64_t milliseconds = Milliseconds(value);
  std::int64_t day = milliseconds / kMillisecondsInDay;
  if (milliseconds % kMillisecondsInDay < 0) --day;
  return day;
}

}  // namespace

DateTime EndOfDay(DateTime value) {
  return DateOf(value) + static_cast<double>(kMillisecondsInDay - 1) / kMillisecondsPerDay;
}

void FindNextReminder(const IniFile& file, DateTime now, const FormatSettings& settings, TNextReminder& next,
                      TReminderWay& way) {
  const DateTime today = DateOf(now);
  next.dtRemindTime = EndOfDay(now);
  next.dtEventDateTime = 0;
  next.strTitle.clear();
  next.strTypeDesc.clear();
  next.bFound = false;
  // strSection keeps its value: nothing reads it while bFound is false.

  // The moment to beat: the end of today, then the best taken so far. A candidate must be strictly
  // earlier, so of equal moments the section first in the file stays.
  std::int64_t bound = Milliseconds(next.dtRemindTime);
  for (const std::string& section : file.SectionNames()) {
    if (!IsEventSection(section)) continue;
    if (file.ReadBool(section, "Reminded", false)) continue;
    if (!IsReminderDue(file, section, today, now, settings)) continue;
    // Without a readable RemindTime the moment is now, so a due event shows at the next tick.
    const DateTime remind = today + TimeOf(file.ReadTime(section, "RemindTime", now, settings));
    if (Milliseconds(remind) >= bound) continue;

    next.bFound = true;
    next.dtRemindTime = remind;
    ReadReminderEvent(file, section, now, settings, next, way);
    bound = Milliseconds(remind);
    TraceLazy(kSchedulerTraceSource,
              [&] { return "SearchNextReminder: find a reminder. theNextReminder.strTitle: " + next.strTitle; });
  }
}

void ReadReminderEvent(const IniFile& file, const std::string& section, DateTime now, const FormatSettings& settings,
                       TNextReminder& next, TReminderWay& way) {
  const DateTime today = DateOf(now);
  DateTime eventDate = today;
  DateTime eventTime = 0;
  if (file.ReadBool(section, "DateChecked", true)) eventDate = file.ReadDate(section, "Date", today, settings);
  if (file.ReadBool(section, "TimeChecked", true)) eventTime = file.ReadTime(section, "Time", 0, settings);

  next.dtEventDateTime = DateOf(eventDate) + TimeOf(eventTime);
  next.strTitle = DisplayText(file.ReadString(section, "Title", ""));
  next.strTypeDesc = DisplayText(file.ReadString(section, "TypeDesc", ""));
  next.strSection = section;

  way.RemindOfYears = file.ReadBool(section, "RemindOfYears", true);
  way.RemindOfMonths = file.ReadBool(section, "RemindOfMonths", true);
  way.RemindOfWeeks = file.ReadBool(section, "RemindOfWeeks", true);
  way.RemindOfDays = file.ReadBool(section, "RemindOfDays", true);
  way.RemindOfHours = file.ReadBool(section, "RemindOfHours", true);
  way.RemindOfMinutes = file.ReadBool(section, "RemindOfMinutes", true);
  way.RemindOfSeconds = file.ReadBool(section, "RemindOfSeconds", true);
  way.LastSentence = DisplayText(file.ReadString(section, "LastSentence", ""));
  way.FirstSentence = DisplayText(file.ReadString(section, "FirstSentence", ""));
}

ReminderScheduler::ReminderScheduler(std::function<std::string()> configPath, const Clock& clock,
                                     FormatSettings settings, BalloonSink& balloons)
    : ReminderScheduler(std::move(configPath), clock, std::move(settings), balloons, theNextReminder, theReminderWay) {}

ReminderScheduler::ReminderScheduler(std::function<std::string()> configPath, const Clock& clock,
                                     FormatSettings settings, BalloonSink& balloons, TNextReminder& next,
                                     TReminderWay& way, FileOperations* operations)
    : configPath_(std::move(configPath)),
      clock_(clock),
      settings_(std::move(settings)),
      balloons_(balloons),
      next_(next),
      way_(way),
      operations_(operations) {
  // A new scheduler is a new start: nothing pending, no search made yet.
  next_ = TNextReminder{};
  way_ = TReminderWay{};
}

DateTime ReminderScheduler::Now() const {
  return static_cast<double>(Milliseconds(clock_.Now())) / kMillisecondsPerDay;
}

void ReminderScheduler::Tick() {
  const DateTime now = Now();
  // A new day (or the first tick, while dtRemindTime is still 0): yesterday's marks and yesterday's
  // pending reminder are gone.
  if (DayNumber(now) != DayNumber(next_.dtRemindTime)) {
    // The search runs even when the marks could not be written, so that the day check holds from now
    // on and a read-only file is reported once instead of at every tick.
    std::exception_ptr resetFailure;
    try {
      ResetNotificationFlag();
    } catch (const EIniWriteError&) {
      resetFailure = std::current_exception();
    }
    Search(now);
    if (resetFailure) std::rethrow_exception(resetFailure);
  }
  // Strictly later: a reminder set for 09:00:00 shows at the first tick after 09:00:00.000. When nothing
  // is pending the remind time is the end of today, which only a new day passes, and the day check above
  // has replaced it by then.
  if (next_.dtRemindTime > 0 && Milliseconds(now) > Milliseconds(next_.dtRemindTime)) {
    next_.dtRemindTime = EndOfDay(now);
    ShowReminderNotification();
    Search(now);
  }
}

void ReminderScheduler::SearchNextReminder() { Search(Now()); }

void ReminderScheduler::Search(DateTime now) {
  Trace(kSchedulerTraceSource, "SearchNextReminder: Start to search next reminders. ");
  const IniFile file(configPath_(), operations_);
  FindNextReminder(file, now, settings_, next_, way_);
}

void ReminderScheduler::ResetNotificationFlag() {
  IniFile file(configPath_(), operations_);
  for (const std::string& section : file.SectionNames()) {
    if (IsEventSection(section)) file.WriteBool(section, "Reminded", false);
  }
  // One commit for every section; with no event section (or no file) nothing is written or created.
  file.Flush();
  Trace(kSchedulerTraceSource, "ResetNotificationFlag: Reset the Notification Flag. ");
}

void ReminderScheduler::ShowReminderNotification() {
  if (!next_.bFound) return;
  const std::string text = BuildSpanSentence(next_, way_, clock_, settings_);
  balloons_.ShowBalloon(QString::fromStdString(text), QString::fromStdString(next_.strTitle), BalloonKind::Reminder);
  next_.bFound = false;

  IniFile file(configPath_(), operations_);
  // An event erased (or a file removed) by another program since the search is not brought back as a
  // section holding nothing but its mark.
  if (!file.SectionExists(next_.strSection)) return;
  file.WriteBool(next_.strSection, "Reminded", true);
  file.Flush();
}

}  // namespace almanex
