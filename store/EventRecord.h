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

/// Reads an event section with the event dialog's defaults: Date, Time, RemindTime and the pattern dates
/// are `now` when absent or unparsable; the pattern numbers 1; RemindMe, DateChecked, TimeChecked and every
/// RemindOf true; ForeGroundColor black and BackGroundColor the window colour. Dates come back at midnight
/// and times as a fraction of a day. `Type` is read by nobody and stays -1.
EventRecord ReadEventRecord(const IniFile& file, std::string_view section, DateTime now,
                            const FormatSettings& settings);

/// Writes the record into the section of the open file, key by key in the record's order, with `Reminded`
/// as 0 and, of the pattern keys, only those of `recurrenceType`. Nothing reaches the disk before Flush().
/// Keys of another kind left from an earlier save stay where they are.
void WriteEventRecord(IniFile& file, std::string_view section, const EventRecord& record,
                      const FormatSettings& settings);

enum class SaveOutcome {
  Saved,
  /// The file did not exist and could not be created: nothing was written; the caller shows
  /// FailToCreateFileMessage(path).
  FileNotCreated,
};

/// One save of an event: creates the file when missing, then writes the whole record in one commit.
/// Throws EIniWriteError when the existing file cannot be written; the file is then unchanged.
SaveOutcome SaveEventRecord(const std::string& path, std::string_view section, const EventRecord& record,
                            const FormatSettings& settings);

/// The event's moment as the event dialog's Details page counts it: the record's date when it has one,
/// otherwise the day of `now`; plus the record's time of day when it has one, otherwise midnight.
DateTime GetEventDateTime(const EventRecord& record, DateTime now);

}  // namespace almanex
