#include "calendar/RecordProperties.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "store/ConfigFile.h"
#include "store/EventKeys.h"
#include "store/IniFile.h"

namespace almanex::calendar {

namespace keys = event_keys;

const std::array<RecordKey, 31> kRecordKeys{{
    {keys::kTitle, "X-ALMANEX-TITLE", KeyForm::Text},
    {keys::kDate, "X-ALMANEX-DATE", KeyForm::Date},
    {keys::kTime, "X-ALMANEX-TIME", KeyForm::Time},
    {keys::kDateChecked, "X-ALMANEX-DATECHECKED", KeyForm::Bool},
    {keys::kTimeChecked, "X-ALMANEX-TIMECHECKED", KeyForm::Bool},
    {keys::kType, "X-ALMANEX-TYPE", KeyForm::Integer},
    {keys::kTypeDesc, "X-ALMANEX-TYPEDESC", KeyForm::Text},
    {keys::kForeGroundColor, "X-ALMANEX-FOREGROUNDCOLOR", KeyForm::Integer},
    {keys::kBackGroundColor, "X-ALMANEX-BACKGROUNDCOLOR", KeyForm::Integer},
    {keys::kRemindMe, "X-ALMANEX-REMINDME", KeyForm::Bool},
    {keys::kRemindTime, "X-ALMANEX-REMINDTIME", KeyForm::Time},
    {keys::kReminded, "", KeyForm::Bool},  // never exported; an import writes 0 here
    {keys::kStartDate, "X-ALMANEX-RPSTARTDATE", KeyForm::Date},
    {keys::kEndDate, "X-ALMANEX-RPENDDATE", KeyForm::Date},
    {keys::kEndType, "X-ALMANEX-RPENDTYPE", KeyForm::Integer},
    {keys::kRecurrenceType, "X-ALMANEX-RPRECURRENCETYPE", KeyForm::Integer},
    {keys::kOnceDate, "X-ALMANEX-RPONCEDATE", KeyForm::Date},
    {keys::kInterval, "X-ALMANEX-RPINTERVAL", KeyForm::Integer},
    {keys::kDayOfWeekMask, "X-ALMANEX-RPDAYOFWEEKMASK", KeyForm::Integer},
    {keys::kDayOfMonth, "X-ALMANEX-RPDAYOFMONTH", KeyForm::Integer},
    {keys::kInstance, "X-ALMANEX-RPINSTANCE", KeyForm::Integer},
    {keys::kMonthOfYear, "X-ALMANEX-RPMONTHOFYEAR", KeyForm::Integer},
    {keys::kRemindOfYears, "X-ALMANEX-REMINDOFYEARS", KeyForm::Bool},
    {keys::kRemindOfMonths, "X-ALMANEX-REMINDOFMONTHS", KeyForm::Bool},
    {keys::kRemindOfWeeks, "X-ALMANEX-REMINDOFWEEKS", KeyForm::Bool},
    {keys::kRemindOfDays, "X-ALMANEX-REMINDOFDAYS", KeyForm::Bool},
    {keys::kRemindOfHours, "X-ALMANEX-REMINDOFHOURS", KeyForm::Bool},
    {keys::kRemindOfMinutes, "X-ALMANEX-REMINDOFMINUTES", KeyForm::Bool},
    {keys::kRemindOfSeconds, "X-ALMANEX-REMINDOFSECONDS", KeyForm::Bool},
    {keys::kLastSentence, "X-ALMANEX-LASTSENTENCE", KeyForm::Text},
    {keys::kFirstSentence, "X-ALMANEX-FIRSTSENTENCE", KeyForm::Text},
}};

namespace {

// Fallbacks no parsed value can equal: a parsed date is a midnight, a parsed time lies in [0, 1).
constexpr DateTime kNoTime = -1.0;

std::optional<int> ParseDigits(std::string_view text) {
  int value = 0;
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<std::int32_t> ParseDecimal(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<DateTime> ParseCompactDate(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
  const auto y = ParseDigits(text.substr(0, 4));
  const auto m = ParseDigits(text.substr(4, 2));
  const auto d = ParseDigits(text.substr(6, 2));
  if (!y || !m || !d) return std::nullopt;
  return TryEncodeDate(*y, static_cast<unsigned>(*m), static_cast<unsigned>(*d));
}

std::optional<DateTime> ParseCompactTime(std::string_view text) {
  if (text.size() != 6 && !(text.size() == 10 && text[6] == '.')) return std::nullopt;
  const auto h = ParseDigits(text.substr(0, 2));
  const auto n = ParseDigits(text.substr(2, 2));
  const auto s = ParseDigits(text.substr(4, 2));
  const auto ms = text.size() == 10 ? ParseDigits(text.substr(7, 3)) : std::optional<int>(0);
  if (!h || !n || !s || !ms) return std::nullopt;
  return TryEncodeTime(static_cast<unsigned>(*h), static_cast<unsigned>(*n), static_cast<unsigned>(*s),
                       static_cast<unsigned>(*ms));
}

std::string CompactTime(DateTime time) {
  const TimeOfDay t = DecodeTime(time);
  char text[64];
  if (t.millisecond == 0) {
    std::snprintf(text, sizeof text, "%02u%02u%02u", t.hour, t.minute, t.second);
  } else {
    std::snprintf(text, sizeof text, "%02u%02u%02u.%03u", t.hour, t.minute, t.second, t.millisecond);
  }
  return text;
}

}  // namespace

std::string CompactDate(DateTime day) {
  const auto date = DecodeDate(day);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(date.year()), unsigned(date.month()),
                unsigned(date.day()));
  return text;
}

std::string IsoDate(DateTime day) {
  const auto date = DecodeDate(day);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()), unsigned(date.month()),
                unsigned(date.day()));
  return text;
}

