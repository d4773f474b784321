#pragma once
// The date-time value of the program and its civil-calendar conversions.

#include <chrono>
#include <cstdint>
#include <optional>

namespace almanex {

/// Days since 1899-12-30 00:00 in local wall time; the fraction is the time of day.
/// The value is linear: floor(value) is the date, value - floor(value) the time of day, also before 1899.
using DateTime = double;

inline constexpr DateTime kMinDateTime = -693593.0;                            // 0001-01-01 00:00:00.000
inline constexpr DateTime kMaxDateTime = 2958465.0 + 86399999.0 / 86400000.0;  // 9999-12-31 23:59:59.999
inline constexpr double kMillisecondsPerDay = 86400000.0;

/// The clock time of day of a date-time, split into its fields.
struct TimeOfDay {
  unsigned hour = 0;         // [0, 23]
  unsigned minute = 0;       // [0, 59]
  unsigned second = 0;       // [0, 59]
  unsigned millisecond = 0;  // [0, 999]
};

/// A date-time split into its civil date and clock time, rounded to the nearest millisecond.
struct CivilDateTime {
  std::chrono::year_month_day date;
  TimeOfDay time;
};

/// True when the value lies between 0001-01-01 and 9999-12-31 23:59:59.999.
bool IsValidDateTime(DateTime value);

/// The date at midnight; the date must be valid (ok()).
DateTime EncodeDate(std::chrono::year_month_day date);
/// The date at midnight, or nothing when the fields form no date between 0001 and 9999.
std::optional<DateTime> TryEncodeDate(int year, unsigned month, unsigned day);
/// A time of day as a fraction of a day; nothing when a field is out of range.
std::optional<DateTime> TryEncodeTime(unsigned hour, unsigned minute, unsigned second, unsigned millisecond);
/// A time of day as a fraction of a day, unchecked: fields beyond their range simply add up.
DateTime EncodeTime(unsigned hour, unsigned minute, unsigned second, unsigned millisecond = 0);

/// The civil date of the value's date part (floor). Values far outside the program's range are clamped to
/// years -30000..30000 (and NaN taken as 1899-12-30), so the conversion never overflows.
std::chrono::year_month_day DecodeDate(DateTime value);
/// The time of day of the value, rounded to the nearest millisecond (a rounding up to 24:00 gives 23:59:59.999).
TimeOfDay DecodeTime(DateTime value);
/// Date and time rounded together to the nearest millisecond, so 23:59:59.9996 becomes the next day 00:00.
CivilDateTime DecodeDateTime(DateTime value);

/// The date part (midnight of the value's day).
DateTime DateOf(DateTime value);
/// The time-of-day part, in [0, 1).
DateTime TimeOf(DateTime value);

/// 1 Sunday, 2 Monday, ... 7 Saturday, from the date part.
int DayOfWeek(DateTime value);

bool IsLeapYear(int year);
/// Number of days of the month, 28 to 31; 0 for a month outside 1..12.
unsigned DaysInMonth(int year, unsigned month);

}  // namespace almanex
