#include "DateTimeUnit.h"

#include <cmath>
#include <exception>
#include <limits>
#include <string_view>
#include <utility>
#include "base/Ascii.h"

#include "DateFormat.h"
#include "NumberFormat.h"

namespace almanex {

TTimeDeltaValueRecord TimeDeltaValue;
TNextReminder theNextReminder;
TReminderWay theReminderWay;

namespace {

constexpr const char* kInvalidDateMessage = "Invalid argument to date encode";
constexpr const char* kOverflowMessage = "Integer overflow";
constexpr const char* kInvalidFloatMessage = "Invalid floating point operation";

// Stops the calculation; caught at the top of CalcTimeDelta and never let out.
struct CalcFailure {
  const char* message;
};

// Checked counter arithmetic: on overflow the counter keeps its value and the calculation stops.
void Add(std::int32_t& counter, std::int32_t amount) {
  std::int32_t result;
  if (__builtin_add_overflow(counter, amount, &result)) throw CalcFailure{kOverflowMessage};
  counter = result;
}

void Subtract(std::int32_t& counter, std::int32_t amount) {
  std::int32_t result;
  if (__builtin_sub_overflow(counter, amount, &result)) throw CalcFailure{kOverflowMessage};
  counter = result;
}

std::int32_t Sum(std::initializer_list<std::int32_t> values) {
  std::int32_t total = 0;
  for (const std::int32_t value : values) Add(total, value);
  return total;
}

// Leap years in 1..year (for year <= 0 the count is negative or zero); floor division keeps
// LeapYearsUpTo(y) - LeapYearsUpTo(y - 1) == 1 exactly for the Gregorian leap years, also before year 1.
long long FloorDivide(long long a, long long b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }
long long LeapYearsUpTo(long long year) {
  return FloorDivide(year, 4) - FloorDivide(year, 100) + FloorDivide(year, 400);
}

// Removes the date numbered `dayNumber` from the day-number counts (only 28 to 31 are counted).
void RemoveDayNumber(TTimeDeltaValueRecord& out, unsigned dayNumber) {
  switch (dayNumber) {
    case 28:
      Subtract(out.Day28Count, 1);
      break;
    case 29:
      Subtract(out.Day29Count, 1);
      break;
    case 30:
      Subtract(out.Day30Count, 1);
      break;
    case 31:
      Subtract(out.Day31Count, 1);
      break;
    default:
      break;
  }
}

void Calculate(DateTime a, DateTime b, const FormatSettings& settings, TTimeDeltaValueRecord& out) {
  if (!std::isfinite(a) || !std::isfinite(b)) throw CalcFailure{kInvalidFloatMessage};

  // 1. Order and span.
  const DateTime start = a < b ? a : b;
  const DateTime end = a < b ? b : a;
  const double span = end - start;  // >= 0 (may be +inf for extreme finite arguments)

  // 2. Days of the week, 1 Sunday .. 7 Saturday.
  out.StartDayOfWeek = DayOfWeek(start);
  out.EndDayOfWeek = DayOfWeek(end);

  // The span is split to the millisecond, as every date-time is rounded: two date-times a whole number of
  // days apart may subtract to a hair less (699.9999999999982), which must split as 700 days and no rest.
  const long double spanMilliseconds =
      std::floor(static_cast<long double>(span) * kMillisecondsPerDay + 0.5L);  // >= 0: round()

  // 3. Day-of-week counts: every whole week counts each day once, the rest of the days one more each.
  const long double wholeDays = std::floor(spanMilliseconds / kMillisecondsPerDay);
  const long double wholeWeeks = std::floor(wholeDays / 7);
  if (!(wholeWeeks <= static_cast<long double>(std::numeric_limits<std::int32_t>::max()))) {
    throw CalcFailure{kOverflowMessage};
  }
  out.WholeWeeks = static_cast<std::int32_t>(wholeWeeks);
  std::int32_t* const counterOfRemainder[7] = {&out.SaturdayCount, &out.SundayCount,    &out.MondayCount,
                                               &out.TuesdayCount,  &out.WednesdayCount, &out.ThursdayCount,
                                               &out.FridayCount};
  for (std::int32_t* counter : counterOfRemainder) *counter = out.WholeWeeks;
  if (spanMilliseconds != static_cast<long double>(out.WholeWeeks) * 7 * kMillisecondsPerDay) {
    if (out.StartDayOfWeek > out.EndDayOfWeek) Add(out.EndDayOfWeek, 7);
    for (std::int32_t i = out.StartDayOfWeek; i < out.EndDayOfWeek; ++i) Add(*counterOfRemainder[i % 7], 1);
  }
  out.WeekdayCount = Sum({out.MondayCount, out.TuesdayCount, out.WednesdayCount, out.ThursdayCount, out.FridayCount});
  out.WeekendDayCount = Sum({out.SundayCount, out.SaturdayCount});

  // 4. Month counts: every whole year between counts each month once; the first and last year add theirs.
  const std::chrono::year_month_day startDate = DecodeDate(start);
  const std::chrono::year_month_day endDate = DecodeDate(end);
  out.StartMonth = static_cast<std::int32_t>(static_cast<unsigned>(startDate.month()));  // [1, 12]
  out.EndMonth = static_cast<std::int32_t>(static_cast<unsigned>(endDate.month()));      // [1, 12]
  std::int32_t yearsBetween = static_cast<int>(endDate.year());
  Subtract(yearsBetween, static_cast<int>(startDate.year()));
  Subtract(yearsBetween, 1);
  out.YearsBetween = yearsBetween < 0 ? 0 : yearsBetween;
  out.MonthCounts.fill(out.YearsBetween);
  out.StartYear = static_cast<int>(startDate.year());
  out.EndYear = static_cast<int>(endDate.year());
  if (out.StartYear == out.EndYear) {
    for (std::int32_t month = out.StartMonth; month <= out.EndMonth; ++month) Add(out.MonthCounts[month - 1], 1);
  } else {
    for (std::int32_t month = out.StartMonth; month <= 12; ++month) Add(out.MonthCounts[month - 1], 1);
    for (std::int32_t month = 1; month <= out.EndMonth; ++month) Add(out.MonthCounts[month - 1], 1);
  }

  // 5. Leap years whose 29 February lies in the touched months.
  const long long firstYear = static_cast<long long>(out.StartYear) + (out.StartMonth > 2 ? 1 : 0);
  const long long lastYear = static_cast<long long>(out.EndYear) - (out.EndMonth < 2 ? 1 : 0);
  const long long leapYears = lastYear >= firstYear ? LeapYearsUpTo(lastYear) - LeapYearsUpTo(firstYear - 1) : 0;
  if (leapYears > std::numeric_limits<std::int32_t>::max()) throw CalcFailure{kOverflowMessage};
  out.LeapYearCount = static_cast<std::int32_t>(leapYears);

  // 6. Day numbers 28 to 31: every touched month holds them all (29 only in leap Februaries), less the days
  // of the start's month before the start and the days of the end's month after the end.
  const auto& months = out.MonthCounts;  // January first
  out.Day31Count = Sum({months[0], months[2], months[4], months[6], months[7], months[9], months[11]});
  out.Day30Count = Sum({out.Day31Count, months[3], months[5], months[8], months[10]});
  out.Day29Count = Sum({out.Day30Count, out.LeapYearCount});
  out.Day28Count = Sum({out.Day30Count, months[1]});
  const auto firstOfStartMonth = TryEncodeDate(out.StartYear, static_cast<unsigned>(out.StartMonth), 1);
  if (!firstOfStartMonth) throw CalcFailure{kInvalidDateMessage};
  if (start - 1 >= *firstOfStartMonth) {
    const unsigned lastDayBefore = static_cast<unsigned>(DecodeDate(start - 1).day());
    for (unsigned dayNumber = 1; dayNumber <= lastDayBefore; ++dayNumber) RemoveDayNumber(out, dayNumber);
  }
  const unsigned endMonthLength = DaysInMonth(out.EndYear, static_cast<unsigned>(out.EndMonth));
  const auto lastOfEndMonth = TryEncodeDate(out.EndYear, static_cast<unsigned>(out.EndMonth), endMonthLength);
  if (!lastOfEndMonth) throw CalcFailure{kInvalidDateMessage};
  if (end + 1 <= *lastOfEndMonth + EncodeTime(23, 59, 59, 999)) {
    const unsigned firstDayAfter = static_cast<unsigned>(DecodeDate(end + 1).day());
    for (unsigned dayNumber = firstDayAfter; dayNumber <= endMonthLength; ++dayNumber) {
      RemoveDayNumber(out, dayNumber);
    }
  }

  // 7. Whole days and the rest of the last day, to the second (the milliseconds dropped).
  out.WholeDays = wholeDays;
  const auto restMilliseconds = static_cast<std::uint32_t>(spanMilliseconds - wholeDays * kMillisecondsPerDay);
  const std::uint32_t restSeconds = restMilliseconds / 1000;  // [0, 86399]
  out.RestHours = static_cast<std::uint16_t>(restSeconds / 3600);
  out.RestMinutes = static_cast<std::uint16_t>(restSeconds / 60 % 60);
  out.RestSeconds = static_cast<std::uint16_t>(restSeconds % 60);

  // 8. The unit texts, last: a failure above leaves the previous ones.
  const SpanUnits units = ConvertSpan(span);
  const double values[7] = {units.seconds, units.minutes, units.hours, units.days,
                            units.weeks,   units.months,  units.years};
  std::string* const texts[7] = {&out.SecondsText, &out.MinutesText, &out.HoursText, &out.DaysText,
                                 &out.WeeksText,   &out.MonthsText,  &out.YearsText};
  for (int i = 0; i < 7; ++i) {
    texts[i]->clear();
    AppendNumber(*texts[i], values[i], i == 0 ? 0 : 2, 2, settings);
  }
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return FindIgnoringAsciiCase(text, part) != std::string_view::npos;
}

// Cuts every character with a code of 32 or less from both ends.
std::string_view TrimControlAndBlank(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

}  // namespace

SpanUnits ConvertSpan(double days) {
  return {days * 24 * 60 * 60, days * 24 * 60, days * 24, days, days / 7, days / 30.4375, days / 365.25};
}

std::optional<std::string> CalcTimeDelta(DateTime a, DateTime b, const FormatSettings& settings,
                                         TTimeDeltaValueRecord& out) {
  try {
    Calculate(a, b, settings, out);
    return std::nullopt;
  } catch (const CalcFailure& failure) {
    return std::string(failure.message);
  } catch (const std::exception& failure) {
    return std::string(failure.what());
  } catch (...) {
    return std::string("Unknown failure");
  }
}

std::optional<std::string> CalcTimeDelta(DateTime a, DateTime b, const FormatSettings& settings) {
  return CalcTimeDelta(a, b, settings, TimeDeltaValue);
}

// The pattern letters are case-insensitive, so "DDDD" names the full day as "dddd" does.
std::string LongDateFormatWithDay(const FormatSettings& settings) {
  std::string pattern = settings.longDateFormat;
  if (!ContainsNoCase(pattern, "dddd")) pattern += " dddd";
  return pattern;
}

std::string ShortDayDateFormat(const FormatSettings& settings) {
  const std::string& pattern = settings.longDateFormat;
  if (ContainsNoCase(pattern, "dddd")) {
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = FindIgnoringAsciiCase(pattern, "dddd", 0); at != std::string_view::npos;
         at = FindIgnoringAsciiCase(pattern, "dddd", from)) {
      result.append(pattern, from, at - from);
      result.append(pattern, at, 3);  // "ddd" in the case it was written
      from = at + 4;
    }
    result.append(pattern, from, std::string::npos);
    return result;
  }
  if (!ContainsNoCase(pattern, "ddd")) return pattern + " ddd";
  return pattern;
}

std::string DateTimeTextWithDay(DateTime x, const FormatSettings& settings) {
  std::string text = FormatDateTime(LongDateFormatWithDay(settings), x, settings);
  text += ' ';
  text += FormatDateTime(settings.longTimeFormat, x, settings);
  return text;
}

std::string FullDayName(DateTime x, const FormatSettings& settings) { return FormatDateTime("dddd", x, settings); }

std::string BuildSpanSentence(const TNextReminder& next, const TReminderWay& way, const Clock& clock,
                              const FormatSettings& settings) {
  const DateTime event = next.dtEventDateTime;
  const DateTime now = clock.Now();
  const bool ahead = now < event;
  const double span = ahead ? event - now : now - event;

  std::string sentence = ahead ? "Before " : "Since ";
  sentence += next.strTypeDesc;
  sentence += '(';
  sentence += DateTimeTextWithDay(event, settings);
  sentence += ahead ? "), there just left " : "), it has passed ";

  // Smallest unit first; each figure is the whole span in that unit.
  const SpanUnits units = ConvertSpan(span);
  struct Part {
    bool on;
    double value;
    int decimals;
    const char* unit;
  };
  const Part parts[] = {
      {way.RemindOfSeconds, units.seconds, 0, " seconds, "}, {way.RemindOfMinutes, units.minutes, 2, " minutes, "},
      {way.RemindOfHours, units.hours, 2, " hours, "},       {way.RemindOfDays, units.days, 2, " days, "},
      {way.RemindOfWeeks, units.weeks, 2, " weeks, "},       {way.RemindOfMonths, units.months, 2, " months, "},
      {way.RemindOfYears, units.years, 2, " years, "},
  };
  const std::size_t bodyStart = sentence.size();
  for (const Part& part : parts) {
    if (!part.on) continue;
    AppendNumber(sentence, part.value, part.decimals, 2, settings);
    sentence += part.unit;
  }
  if (sentence.size() - bodyStart >= 2) sentence.resize(sentence.size() - 2);  // the last ", "
  sentence += ". ";

  const std::string_view first = TrimControlAndBlank(way.FirstSentence);
  if (!first.empty()) {
    std::string framed;
    framed.reserve(first.size() + 1 + sentence.size());
    framed.append(first);
    framed += ' ';
    framed += sentence;
    sentence = std::move(framed);
  }
  sentence.append(TrimControlAndBlank(way.LastSentence));
  return sentence;
}

}  // namespace almanex
