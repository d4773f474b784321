#include "recurrence/IniRecurrenceUnit.h"

#include <array>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <string>

#include "base/Trace.h"
#include "datetime/DateFormat.h"
#include "store/EventKeys.h"
#include "store/IniFile.h"

namespace almanex {

namespace {

// Days in the interval units of the span functions.
constexpr double kDaysPerWeek = 7.0;
constexpr double kDaysPerMonth = 30.4375;  // 365.25 / 12, exact in binary

// |b - a| / unit cut towards zero. A NaN span counts as 0; a span too large for the result saturates.
std::int64_t WholeSpan(DateTime a, DateTime b, double unit) {
  const double quotient = std::fabs(b - a) / unit;  // >= 0 or NaN
  if (!(quotient < 9.2e18)) {
    return std::isnan(quotient) ? 0 : INT64_MAX;
  }
  return static_cast<std::int64_t>(quotient);  // truncation: quotient >= 0
}

// Weekday w (1 Sunday .. 7 Saturday) is in the set when bit w - 1 is set; bits above 6 mean nothing.
bool IsInWeekMask(int iWeekMask, int weekday) {
  return ((static_cast<unsigned>(iWeekMask) >> (weekday - 1)) & 1u) != 0;
}

// Either the day itself, or the month's last day when the month is shorter than iDayOfMonth.
bool IsOnDayOfMonth(int iDayOfMonth, unsigned dayOfMonth, unsigned daysInMonth) {
  return iDayOfMonth == static_cast<int>(dayOfMonth) ||
         (iDayOfMonth >= static_cast<int>(daysInMonth) && dayOfMonth == daysInMonth);
}

void AppendNumber(std::string& text, long long value) {
  std::array<char, 24> digits;
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  text.append(digits.data(), result.ptr);
}

void AppendField(std::string& text, std::string_view name, std::string_view value) {
  text.append(name).append(": ").append(value).append(" \r\n");
}

// The monitor's dump of one IsNthDayOfMonthByWeekMask call: six "name: value \r\n" fields, the last
// one being the 31 marks as "j: mark\r\n" lines.
std::string BuildWeekMaskTrace(bool result, int iDay, int iInstance, int iWeekMask, DateTime dtDate,
                               const std::array<int, 32>& arriWeekMask, const FormatSettings& settings) {
  std::string number;
  std::string text;
  text.reserve(512);
  text.append("IsNthDayOfMonthByWeekMask: ");
  AppendField(text, "Result", result ? "True" : "False");
  AppendNumber(number, iDay);
  AppendField(text, "iDay", number);
  number.clear();
  AppendNumber(number, iInstance);
  AppendField(text, "iInstance", number);
  number.clear();
  AppendNumber(number, iWeekMask);
  AppendField(text, "iWeekMask", number);
  AppendField(text, "dtDate", FormatShortDate(dtDate, settings));
  std::string marks;
  marks.reserve(31 * 7);
  for (int j = 1; j <= 31; ++j) {
    AppendNumber(marks, j);
    marks.append(": ");
    AppendNumber(marks, arriWeekMask[j]);
    marks.append("\r\n");
  }
  AppendField(text, "arriWeekMask", marks);
  return text;
}

// The keys a kind reads besides the start and end of the pattern, as bits of a set.
enum PatternKeyBit : unsigned {
  kReadsInterval = 1u << 0,
  kReadsDayOfWeekMask = 1u << 1,
  kReadsDayOfMonth = 1u << 2,
  kReadsInstance = 1u << 3,
  kReadsMonthOfYear = 1u << 4,
  kReadsOnceDate = 1u << 5,
};

// Indexed by RecurrenceKind; kind 4 and kinds outside the table are never due and read nothing more.
constexpr std::array<unsigned, 8> kKeysOfKind{
    /* kRecurDaily */ kReadsInterval,
    /* kRecurWeekly */ kReadsInterval | kReadsDayOfWeekMask,
    /* kRecurMonthlyByDay */ kReadsInterval | kReadsDayOfMonth,
    /* kRecurMonthlyByWeekday */ kReadsInterval | kReadsInstance | kReadsDayOfWeekMask,
    /* 4, unused */ 0,
    /* kRecurYearlyByDate */ kReadsMonthOfYear | kReadsDayOfMonth,
    /* kRecurYearlyByWeekday */ kReadsInstance | kReadsDayOfWeekMask | kReadsMonthOfYear,
    /* kRecurOnce */ kReadsOnceDate,
};
static_assert(kKeysOfKind.size() == kRecurOnce + 1);

unsigned KeysReadBy(int kind) {
  return kind >= 0 && kind < static_cast<int>(kKeysOfKind.size()) ? kKeysOfKind[static_cast<std::size_t>(kind)] : 0;
}

// The integer keys of the kinds. An absent or unparsable key keeps the member's default, which is the
// due test's default.
struct IntegerKey {
  unsigned bit;
  std::string_view name;
  int RecurrencePattern::*member;
};

constexpr IntegerKey kIntegerKeys[] = {
    {kReadsInterval, event_keys::kInterval, &RecurrencePattern::iInterval},
    {kReadsDayOfWeekMask, event_keys::kDayOfWeekMask, &RecurrencePattern::iDayOfWeekMask},
    {kReadsDayOfMonth, event_keys::kDayOfMonth, &RecurrencePattern::iDayOfMonth},
    {kReadsInstance, event_keys::kInstance, &RecurrencePattern::iInstance},
    {kReadsMonthOfYear, event_keys::kMonthOfYear, &RecurrencePattern::iMonthOfYear},
};

}  // namespace

std::int64_t DaysBetween(DateTime a, DateTime b) { return WholeSpan(a, b, 1.0); }

std::int64_t WeeksBetween(DateTime a, DateTime b) { return WholeSpan(a, b, kDaysPerWeek); }

std::int64_t MonthsBetween(DateTime a, DateTime b) { return WholeSpan(a, b, kDaysPerMonth); }

bool IsNthDayOfMonthByWeekMask(int iInstance, int iWeekMask, DateTime dtDate, const FormatSettings& settings) {
  if (!IsValidDateTime(dtDate)) {
    return false;
  }
  using namespace std::chrono;
  const year_month_day date = DecodeDate(dtDate);
  const sys_days first{date.year() / date.month() / day{1}};
  const unsigned firstWeekday = weekday{first}.c_encoding();  // [0, 6], 0 Sunday

  // arriWeekMask[j] is 1 when day j counted from the first of the month falls on a weekday of the set.
  // Days 29 to 31 are marked by weekday even when the month is shorter (they are never searched).
  std::array<int, 32> arriWeekMask{};  // index 0 unused
  for (int j = 1; j <= 31; ++j) {
    const int weekdayNumber = static_cast<int>((firstWeekday + static_cast<unsigned>(j - 1)) % 7) + 1;  // [1, 7]
    arriWeekMask[j] = IsInWeekMask(iWeekMask, weekdayNumber) ? 1 : 0;
  }

  const int daysInMonth = static_cast<int>(DaysInMonth(static_cast<int>(date.year()), unsigned(date.month())));
  int iDay = 0;
  // Whether the search found the asked-for day; iDay alone does not tell, since a search that runs out
  // leaves it on the last day it looked at.
  bool bFound = false;
  if (iInstance == 5) {
    for (int j = daysInMonth; j >= 1; --j) {
      iDay = j;
      if (arriWeekMask[j] != 0) {
        bFound = true;
        break;
      }
    }
  } else {
    int count = 0;  // marked days in [1, j]
    for (int j = 1; j <= daysInMonth; ++j) {
      count += arriWeekMask[j];
      iDay = j;
      if (count >= iInstance) {
        // An instance of 0 or less names no day of the set, although the count has "reached" it.
        bFound = iInstance >= 1;
        break;
      }
    }
  }
  const bool result = bFound && iDay > 0 && arriWeekMask[iDay] != 0 && iDay == static_cast<int>(unsigned(date.day()));

  TraceLazy("CommUnit",
            [&] { return BuildWeekMaskTrace(result, iDay, iInstance, iWeekMask, dtDate, arriWeekMask, settings); });
  return result;
}

RecurrencePattern ReadRecurrencePattern(const IniFile& file, std::string_view section, DateTime now,
                                        const FormatSettings& settings) {
  namespace keys = event_keys;
  RecurrencePattern pattern;
  pattern.iRecurrenceType = file.ReadInteger(section, keys::kRecurrenceType, 0);
  pattern.dtStartDate = file.ReadDate(section, keys::kStartDate, now, settings);
  pattern.iEndType = file.ReadInteger(section, keys::kEndType, 0);
  pattern.dtEndDate = now;
  pattern.dtOnceDate = now;
  if (pattern.iEndType == kRecurEndByDate) {
    pattern.dtEndDate = file.ReadDate(section, keys::kEndDate, now, settings);
  }
  // Only the keys of the stored kind: keys left over from an earlier kind are ignored.
  const unsigned read = KeysReadBy(pattern.iRecurrenceType);
  for (const IntegerKey& key : kIntegerKeys) {
    if ((read & key.bit) != 0) pattern.*key.member = file.ReadInteger(section, key.name, pattern.*key.member);
  }
  if ((read & kReadsOnceDate) != 0) pattern.dtOnceDate = file.ReadDate(section, keys::kOnceDate, now, settings);
  return pattern;
}

bool IsDue(const RecurrencePattern& pattern, DateTime day, const FormatSettings& settings) {
  if (!IsValidDateTime(day) || !IsValidDateTime(pattern.dtStartDate)) {
    return false;
  }
  const DateTime x = DateOf(day);
  // The start keeps its time of day here: a start of "now" (no start date stored) excludes today.
  if (x < pattern.dtStartDate) {
    return false;
  }
  if (pattern.iEndType == kRecurEndByDate && x > pattern.dtEndDate) {
    return false;
  }
  const DateTime s = DateOf(pattern.dtStartDate);  // x >= s from here on
  const int i = pattern.iInterval;

  const std::chrono::year_month_day date = DecodeDate(x);
  const unsigned dayOfMonth = unsigned(date.day());  // [1, 31]
  const unsigned month = unsigned(date.month());     // [1, 12]
  const unsigned daysInMonth = DaysInMonth(static_cast<int>(date.year()), month);
  // n + 1 without overflow; INT_MAX is out of reach either way.
  const int iNthInstance = pattern.iInstance == INT_MAX ? INT_MAX : pattern.iInstance + 1;

  switch (pattern.iRecurrenceType) {
    case kRecurDaily:
      return i > 0 && DaysBetween(x, s) % i == 0;
    case kRecurWeekly:
      if (!IsInWeekMask(pattern.iDayOfWeekMask, DayOfWeek(x))) {
        return false;
      }
      return i <= 0 || WeeksBetween(x, s) % i == 0;  // 0 or less: every week
    case kRecurMonthlyByDay:
      return i > 0 && IsOnDayOfMonth(pattern.iDayOfMonth, dayOfMonth, daysInMonth) && MonthsBetween(x, s) % i == 0;
    case kRecurMonthlyByWeekday:
      return i > 0 && MonthsBetween(x, s) % i == 0 &&
             IsNthDayOfMonthByWeekMask(iNthInstance, pattern.iDayOfWeekMask, x, settings);
    case kRecurYearlyByDate:
      return static_cast<int>(month) - 1 == pattern.iMonthOfYear &&
             IsOnDayOfMonth(pattern.iDayOfMonth, dayOfMonth, daysInMonth);
    case kRecurYearlyByWeekday: {
      // The weekday test runs (and traces) for every day, as the month is only checked after it.
      const bool bNthDay = IsNthDayOfMonthByWeekMask(iNthInstance, pattern.iDayOfWeekMask, x, settings);
      return bNthDay && static_cast<int>(month) - 1 == pattern.iMonthOfYear;
    }
    case kRecurOnce:
      return IsValidDateTime(pattern.dtOnceDate) && x == DateOf(pattern.dtOnceDate);
    default:
      return false;  // 4 and unknown kinds
  }
}

bool IsReminderDue(const IniFile& file, std::string_view section, DateTime day, DateTime now,
                   const FormatSettings& settings) {
  return IsDue(ReadRecurrencePattern(file, section, now, settings), day, settings);
}

}  // namespace almanex
