#pragma once
// The span between two date-times in seven units, with its calendar statistics, and the date-text
// helpers that put a day name into a date.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "Clock.h"
#include "DateTime.h"
#include "FormatSettings.h"

namespace almanex {

/// What CalcTimeDelta computes. Every call overwrites the fields it reaches; the unit texts come last.
struct TTimeDeltaValueRecord {
  std::string SecondsText;
  std::string MinutesText;
  std::string HoursText;
  std::string DaysText;
  std::string WeeksText;
  std::string MonthsText;
  std::string YearsText;
  std::int32_t StartDayOfWeek = 0;  // 1 Sunday .. 7 Saturday
  std::int32_t EndDayOfWeek = 0;    // raised by 7 while counting
  std::int32_t WholeWeeks = 0;
  std::int32_t SundayCount = 0;
  std::int32_t MondayCount = 0;
  std::int32_t TuesdayCount = 0;
  std::int32_t WednesdayCount = 0;
  std::int32_t ThursdayCount = 0;
  std::int32_t FridayCount = 0;
  std::int32_t SaturdayCount = 0;
  std::int32_t WeekdayCount = 0;
  std::int32_t WeekendDayCount = 0;
  std::int32_t StartMonth = 0;
  std::int32_t EndMonth = 0;
  std::int32_t YearsBetween = 0;
  std::array<std::int32_t, 12> MonthCounts{};  // January first
  std::int32_t LeapYearCount = 0;
  std::int32_t StartYear = 0;
  std::int32_t EndYear = 0;
  std::int32_t Day31Count = 0;
  std::int32_t Day30Count = 0;
  std::int32_t Day29Count = 0;
  std::int32_t Day28Count = 0;
  long double WholeDays = 0;
  std::uint16_t RestHours = 0;
  std::uint16_t RestMinutes = 0;
  std::uint16_t RestSeconds = 0;

  friend bool operator==(const TTimeDeltaValueRecord&, const TTimeDeltaValueRecord&) = default;
};

/// The program's one result record.
extern TTimeDeltaValueRecord TimeDeltaValue;

/// The whole span d (days) once in each unit: a month is 30.4375 days, a year 365.25.
struct SpanUnits {
  double seconds, minutes, hours, days, weeks, months, years;
};
SpanUnits ConvertSpan(double days);

/// Fills `out` with the span between a and b (either order), by these steps in order: the days of the
/// week of start and end; the day-of-week counts; the month counts; the leap years; the day numbers 28 to
/// 31; whole days and the rest as hours, minutes and seconds; last the seven unit texts. Every counter is
/// a 32-bit integer whose additions and subtractions are checked. Returns the failure message when the
/// calculation stopped: "Invalid argument to date encode" when the first day of the start's month or the
/// last day of the end's month lies outside 0001..9999, "Integer overflow" when a counter overflows,
/// "Invalid floating point operation" for a NaN or infinite argument. The fields reached before the
/// failure hold their new values and the unit texts keep the previous ones. Never throws. The caller
/// reports a failure (context "Fail to calculate!", advice "Please enter a smaller value to try.").
std::optional<std::string> CalcTimeDelta(DateTime a, DateTime b, const FormatSettings& settings,
                                         TTimeDeltaValueRecord& out);
/// The same into TimeDeltaValue.
std::optional<std::string> CalcTimeDelta(DateTime a, DateTime b, const FormatSettings& settings);

inline constexpr const char* kCalcFailureContext = "Fail to calculate!";
inline constexpr const char* kCalcFailureAdvice = "Please enter a smaller value to try.";

/// The long date pattern, with " dddd" appended when it names no full day.
std::string LongDateFormatWithDay(const FormatSettings& settings);
/// The long date pattern with every "dddd" made "ddd"; without any day name, " ddd" appended.
std::string ShortDayDateFormat(const FormatSettings& settings);
/// x in LongDateFormatWithDay, a blank, and x in the long time pattern.
std::string DateTimeTextWithDay(DateTime x, const FormatSettings& settings);
/// The full name of x's day of the week.
std::string FullDayName(DateTime x, const FormatSettings& settings);

/// The pending reminder.
struct TNextReminder {
  bool bFound = false;           ///< a reminder is pending and not yet shown
  DateTime dtRemindTime = 0;     ///< when it is due
  DateTime dtEventDateTime = 0;  ///< the event's date plus its time
  std::string strTitle;          ///< the event's title (the balloon's title)
  std::string strTypeDesc;       ///< the event's type text, such as "Birthday"
  std::string strSection;        ///< the event's section in the configuration file
};

/// An event's reminder wording: which units the sentence names, and the user's own sentences around it.
struct TReminderWay {
  bool RemindOfYears = false;
  bool RemindOfMonths = false;
  bool RemindOfWeeks = false;
  bool RemindOfDays = false;
  bool RemindOfHours = false;
  bool RemindOfMinutes = false;
  bool RemindOfSeconds = false;
  std::string LastSentence;
  std::string FirstSentence;
};

/// The program's pending reminder and its wording, filled by the reminder search; zeroed at start.
extern TNextReminder theNextReminder;
extern TReminderWay theReminderWay;

/// The reminder sentence for next.dtEventDateTime seen from clock.Now(): "Before <type>(<date>), there
/// just left " for an event ahead, "Since <type>(<date>), it has passed " otherwise (now equal included),
/// then the whole span in each unit that way switches on, seconds first and years last, each as
/// "<n> <unit>, " with the last ", " replaced by ". ". A first sentence (trimmed of characters <= 32) goes in
/// front with one blank after it; a last sentence (trimmed) is appended as it is. Blank-only sentences
/// are left out. Never fails.
std::string BuildSpanSentence(const TNextReminder& next, const TReminderWay& way, const Clock& clock,
                              const FormatSettings& settings);

}  // namespace almanex
