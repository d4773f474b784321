#pragma once
// The reminder search: which of today's due and not yet reminded events is reminded first, and what its
// reminder shows. It works on an open snapshot of the configuration file and on a moment given by the
// caller; it reads no clock and writes nothing. The main window's scheduler and almanex-cli both use it.

#include <cstdint>
#include <string>
#include <vector>

#include "datetime/DateTime.h"
#include "datetime/DateTimeUnit.h"
#include "datetime/FormatSettings.h"

namespace almanex {

class IniFile;

/// Source name of the search's trace lines: the search is part of the main window.
inline constexpr char kReminderTraceSource[] = "TFrmMain";

/// `value` in whole milliseconds, rounded to the nearest: the resolution of every comparison of the
/// search and the scheduler, so that two moments naming the same millisecond compare equal whichever
/// road computed them (a date plus a parsed time, or a clock reading).
std::int64_t WholeMilliseconds(DateTime value);

/// The day number of the value's date, counted like the date part of DateTime (floor, also below 0),
/// after rounding to the millisecond.
std::int64_t DayNumber(DateTime value);

/// Today's date at 23:59:59.999: the bound of a search and the remind time of an idle scheduler.
DateTime EndOfDay(DateTime value);

/// An event section a search found not reminded and due today (or whose due test must be made again,
/// see below), kept so that the search after a shown reminder need not test every section again.
struct ReminderCandidate {
  std::string section;  ///< as it stands in the file
  /// The time of day of its RemindTime; NaN when it has none readable (the moment is then now).
  DateTime remindTime = 0;
  /// Its due test rests on now itself, not only on today (a start date the section lacks stands for
  /// now): the test is made again whenever the candidates are searched.
  bool retest = false;
};

/// The search proper on an open snapshot, without its opening trace line: clears `next` (except
/// strSection), then takes, in file order, each event section that is not reminded, is due today by
/// its recurrence pattern, and whose remind moment (today plus its `RemindTime`, default now) is
/// strictly earlier than the best found so far, so that of equal moments the first in the file wins.
/// Each take sends the trace line "SearchNextReminder: find a reminder. theNextReminder.strTitle: "
/// with the title and copies the section's wording into `way`. Texts are stored for display (invalid
/// UTF-8 read as Windows-1252); strSection keeps the name as it stands in the file. Reads only.
/// With `candidates`, lists there, in file order, every section that search could take later the same
/// day in the same file, reminded marks aside.
void FindNextReminder(const IniFile& file, DateTime now, const FormatSettings& settings, TNextReminder& next,
                      TReminderWay& way, std::vector<ReminderCandidate>* candidates = nullptr);

/// FindNextReminder over the candidates an earlier search listed, on the same day, in a file changed
/// since only by reminded marks whose sections the caller has taken out of `candidates`: the same
/// takes and trace lines (except those of due tests not made again), without reading any section but
/// those taken and those tested again.
void FindNextReminderAmong(const IniFile& file, const std::vector<ReminderCandidate>& candidates, DateTime now,
                           const FormatSettings& settings, TNextReminder& next, TReminderWay& way);

/// What a reminder of `section` shows, read as the search reads it: `dtEventDateTime` is the event's
/// `Date` (default today) when `DateChecked` (default true), else today, plus its `Time` (default
/// midnight) when `TimeChecked` (default true); `strTitle` and `strTypeDesc` its `Title` and `TypeDesc`
/// as display texts; `strSection` the name as given. `way` gets the seven `RemindOf...` flags (default
/// true) and `LastSentence` and `FirstSentence` (default empty). Today is the date of `now`. bFound and
/// dtRemindTime are left alone. Reads only.
void ReadReminderEvent(const IniFile& file, const std::string& section, DateTime now, const FormatSettings& settings,
                       TNextReminder& next, TReminderWay& way);

/// One reminder day that passed while nothing showed reminders.
struct MissedReminder {
  DateTime remindMoment = 0;  ///< the day at the time of day of its RemindTime
  std::string section;        ///< as it stands in the file
  std::string title;          ///< display text
};

/// The reminders that fell due in [since, before): for every event section and every day from the date
/// of `since` to the day before `before`, in that order (days ascending, sections in file order), each
/// day that its pattern makes a reminder day and whose remind moment (the day plus the time of day of
/// `RemindTime`, midnight when it has none) is neither earlier than `since` nor at or after `before`.
/// `Reminded` marks play no part: they only speak of the last day the scheduler ran. `now` stands for a
/// missing RPStartDate, RPEndDate or RPOnceDate, as in the due test. Reads only; nothing when `since`
/// is not earlier than `before`.
std::vector<MissedReminder> FindMissedReminders(const IniFile& file, DateTime since, DateTime before, DateTime now,
                                                const FormatSettings& settings);

}  // namespace almanex
