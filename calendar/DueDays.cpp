#include "calendar/DueDays.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace almanex::calendar {
namespace {

constexpr DateTime kFirstDay = kMinDateTime;
const DateTime kLastDay = std::floor(kMaxDateTime);

bool InWeekMask(int mask, int weekday) { return ((static_cast<unsigned>(mask) >> (weekday - 1)) & 1u) != 0; }

// Calls visit on `day` when it is due and inside [from, to]; false when the walk should stop.
struct Walk {
  const RecurrencePattern& pattern;
  const FormatSettings& settings;
  DateTime from;
  DateTime to;
  const std::function<bool(DateTime)>& visit;
  bool stopped = false;

  void Offer(DateTime day) {
    if (stopped || day < from || day > to) return;
    if (IsDue(pattern, day, settings) && !visit(day)) stopped = true;
  }
};

// The candidate of a month for the monthly and yearly kinds: the one day the month part of the rule names.
std::optional<unsigned> DayOfMonthCandidate(int iDayOfMonth, int year, unsigned month) {
  if (iDayOfMonth < 1) return std::nullopt;
  return std::min(static_cast<unsigned>(iDayOfMonth), DaysInMonth(year, month));
}

std::optional<unsigned> MonthCandidate(const RecurrencePattern& pattern, int year, unsigned month) {
  switch (pattern.iRecurrenceType) {
    case kRecurMonthlyByDay:
    case kRecurYearlyByDate:
      return DayOfMonthCandidate(pattern.iDayOfMonth, year, month);
    default:
      return NthDayOfWeekSet(year, month, pattern.iInstance, pattern.iDayOfWeekMask);
  }
}

}  // namespace

std::optional<unsigned> NthDayOfWeekSet(int year, unsigned month, int instance, int weekMask) {
  if (instance < 0 || instance > 30 || (weekMask & kWeekMaskEveryDay) == 0) return std::nullopt;
  using namespace std::chrono;
  const unsigned firstWeekday = weekday{sys_days{std::chrono::year{year} / std::chrono::month{month} / 1}}.c_encoding();
  const unsigned length = DaysInMonth(year, month);
  const auto inSet = [&](unsigned day) {
    return InWeekMask(weekMask, static_cast<int>((firstWeekday + day - 1) % 7) + 1);
  };
  if (instance == 4) {
    for (unsigned day = length; day >= 1; --day) {
      if (inSet(day)) return day;
    }
    return std::nullopt;
  }
  const int wanted = instance + 1;  // 0 first .. 3 fourth, 5 the sixth
  int count = 0;
  for (unsigned day = 1; day <= length; ++day) {
    if (inSet(day) && ++count == wanted) return day;
  }
  return std::nullopt;
}

void ForEachDueDay(const RecurrencePattern& pattern, DateTime from, DateTime to, const FormatSettings& settings,
                   const std::function<bool(DateTime)>& visit) {
  if (!IsValidDateTime(pattern.dtStartDate)) return;
  const DateTime start = DateOf(pattern.dtStartDate);
  from = std::max({std::floor(from), start, kFirstDay});
  to = std::min(std::floor(to), kLastDay);
  if (pattern.iEndType == kRecurEndByDate) to = std::min(to, std::floor(pattern.dtEndDate));
  if (from > to) return;
  Walk walk{pattern, settings, from, to, visit};
  const int interval = pattern.iInterval;

  switch (pattern.iRecurrenceType) {
    case kRecurDaily: {
      if (interval <= 0) return;
      // The first multiple of the interval counted from the start, on or after `from`.
      const double steps = std::ceil((from - start) / interval);
      for (DateTime day = start + steps * interval; day <= to && !walk.stopped; day += interval) walk.Offer(day);
      return;
    }
    case kRecurWeekly: {
      if ((pattern.iDayOfWeekMask & kWeekMaskEveryDay) == 0) return;
      const double every = interval <= 0 ? 1 : interval;
      // Blocks of seven days counted from the start; only every `every`-th block holds reminder days.
      double block = std::floor((from - start) / 7);
      block = std::ceil(block / every) * every;
      for (; start + block * 7 <= to && !walk.stopped; block += every) {
        for (int offset = 0; offset < 7; ++offset) walk.Offer(start + block * 7 + offset);
      }
      return;
    }
    case kRecurMonthlyByDay:
    case kRecurMonthlyByWeekday:
    case kRecurYearlyByDate:
    case kRecurYearlyByWeekday: {
      const bool monthly =
          pattern.iRecurrenceType == kRecurMonthlyByDay || pattern.iRecurrenceType == kRecurMonthlyByWeekday;
      if (monthly && interval <= 0) return;
      if (!monthly && (pattern.iMonthOfYear < 0 || pattern.iMonthOfYear > 11)) return;
      const bool byDay = pattern.iRecurrenceType == kRecurMonthlyByDay || pattern.iRecurrenceType == kRecurYearlyByDate;
      if (byDay
              ? pattern.iDayOfMonth < 1
              : pattern.iInstance < 0 || pattern.iInstance > 30 || (pattern.iDayOfWeekMask & kWeekMaskEveryDay) == 0) {
        return;  // no month holds a candidate
      }
      using namespace std::chrono;
      const year_month_day first = DecodeDate(from);
      const year_month_day last = DecodeDate(to);
      year_month month = monthly ? first.year() / first.month()
                                 : first.year() / std::chrono::month{static_cast<unsigned>(pattern.iMonthOfYear) + 1};
      const year_month end = last.year() / last.month();
      const months step{monthly ? 1 : 12};
      if (!monthly && month < first.year() / first.month()) month += years{1};
      for (; month <= end && !walk.stopped; month += step) {
        const int y = static_cast<int>(month.year());
        const unsigned m = unsigned(month.month());
        if (const auto day = MonthCandidate(pattern, y, m)) {
          walk.Offer(EncodeDate(month / std::chrono::day{*day}));
        }
      }
      return;
    }
    case kRecurOnce:
      if (IsValidDateTime(pattern.dtOnceDate)) walk.Offer(DateOf(pattern.dtOnceDate));
      return;
    default:
      return;
  }
}

std::optional<DateTime> FirstDueDay(const RecurrencePattern& pattern, const FormatSettings& settings) {
  std::optional<DateTime> first;
  ForEachDueDay(pattern, kFirstDay, kLastDay, settings, [&first](DateTime day) {
    first = day;
    return false;
  });
  return first;
}

}  // namespace almanex::calendar