std::optional<std::string> ExportedValue(const IniFile& file, std::string_view section, const RecordKey& key,
                                         DateTime now, const FormatSettings& settings) {
  const auto raw = file.ReadValue(section, key.key);
  if (!raw) return std::nullopt;
  switch (key.form) {
    case KeyForm::Text:
      if (raw->empty()) return std::nullopt;  // the readers' default; an iCalendar value is never empty
      return DisplayText(*raw);
    case KeyForm::Integer:
    case KeyForm::Bool: {
      const auto number = ParseIniInteger(*raw);
      if (!number) return std::nullopt;
      return key.form == KeyForm::Bool ? std::string(*number != 0 ? "1" : "0") : std::to_string(*number);
    }
    case KeyForm::Date: {
      // A date without a year takes the year of the fallback, as every reader's fallback is now.
      const DateTime noDate = DateOf(now) + 0.5;
      const DateTime date = file.ReadDate(section, key.key, noDate, settings);
      if (date == noDate || !IsValidDateTime(date)) return std::nullopt;
      return CompactDate(date);
    }
    case KeyForm::Time: {
      const DateTime time = file.ReadTime(section, key.key, kNoTime, settings);
      if (time == kNoTime) return std::nullopt;
      return CompactTime(TimeOf(time));
    }
  }
  return std::nullopt;
}

bool IsValidImportedValue(const RecordKey& key, std::string_view value) {
  switch (key.form) {
    case KeyForm::Text:
      return true;
    case KeyForm::Integer:
    case KeyForm::Bool:
      return ParseDecimal(value).has_value();
    case KeyForm::Date:
      return ParseCompactDate(value).has_value();
    case KeyForm::Time:
      return ParseCompactTime(value).has_value();
  }
  return false;
}

const char* KeyFormName(KeyForm form) {
  switch (form) {
    case KeyForm::Text:
      return "text";
    case KeyForm::Integer:
      return "whole number";
    case KeyForm::Bool:
      return "0 or 1";
    case KeyForm::Date:
      return "date YYYYMMDD";
    case KeyForm::Time:
      return "time HHMMSS";
  }
  return "value";
}

bool WriteImportedValue(IniFile& file, std::string_view section, const RecordKey& key, std::string_view value,
                        const FormatSettings& settings) {
  switch (key.form) {
    case KeyForm::Text:
      file.WriteString(section, key.key, value);
      return true;
    case KeyForm::Integer:
    case KeyForm::Bool: {
      const auto number = ParseDecimal(value);
      if (!number) return false;
      if (key.form == KeyForm::Bool) {
        file.WriteBool(section, key.key, *number != 0);
      } else {
        file.WriteInteger(section, key.key, *number);
      }
      return true;
    }
    case KeyForm::Date: {
      const auto date = ParseCompactDate(value);
      if (!date) return false;
      file.WriteDate(section, key.key, *date, settings);
      return true;
    }
    case KeyForm::Time: {
      const auto time = ParseCompactTime(value);
      if (!time) return false;
      file.WriteTime(section, key.key, *time, settings);
      return true;
    }
  }
  return false;
}

}  // namespace almanex::calendar
