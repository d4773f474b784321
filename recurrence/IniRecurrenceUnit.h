#pragma once
// The recurrence pattern of an event and the due test: on which days an event's reminder is due.
//
// The pattern is the RP... keys of an event section. ReadRecurrencePattern() reads them once from an
// open snapshot of the configuration file; IsDue() then decides for one day without touching the file,
// so a search over many events parses the file once and reads each section once.

#include <cstdint>
#include <string_view>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {

class IniFile;

/// Values of `RPRecurrenceType`. 4 is not used; it and every value not listed are never due.
enum RecurrenceKind : int {
  kRecurDaily = 0,             ///< every `RPInterval` days from the start date
  kRecurWeekly = 1,            ///< weekdays of the mask, every `RPInterval`-th block of seven days
  kRecurMonthlyByDay = 2,      ///< day `RPDayOfMonth` (or the month's last day), every `RPInterval` months
  kRecurMonthlyByWeekday = 3,  ///< the `RPInstance`-th day of the weekday set, every `RPInterval` months
  kRecurYearlyByDate = 5,      ///< day `RPDayOfMonth` of month `RPMonthOfYear`
  kRecurYearlyByWeekday = 6,   ///< the `RPInstance`-th day of the weekday set in month `RPMonthOfYear`
  kRecurOnce = 7,              ///< on `RPOnceDate` only
};

/// `RPEndType` value that makes `RPEndDate` the last possible day; any other value means no end.
inline constexpr int kRecurEndByDate = 2;

/// Named weekday sets: bit w - 1 stands for weekday w (1 Sunday .. 7 Saturday).
inline constexpr int kWeekMaskEveryDay = 127;
inline constexpr int kWeekMaskWeekdays = 62;     // Monday to Friday
inline constexpr int kWeekMaskWeekendDays = 65;  // Saturday and Sunday

/// One event's recurrence pattern as the due test sees it. The member defaults are the due test's
/// defaults for absent or unparsable keys, except the three dates, whose default is "now".
struct RecurrencePattern {
  int iRecurrenceType = 0;   ///< `RPRecurrenceType`, a RecurrenceKind
  DateTime dtStartDate = 0;  ///< `RPStartDate`: never due before this moment
  int iEndType = 0;          ///< `RPEndType`: kRecurEndByDate or no end
  DateTime dtEndDate = 0;    ///< `RPEndDate`: last possible day when iEndType is kRecurEndByDate
  int iInterval = 1;         ///< `RPInterval`: every how many days, weeks or months (kinds 0 to 3)
  int iDayOfWeekMask = 0;    ///< `RPDayOfWeekMask`: weekday set (kinds 1, 3, 6)
  int iDayOfMonth = 0;       ///< `RPDayOfMonth`: 1 to 31 (kinds 2, 5)
  int iInstance = 0;         ///< `RPInstance`: 0 first .. 3 fourth, 4 last (kinds 3, 6)
  int iMonthOfYear = 0;      ///< `RPMonthOfYear`: 0 January .. 11 December (kinds 5, 6)
  DateTime dtOnceDate = 0;   ///< `RPOnceDate`: the one day of kind 7
};

/// Reads the pattern of `section` from the snapshot. Absent or unparsable keys take the due test's
/// defaults; `now` is the default of `RPStartDate`, `RPEndDate` and `RPOnceDate` (with its time of day,
/// so an event without a start date is not due on today's date at midnight). Dates are read in the
/// user's short date format. Only the keys that the stored kind uses are read; the rest keep their
/// defaults. Changes nothing.
RecurrencePattern ReadRecurrencePattern(const IniFile& file, std::string_view section, DateTime now,
                                        const FormatSettings& settings);

/// Whether the pattern makes `day` a reminder day. The time of day of `day` is ignored: the day is
/// tested at midnight. Both bounds are inclusive: the result is false when that midnight is earlier
/// than dtStartDate itself (time of day included) or, with an end date, later than dtEndDate. An
/// interval of 0 or less for kinds 0, 2 and 3, an empty weekday set, kind 4 and unknown kinds are
/// never due; a day outside 0001-01-01 .. 9999-12-31 is never due. `settings` gives the short date
/// format of the trace line sent by IsNthDayOfMonthByWeekMask (kinds 3 and 6).
bool IsDue(const RecurrencePattern& pattern, DateTime day, const FormatSettings& settings);

/// The due test of one event section: IsDue(ReadRecurrencePattern(file, section, now, settings), day).
bool IsReminderDue(const IniFile& file, std::string_view section, DateTime day, DateTime now,
                   const FormatSettings& settings);

/// True when `dtDate` is the `iInstance`-th day of its month whose weekday is in `iWeekMask`
/// (`iInstance` 1 to 4), or the last such day (`iInstance` 5). An instance that the month does not
/// hold (0 or less, or above the number of such days) is false. Sends one trace line from source
/// "CommUnit" with the result, the day found, the arguments and the 31 weekday marks; the line is
/// formatted only when a listener takes it. An invalid `dtDate` is false and sends nothing.
bool IsNthDayOfMonthByWeekMask(int iInstance, int iWeekMask, DateTime dtDate, const FormatSettings& settings);

/// Whole days in |b - a|, cut towards zero.
std::int64_t DaysBetween(DateTime a, DateTime b);
/// Whole blocks of seven days in |b - a|, cut towards zero.
std::int64_t WeeksBetween(DateTime a, DateTime b);
/// Whole blocks of 30.4375 days in |b - a|, cut towards zero (not calendar months).
std::int64_t MonthsBetween(DateTime a, DateTime b);

}  // namespace almanex
