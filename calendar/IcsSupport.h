#pragma once
// Small helpers around libical shared by the export, the import and their tests.

#include <libical/ical.h>

#include <memory>
#include <optional>

#include "datetime/DateTime.h"

namespace almanex::calendar {

struct ComponentDeleter {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

struct IteratorDeleter {
  void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

/// An all-day date of the value's date.
inline icaltimetype IcalDate(DateTime day) {
  const auto date = DecodeDate(day);
  icaltimetype time = icaltime_null_date();
  time.year = static_cast<int>(date.year());
  time.month = static_cast<int>(unsigned(date.month()));
  time.day = static_cast<int>(unsigned(date.day()));
  return time;
}

/// The date of an iCalendar time (its own fields, whatever its zone), nothing when it is no valid date.
inline std::optional<DateTime> DateOfIcal(const icaltimetype& time) {
  if (icaltime_is_null_time(time) || time.month < 1 || time.day < 1) return std::nullopt;
  return TryEncodeDate(time.year, static_cast<unsigned>(time.month), static_cast<unsigned>(time.day));
}

/// BYDAY entry: weekday 1 Sunday .. 7 Saturday, position 0 for every such weekday, n or -n for the n-th
/// (from the end).
inline short EncodeWeekday(int weekday, int position) {
  return static_cast<short>(position >= 0 ? position * 8 + weekday : -(-position * 8 + weekday));
}

}  // namespace almanex::calendar
