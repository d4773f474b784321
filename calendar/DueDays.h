#pragma once
// The reminder days of a recurrence pattern, listed in order: what the iCalendar export states as a
// first day, an end and, where no rule can say it, a list of dates. Every day listed passes the due
// test of recurrence/; the candidates only keep the search short.

#include <functional>
#include <optional>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "recurrence/IniRecurrenceUnit.h"

namespace almanex::calendar {

/// Calls visit(day) for every reminder day of `pattern` in [from, to] (midnights, both inclusive), in
/// ascending order, until visit returns false. Days outside 0001-01-01 .. 9999-12-31, before the start
/// or after the end are never visited.
void ForEachDueDay(const RecurrencePattern& pattern, DateTime from, DateTime to, const FormatSettings& settings,
                   const std::function<bool(DateTime)>& visit);

/// The first reminder day on or after the start date's day, nothing when the pattern is never due.
std::optional<DateTime> FirstDueDay(const RecurrencePattern& pattern, const FormatSettings& settings);

/// The day of month (1 .. 31) that the `instance`-th day of the weekday set names in the month, as the
/// due test counts: 0 first .. 3 fourth, 4 last, 5 and above the sixth and later days of the set.
/// Nothing when the month holds no such day.
std::optional<unsigned> NthDayOfWeekSet(int year, unsigned month, int instance, int weekMask);

}  // namespace almanex::calendar
