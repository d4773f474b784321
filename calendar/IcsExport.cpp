#include "calendar/IcsExport.h"

#include <libical/ical.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "calendar/DueDays.h"
#include "calendar/IcsSupport.h"
#include "calendar/RecordProperties.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/ConfigFile.h"
#include "store/EventKeys.h"
#include "store/IniFile.h"

namespace almanex::calendar {
namespace {

namespace keys = event_keys;

/// Years of reminder days listed where no rule states the pattern.
constexpr int kListedYears = 20;

std::uint64_t Fnv1a(std::uint64_t hash, std::string_view text) {
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash ^ 0xff;  // separates "ab","c" from "a","bc"
}

/// The local moment as a UTC date-time.
icaltimetype UtcStamp(DateTime now) {
  const CivilDateTime local = DecodeDateTime(now);
  std::tm fields{};
  fields.tm_year = static_cast<int>(local.date.year()) - 1900;
  fields.tm_mon = static_cast<int>(unsigned(local.date.month())) - 1;
  fields.tm_mday = static_cast<int>(unsigned(local.date.day()));
  fields.tm_hour = static_cast<int>(local.time.hour);
  fields.tm_min = static_cast<int>(local.time.minute);
  fields.tm_sec = static_cast<int>(local.time.second);
  fields.tm_isdst = -1;
  return icaltime_from_timet_with_zone(std::mktime(&fields), 0, icaltimezone_get_utc_timezone());
}

void AddWeekdaySet(icalrecurrencetype& rule, int weekMask) {
  int next = 0;
  for (int weekday = 1; weekday <= 7; ++weekday) {
    if (((static_cast<unsigned>(weekMask) >> (weekday - 1)) & 1u) != 0) {
      rule.by_day[next++] = EncodeWeekday(weekday, 0);
    }
  }
}

/// BYMONTHDAY for "day d, or the month's last day when the month is shorter": d itself when every
/// month has it, else the days 28 to d (at most 31) of which BYSETPOS=-1 takes the last the month has.
void AddDayOrLast(icalrecurrencetype& rule, int dayOfMonth) {
  if (dayOfMonth <= 28) {
    rule.by_month_day[0] = static_cast<short>(dayOfMonth);
    return;
  }
  int next = 0;
  for (int day = 28; day <= std::min(dayOfMonth, 31); ++day) rule.by_month_day[next++] = static_cast<short>(day);
  rule.by_set_pos[0] = -1;
}

/// BYDAY and BYSETPOS for the `instance`-th day of the weekday set (4 the last).
void AddNthOfSet(icalrecurrencetype& rule, int instance, int weekMask) {
  AddWeekdaySet(rule, weekMask);
  rule.by_set_pos[0] = static_cast<short>(instance == 4 ? -1 : instance + 1);
}

/// The RRULE that states the pattern from `first` on; nothing where no rule does.
std::optional<icalrecurrencetype> RuleOf(const RecurrencePattern& pattern) {
  icalrecurrencetype rule;
  icalrecurrencetype_clear(&rule);
  rule.interval = 1;
  switch (pattern.iRecurrenceType) {
    case kRecurDaily:
      rule.freq = ICAL_DAILY_RECURRENCE;
      rule.interval = static_cast<short>(std::min(pattern.iInterval, 32767));
      if (pattern.iInterval > 32767) return std::nullopt;
      break;
    case kRecurWeekly:
      rule.freq = ICAL_WEEKLY_RECURRENCE;
      if (pattern.iInterval > 32767) return std::nullopt;
      rule.interval = static_cast<short>(std::max(pattern.iInterval, 1));
      rule.week_start = static_cast<icalrecurrencetype_weekday>(DayOfWeek(pattern.dtStartDate));
      AddWeekdaySet(rule, pattern.iDayOfWeekMask);
      break;
    case kRecurMonthlyByDay:
      if (pattern.iInterval != 1) return std::nullopt;
      rule.freq = ICAL_MONTHLY_RECURRENCE;
      AddDayOrLast(rule, pattern.iDayOfMonth);
      break;
    case kRecurMonthlyByWeekday:
      if (pattern.iInterval != 1) return std::nullopt;
      rule.freq = ICAL_MONTHLY_RECURRENCE;
      AddNthOfSet(rule, pattern.iInstance, pattern.iDayOfWeekMask);
      break;
    case kRecurYearlyByDate:
      rule.freq = ICAL_YEARLY_RECURRENCE;
      rule.by_month[0] = static_cast<short>(pattern.iMonthOfYear + 1);
      AddDayOrLast(rule, pattern.iDayOfMonth);
      break;
    case kRecurYearlyByWeekday:
      rule.freq = ICAL_YEARLY_RECURRENCE;
      rule.by_month[0] = static_cast<short>(pattern.iMonthOfYear + 1);
      AddNthOfSet(rule, pattern.iInstance, pattern.iDayOfWeekMask);
      break;
    default:
      return std::nullopt;  // once: DTSTART alone
  }
  if (pattern.iEndType == kRecurEndByDate) rule.until = IcalDate(pattern.dtEndDate);
  return rule;
}

/// The last day of the listed dates: 20 years after the later of the first day and today.
DateTime ListedUntil(DateTime first, DateTime now) {
  using namespace std::chrono;
  const year_month_day from = DecodeDate(std::max(first, DateOf(now)));
  year_month_day until = (from.year() + years{kListedYears}) / from.month() / from.day();
  if (!until.ok()) until = until.year() / until.month() / last;
  if (until.year() > year{9999}) return std::floor(kMaxDateTime);
  return EncodeDate(until);
}

void AddText(icalcomponent* component, icalproperty* property) { icalcomponent_add_property(component, property); }

void AddX(icalcomponent* component, std::string_view name, const std::string& value) {
  icalproperty* property = icalproperty_new_x(value.c_str());
  icalproperty_set_x_name(property, std::string(name).c_str());
  icalcomponent_add_property(component, property);
}

icalproperty* DateListProperty(icalproperty* property) {
  icalproperty_set_parameter(property, icalparameter_new_value(ICAL_VALUE_DATE));
  return property;
}

icalcomponent* BuildEvent(const IniFile& file, std::string_view section, DateTime now, const FormatSettings& settings) {
  std::vector<std::pair<const RecordKey*, std::string>> values;
  values.reserve(kRecordKeys.size());
  std::uint64_t hash = Fnv1a(0xcbf29ce484222325ull, section);
  for (const RecordKey& key : kRecordKeys) {
    if (key.property.empty()) continue;
    if (auto value = ExportedValue(file, section, key, now, settings)) {
      hash = Fnv1a(Fnv1a(hash, key.property), *value);
      values.emplace_back(&key, std::move(*value));
    }
  }
  const RecurrencePattern pattern = ReadRecurrencePattern(file, section, now, settings);
  const std::optional<DateTime> first = FirstDueDay(pattern, settings);
  const std::string title = DisplayText(file.ReadString(section, keys::kTitle, ""));
  const std::string type = DisplayText(file.ReadString(section, keys::kTypeDesc, ""));
  const std::string name = DisplayText(section);

  icalcomponent* event = icalcomponent_new_vevent();
  char uid[64];
  std::snprintf(uid, sizeof uid, "%016llx@almanex", static_cast<unsigned long long>(hash));
  AddText(event, icalproperty_new_uid(uid));
  AddText(event, icalproperty_new_dtstamp(UtcStamp(now)));
  if (first) {
    AddText(event, icalproperty_new_dtstart(IcalDate(*first)));
    if (const auto rule = RuleOf(pattern)) {
      AddText(event, icalproperty_new_rrule(*rule));
    } else if (pattern.iRecurrenceType != kRecurOnce) {
      // The reminder days the rule cannot state, after DTSTART (which is itself the first).
      ForEachDueDay(pattern, *first + 1, ListedUntil(*first, now), settings, [event](DateTime day) {
        icaldatetimeperiodtype date{};
        date.time = IcalDate(day);
        date.period = icalperiodtype_null_period();
        AddText(event, DateListProperty(icalproperty_new_rdate(date)));
        return true;
      });
    }
  } else {
    // Never due: a first day that an EXDATE removes again.
    const DateTime day = IsValidDateTime(pattern.dtStartDate) ? DateOf(pattern.dtStartDate) : DateOf(now);
    AddText(event, icalproperty_new_dtstart(IcalDate(day)));
    AddText(event, DateListProperty(icalproperty_new_exdate(IcalDate(day))));
  }
  if (!title.empty()) AddText(event, icalproperty_new_summary(title.c_str()));
  if (!type.empty()) AddText(event, icalproperty_new_categories(type.c_str()));
  AddX(event, kSectionProperty, name);
  for (const auto& [key, value] : values) AddX(event, key->property, value);

  if (first) {
    // The reminder time as the reminder search reads it: a missing one is the time of `now`.
    const DateTime remind = TimeOf(file.ReadTime(section, keys::kRemindTime, now, settings));
    const TimeOfDay at = DecodeTime(remind);
    icalcomponent* alarm = icalcomponent_new_valarm();
    AddText(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icaltriggertype trigger{};
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_from_int(static_cast<int>(at.hour * 3600 + at.minute * 60 + at.second));
    AddText(alarm, icalproperty_new_trigger(trigger));
    AddText(alarm, icalproperty_new_description(title.empty() ? "Almanex reminder" : title.c_str()));
    icalcomponent_add_component(event, alarm);
  }
  return event;
}

std::string Serialized(icalcomponent* component) {
  char* text = icalcomponent_as_ical_string_r(component);
  std::string result(text != nullptr ? text : "");
  icalmemory_free_buffer(text);
  return result;
}

}  // namespace

std::string ExportEvent(const IniFile& file, std::string_view section, DateTime now, const FormatSettings& settings) {
  const ComponentPtr event(BuildEvent(file, section, now, settings));
  return Serialized(event.get());
}

std::string ExportCalendar(const IniFile& file, DateTime now, const FormatSettings& settings) {
  const ComponentPtr calendar(icalcomponent_new_vcalendar());
  icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Almanex//Almanex 2.0//EN"));
  icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
  const std::string frame = Serialized(calendar.get());
  constexpr std::string_view kEnd = "END:VCALENDAR\r\n";
  const std::size_t endAt = frame.rfind(kEnd);

  std::string text = frame.substr(0, endAt);
  text.reserve(std::max<std::size_t>(text.size(), 1 << 16));
  file.ForEachSectionName([&](std::string_view section) {
    if (IsEventSection(section)) text += ExportEvent(file, section, now, settings);
  });
  text += frame.substr(endAt);
  return text;
}

}  // namespace almanex::calendar
