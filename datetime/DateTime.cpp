#include "DateTime.h"

#include <cmath>

#include "base/DecimalText.h"

namespace almanex {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr sys_days kEpoch{std::chrono::year{1899} / std::chrono::December / 30};
constexpr long long kMillisecondsPerDayInteger = 86400000LL;

// The calendar types of <chrono> are defined for years -32767..32767 only. Dates far beyond the
// program's range are clamped to this window first, so that no conversion overflows.
constexpr long long kFirstReachableDay =
    (sys_days{std::chrono::year{-30000} / std::chrono::January / 1} - kEpoch).count();
constexpr long long kLastReachableDay =
    (sys_days{std::chrono::year{30000} / std::chrono::December / 31} - kEpoch).count();

// floor(value) as a day count inside the reachable window; NaN counts as day 0.
long long ReachableDayNumber(double value) {
  if (std::isnan(value)) return 0;
  const double day = std::floor(value);
  if (day < static_cast<double>(kFirstReachableDay)) return kFirstReachableDay;
  if (day > static_cast<double>(kLastReachableDay)) return kLastReachableDay;
  return static_cast<long long>(day);
}

year_month_day CivilFromDayNumber(long long dayNumber) { return year_month_day{kEpoch + days{dayNumber}}; }

TimeOfDay TimeOfDayFromMilliseconds(long long millisecond) {  // millisecond in [0, 86399999]
  TimeOfDay time;
  time.millisecond = static_cast<unsigned>(millisecond % 1000);
  const long long second = millisecond / 1000;
  time.second = static_cast<unsigned>(second % 60);
  time.minute = static_cast<unsigned>(second / 60 % 60);
  time.hour = static_cast<unsigned>(second / 3600);
  return time;
}

}  // namespace

bool IsValidDateTime(DateTime value) { return value >= kMinDateTime && value <= kMaxDateTime; }

DateTime EncodeDate(std::chrono::year_month_day date) {
  return static_cast<DateTime>((sys_days{date} - kEpoch).count());
}

std::optional<DateTime> TryEncodeDate(int year, unsigned month, unsigned day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  if (day > DaysInMonth(year, month)) return std::nullopt;
  return EncodeDate(std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day});
}

std::optional<DateTime> TryEncodeTime(unsigned hour, unsigned minute, unsigned second, unsigned millisecond) {
  if (hour > 23 || minute > 59 || second > 59 || millisecond > 999) return std::nullopt;
  return EncodeTime(hour, minute, second, millisecond);
}

DateTime EncodeTime(unsigned hour, unsigned minute, unsigned second, unsigned millisecond) {
  // Summed in whole milliseconds first, so that a time written and read back compares equal.
  const double total = ((static_cast<double>(hour) * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
  return total / kMillisecondsPerDay;
}

std::chrono::year_month_day DecodeDate(DateTime value) { return CivilFromDayNumber(ReachableDayNumber(value)); }

TimeOfDay DecodeTime(DateTime value) {
  if (!std::isfinite(value)) return {};
  const double fraction = value - std::floor(value);  // [0, 1)
  long long millisecond = RoundToInteger(fraction * kMillisecondsPerDay);
  if (millisecond >= kMillisecondsPerDayInteger) millisecond = kMillisecondsPerDayInteger - 1;
  return TimeOfDayFromMilliseconds(millisecond);
}

CivilDateTime DecodeDateTime(DateTime value) {
  const long long dayNumber = ReachableDayNumber(value);
  if (!std::isfinite(value) || static_cast<double>(dayNumber) != std::floor(value)) {
    return {CivilFromDayNumber(dayNumber), {}};
  }
  long long millisecond = RoundToInteger((value - std::floor(value)) * kMillisecondsPerDay);  // [0, 86400000]
  long long carry = 0;
  if (millisecond >= kMillisecondsPerDayInteger) {
    millisecond -= kMillisecondsPerDayInteger;
    carry = 1;
  }
  return {CivilFromDayNumber(dayNumber + carry), TimeOfDayFromMilliseconds(millisecond)};
}

DateTime DateOf(DateTime value) { return std::floor(value); }

DateTime TimeOf(DateTime value) { return value - std::floor(value); }

int DayOfWeek(DateTime value) {
  const std::chrono::weekday weekday{kEpoch + days{ReachableDayNumber(value)}};
  return static_cast<int>(weekday.c_encoding()) + 1;  // c_encoding: 0 Sunday .. 6 Saturday
}

bool IsLeapYear(int year) { return std::chrono::year{year}.is_leap(); }

unsigned DaysInMonth(int year, unsigned month) {
  if (month < 1 || month > 12) return 0;
  const std::chrono::year_month_day_last last{std::chrono::year{year} / std::chrono::month{month} / std::chrono::last};
  return static_cast<unsigned>(last.day());
}

}  // namespace almanex
