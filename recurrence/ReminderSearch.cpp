#include "recurrence/ReminderSearch.h"

#include <cmath>

#include "base/DecimalText.h"
#include "base/Trace.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/ConfigFile.h"
#include "store/EventKeys.h"
#include "store/IniFile.h"

namespace almanex {
namespace {

constexpr std::int64_t kMillisecondsInDay = 86400000;

}  // namespace

// For the program's dates (|value| < 3e6 days) value * 86400000 stays far below 2^53, so it is exact
// enough to round.
std::int64_t WholeMilliseconds(DateTime value) { return RoundToInteger(value * kMillisecondsPerDay); }

std::int64_t DayNumber(DateTime value) {
  const std::int64_t milliseconds = WholeMilliseconds(value);
  std::int64_t day = milliseconds / kMillisecondsInDay;
  if (milliseconds % kMillisecondsInDay < 0) --day;
  return day;
}

DateTime EndOfDay(DateTime value) {
  return DateOf(value) + static_cast<double>(kMillisecondsInDay - 1) / kMillisecondsPerDay;
}

namespace {

/// Clears `next` for a search at now; the moment to beat is then the end of today.
void StartSearch(DateTime now, TNextReminder& next) {
  next.dtRemindTime = EndOfDay(now);
  next.dtEventDateTime = 0;
  next.strTitle.clear();
  next.strTypeDesc.clear();
  next.bFound = false;
  // strSection keeps its value: nothing reads it while bFound is false.
}

/// Takes `section`, due today, when its remind moment is strictly earlier than the best taken so far
/// (next.dtRemindTime), so that of equal moments the section first in the file stays.
void Consider(const IniFile& file, std::string_view section, DateTime remindTime, DateTime now,
              const FormatSettings& settings, TNextReminder& next, TReminderWay& way) {
  // Without a readable RemindTime the moment is now, so a due event shows at the next tick.
  const DateTime remind = DateOf(now) + (std::isnan(remindTime) ? TimeOf(now) : remindTime);
  if (WholeMilliseconds(remind) >= WholeMilliseconds(next.dtRemindTime)) return;
  next.bFound = true;
  next.dtRemindTime = remind;
  ReadReminderEvent(file, std::string(section), now, settings, next, way);
  TraceLazy(kReminderTraceSource,
            [&] { return "SearchNextReminder: find a reminder. theNextReminder.strTitle: " + next.strTitle; });
}

/// The time of day of the section's RemindTime; NaN when it has none readable.
DateTime RemindTimeOf(const IniFile& file, std::string_view section, const FormatSettings& settings) {
  const DateTime read = file.ReadTime(section, event_keys::kRemindTime, std::nan(""), settings);
  return std::isnan(read) ? read : TimeOf(read);
}

}  // namespace

void FindNextReminder(const IniFile& file, DateTime now, const FormatSettings& settings, TNextReminder& next,
                      TReminderWay& way, std::vector<ReminderCandidate>* candidates) {
  const DateTime today = DateOf(now);
  StartSearch(now, next);
  if (candidates != nullptr) candidates->clear();
  // The names are visited in place, not copied: a file of many events costs no list of their names.
  file.ForEachSectionName([&](std::string_view section) {
    if (!IsEventSection(section)) return;
    if (file.ReadBool(section, event_keys::kReminded, false)) return;
    const RecurrencePattern pattern = ReadRecurrencePattern(file, section, now, settings);
    const bool due = IsDue(pattern, today, settings);
    // A start date the section lacks stands for now, time of day and all, and a day before its start
    // is not due: the test may answer otherwise later today. (An end or once date standing for now is
    // compared by its date alone, the same all day.)
    const bool retest = pattern.dtStartDate == now;
    if (!due && !retest) return;
    const DateTime remindTime = due || candidates != nullptr ? RemindTimeOf(file, section, settings) : 0;
    if (candidates != nullptr) candidates->push_back({std::string(section), remindTime, retest});
    if (due) Consider(file, section, remindTime, now, settings, next, way);
  });
}

void FindNextReminderAmong(const IniFile& file, const std::vector<ReminderCandidate>& candidates, DateTime now,
                           const FormatSettings& settings, TNextReminder& next, TReminderWay& way) {
  const DateTime today = DateOf(now);
  StartSearch(now, next);
  for (const ReminderCandidate& candidate : candidates) {
    if (candidate.retest && !IsReminderDue(file, candidate.section, today, now, settings)) continue;
    Consider(file, candidate.section, candidate.remindTime, now, settings, next, way);
  }
}

void ReadReminderEvent(const IniFile& file, const std::string& section, DateTime now, const FormatSettings& settings,
                       TNextReminder& next, TReminderWay& way) {
  namespace keys = event_keys;
  const DateTime today = DateOf(now);
  DateTime eventDate = today;
  DateTime eventTime = 0;
  if (file.ReadBool(section, keys::kDateChecked, true))
    eventDate = file.ReadDate(section, keys::kDate, today, settings);
  if (file.ReadBool(section, keys::kTimeChecked, true)) eventTime = file.ReadTime(section, keys::kTime, 0, settings);

  next.dtEventDateTime = DateOf(eventDate) + TimeOf(eventTime);
  next.strTitle = DisplayText(file.ReadString(section, keys::kTitle, ""));
  next.strTypeDesc = DisplayText(file.ReadString(section, keys::kTypeDesc, ""));
  next.strSection = section;

  way.RemindOfYears = file.ReadBool(section, keys::kRemindOfYears, true);
  way.RemindOfMonths = file.ReadBool(section, keys::kRemindOfMonths, true);
  way.RemindOfWeeks = file.ReadBool(section, keys::kRemindOfWeeks, true);
  way.RemindOfDays = file.ReadBool(section, keys::kRemindOfDays, true);
  way.RemindOfHours = file.ReadBool(section, keys::kRemindOfHours, true);
  way.RemindOfMinutes = file.ReadBool(section, keys::kRemindOfMinutes, true);
  way.RemindOfSeconds = file.ReadBool(section, keys::kRemindOfSeconds, true);
  way.LastSentence = DisplayText(file.ReadString(section, keys::kLastSentence, ""));
  way.FirstSentence = DisplayText(file.ReadString(section, keys::kFirstSentence, ""));
}

std::vector<MissedReminder> FindMissedReminders(const IniFile& file, DateTime since, DateTime before, DateTime now,
                                                const FormatSettings& settings) {
  std::vector<MissedReminder> missed;
  const std::int64_t first = WholeMilliseconds(since);
  const std::int64_t end = WholeMilliseconds(before);
  if (first >= end) return missed;

  // Each section's pattern and remind time are read once; the days are tested on them.
  struct Candidate {
    std::string section;
    RecurrencePattern pattern;
    DateTime remindTime;
  };
  std::vector<Candidate> candidates;
  for (const std::string& section : file.SectionNames()) {
    if (!IsEventSection(section)) continue;
    candidates.push_back({section, ReadRecurrencePattern(file, section, now, settings),
                          TimeOf(file.ReadTime(section, event_keys::kRemindTime, 0, settings))});
  }
  for (std::int64_t day = DayNumber(since); day <= DayNumber(before); ++day) {
    const DateTime midnight = static_cast<DateTime>(day);
    for (const Candidate& candidate : candidates) {
      const std::int64_t moment = WholeMilliseconds(midnight + candidate.remindTime);
      if (moment < first || moment >= end) continue;
      if (!IsDue(candidate.pattern, midnight, settings)) continue;
      missed.push_back({midnight + candidate.remindTime, candidate.section,
                        DisplayText(file.ReadString(candidate.section, event_keys::kTitle, ""))});
    }
  }
  return missed;
}

}  // namespace almanex
