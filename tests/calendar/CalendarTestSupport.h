#pragma once
// Random event sections for the iCalendar tests: every recurrence kind with ordinary and odd values
// (intervals of 0 or below, empty and oversized weekday sets, days and instances a month never holds,
// end dates before the start, missing keys), and titles with the characters iCalendar escapes.

#include <libical/ical.h>

#include <array>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "calendar/IcsSupport.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "store/EventKeys.h"
#include "store/IniFile.h"
#include "tests/recurrence/RecurrenceTestSupport.h"

namespace almanex::test {

/// Writes `count` random event sections Event1..Event<count> into the open file.
inline void WriteRandomEvents(IniFile& file, int count, unsigned seed, const FormatSettings& settings) {
  namespace keys = event_keys;
  std::mt19937 random(seed);
  const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  const auto chance = [&pick](int percent) { return pick(1, 100) <= percent; };
  const DateTime first = Day(2021, 1, 1);
  const DateTime last = Day(2027, 12, 31);
  static const std::array<const char*, 6> kTitles{
      "Birthday of Ann", "Rent, water; power", "Back\\slash \"quoted\"", "Zoë's name day — ünïcode", "Dentist", "x"};
  static const std::array<int, 10> kKinds{0, 1, 2, 3, 5, 6, 7, 1, 3, 6};
  for (int i = 1; i <= count; ++i) {
    const std::string section = "Event" + std::to_string(i);
    file.WriteString(section, keys::kTitle, kTitles[static_cast<std::size_t>(pick(0, 5))]);
    if (chance(90)) file.WriteDate(section, keys::kDate, first + pick(0, 2555), settings);
    if (chance(90)) file.WriteTime(section, keys::kTime, pick(0, 1439) / 1440.0, settings);
    file.WriteBool(section, keys::kDateChecked, chance(80));
    file.WriteBool(section, keys::kTimeChecked, chance(70));
    file.WriteInteger(section, keys::kType, pick(-1, 3));
    if (chance(70)) file.WriteString(section, keys::kTypeDesc, chance(50) ? "Birthday" : "Bills, monthly");
    file.WriteInteger(section, keys::kForeGroundColor, pick(0, 0xFFFFFF));
    file.WriteInteger(section, keys::kBackGroundColor, chance(50) ? -16777211 : pick(0, 0xFFFFFF));
    file.WriteBool(section, keys::kRemindMe, chance(90));
    if (chance(90)) file.WriteTime(section, keys::kRemindTime, pick(0, 1439) / 1440.0, settings);
    file.WriteBool(section, keys::kReminded, chance(20));
    const DateTime start = first + pick(0, static_cast<int>(last - first));
    if (chance(95)) file.WriteDate(section, keys::kStartDate, start, settings);
    if (chance(40)) {
      file.WriteInteger(section, keys::kEndType, 2);
      file.WriteDate(section, keys::kEndDate, start + pick(-30, 4000), settings);
    } else {
      file.WriteInteger(section, keys::kEndType, 0);
    }
    const int kind = chance(3) ? (chance(50) ? 4 : 9) : kKinds[static_cast<std::size_t>(pick(0, 9))];
    file.WriteInteger(section, keys::kRecurrenceType, kind);
    switch (kind) {
      case 0:
        file.WriteInteger(section, keys::kInterval, chance(5) ? pick(-2, 0) : pick(1, 40));
        break;
      case 1:
        file.WriteInteger(section, keys::kInterval, pick(-1, 5));
        file.WriteInteger(section, keys::kDayOfWeekMask, chance(5) ? 0 : pick(1, chance(10) ? 1000 : 127));
        break;
      case 2:
        file.WriteInteger(section, keys::kInterval, chance(5) ? 0 : pick(1, 4));
        file.WriteInteger(section, keys::kDayOfMonth, chance(5) ? pick(-1, 0) : pick(1, 33));
        break;
      case 3:
      case 6:
        if (kind == 3) file.WriteInteger(section, keys::kInterval, chance(5) ? 0 : pick(1, 4));
        if (kind == 6) file.WriteInteger(section, keys::kMonthOfYear, chance(3) ? 12 : pick(0, 11));
        file.WriteInteger(section, keys::kInstance, chance(10) ? pick(-1, 9) : pick(0, 4));
        file.WriteInteger(section, keys::kDayOfWeekMask, chance(3) ? 0 : (chance(40) ? 1 << pick(0, 6) : pick(1, 127)));
        break;
      case 5:
        file.WriteInteger(section, keys::kMonthOfYear, chance(3) ? -1 : pick(0, 11));
        file.WriteInteger(section, keys::kDayOfMonth, chance(3) ? 0 : pick(1, 32));
        break;
      case 7:
        if (chance(95)) file.WriteDate(section, keys::kOnceDate, start + pick(-20, 900), settings);
        break;
      default:
        break;
    }
    for (const auto key : {keys::kRemindOfYears, keys::kRemindOfMonths, keys::kRemindOfWeeks, keys::kRemindOfDays,
                           keys::kRemindOfHours, keys::kRemindOfMinutes, keys::kRemindOfSeconds}) {
      if (chance(90)) file.WriteBool(section, key, chance(60));
    }
    if (chance(50)) file.WriteString(section, keys::kLastSentence, "Do not forget, really; please.");
    if (chance(50)) file.WriteString(section, keys::kFirstSentence, chance(50) ? "Hello!" : "");
  }
}

/// The VEVENT texts of an iCalendar text, each without its DTSTAMP line.
inline std::vector<std::string> EventsWithoutStamp(const std::string& ics) {
  std::vector<std::string> events;
  std::size_t at = 0;
  while ((at = ics.find("BEGIN:VEVENT\r\n", at)) != std::string::npos) {
    const std::size_t end = ics.find("END:VEVENT\r\n", at);
    std::string event = ics.substr(at, end + 12 - at);
    const std::size_t stamp = event.find("\r\nDTSTAMP:");
    if (stamp != std::string::npos) event.erase(stamp, event.find("\r\n", stamp + 2) - stamp);
    events.push_back(std::move(event));
    at = end;
  }
  return events;
}

/// The days of [from, to] on which an iCalendar VEVENT occurs, by libical's own recurrence iterator:
/// DTSTART, the RRULE's occurrences and the RDATEs, less the EXDATEs.
inline std::set<DateTime> OccurrenceDays(icalcomponent* event, DateTime from, DateTime to) {
  std::set<DateTime> days;
  std::set<DateTime> excluded;
  const icaltimetype dtstart = icalcomponent_get_dtstart(event);
  const auto keep = [&](const icaltimetype& time) {
    const auto day = calendar::DateOfIcal(time);
    if (day && *day >= from && *day <= to) days.insert(*day);
  };
  keep(dtstart);
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
    calendar::IteratorPtr iterator(icalrecur_iterator_new(icalproperty_get_rrule(p), dtstart));
    for (icaltimetype next = icalrecur_iterator_next(iterator.get()); !icaltime_is_null_time(next);
         next = icalrecur_iterator_next(iterator.get())) {
      const auto day = calendar::DateOfIcal(next);
      if (!day || *day > to) break;
      keep(next);
    }
  }
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
    keep(icalproperty_get_rdate(p).time);
  }
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
    if (const auto day = calendar::DateOfIcal(icalproperty_get_exdate(p))) excluded.insert(*day);
  }
  for (const DateTime day : excluded) days.erase(day);
  return days;
}

/// The X-property of that name, "" when the component has none.
inline std::string XProperty(icalcomponent* component, const std::string& name) {
  for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(component, ICAL_X_PROPERTY)) {
    if (name == icalproperty_get_x_name(p)) return icalproperty_get_x(p);
  }
  return "";
}

}  // namespace almanex::test
