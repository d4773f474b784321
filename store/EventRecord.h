#pragma once
// The event record: every key of an event section as the event dialog reads and writes it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "EventList.h"
#include "IniFile.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {

/// One event section, key for key. Dates are at midnight; times are fractions of a day.
struct EventRecord {
  std::string title;
  DateTime date = 0;
  DateTime time = 0;
  bool dateChecked = true;
  bool timeChecked = true;
  std::int32_t type = -1;  // position in the dialog's type list at saving, -1 when none is selected
  std::string typeDesc;
  std::int32_t foreGroundColor = kColorBlack;
  std::int32_t backGroundColor = kColorWindow;
  bool remindMe = true;
  DateTime remindTime = 0;

  // The recurrence pattern; only the keys of `recurrenceType` are written.
  DateTime startDate = 0;
  DateTime endDate = 0;
  std::int32_t endType = 0;         // 0 no end date, 2 end by endDate
  std::int32_t recurrenceType = 0;  // 0 daily, 1 weekly, 2 monthly by day, 3 monthly by weekday, 5, 6 yearly, 7 once
  DateTime onceDate = 0;
  std::int32_t interval = 1;
  std::int32_t dayOfWeekMask = 1;
  std::int32_t dayOfMonth = 1;
  std::int32_t instance = 1;
  std::int32_t monthOfYear = 1;

  /// Which units the reminder sentence names: years, months, weeks, days, hours, minutes, seconds.
  std::array<bool, 7> remindOf{true, true, true, true, true, true, true};
  std::string lastSentence;
  std::string firstSentence;
};

}  // namespace almanex
