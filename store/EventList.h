#pragma once
// The event list as the main window shows it: one row per event section, in file order.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "IniFile.h"
#include "datetime/DateTime.h"
#include "datetime/DateTimeUnit.h"
#include "datetime/FormatSettings.h"

namespace almanex {

/// Windows-style colour values kept in the file: 0x00BBGGRR, or 0xFF0000nn for system colour nn.
inline constexpr std::int32_t kColorBlack = 0;
inline constexpr std::int32_t kColorWindow = -16777211;  // system colour 5, the window background

struct EventRow {
  std::string section;
  std::string title;     // display text (UTF-8)
  std::string dateText;  // short date, empty when the event has no date
  std::string timeText;  // long time, empty when the event has no time
  std::string typeDesc;  // display text (UTF-8)
  std::int32_t foreColor = kColorBlack;
  std::int32_t backColor = kColorWindow;
  /// The date and time read back from the two texts, as the span refresh counts them.
  std::optional<DateTime> date;  // nothing: today
  DateTime timeOfDay = 0;        // midnight when no time text
};

struct EventList {
  std::vector<EventRow> rows;
  std::vector<std::string> eventSections;
  std::string nextEventName = "Event1";
};

/// Reads the event sections of the open file. `now` gives the defaults of Date and Time.
EventList LoadEventList(const IniFile& file, DateTime now, const FormatSettings& settings);
/// One row of LoadEventList: the event section `section` of the open file.
EventRow ReadEventRow(const IniFile& file, std::string_view section, DateTime now, const FormatSettings& settings);
/// The moment a row's span counts to: its date (today when none) at its time.
DateTime SpanTarget(const EventRow& row, DateTime now);
/// Runs the span calculation between now and the row's moment into `record`; the failure message
/// when it failed (the record's unit texts are then those of its previous calculation).
std::optional<std::string> CalcRowSpan(const EventRow& row, DateTime now, const FormatSettings& settings,
                                       TTimeDeltaValueRecord& record);
/// The seven unit texts of a record in column order: years, months, weeks, days, hours, minutes, seconds.
std::array<const std::string*, 7> SpanColumnTexts(const TTimeDeltaValueRecord& record);
/// The twelve column texts of a row, spans included, as one line of TAB-separated text would show them.
/// A row whose calculation fails shows empty span texts.
std::array<std::string, 12> RowTexts(const EventRow& row, DateTime now, const FormatSettings& settings);

inline constexpr int kColumnCount = 12;
inline constexpr int kFirstSpanColumn = 5;
inline constexpr std::array<const char*, kColumnCount> kColumnTitles{
    "No", "Title", "Date", "Time", "Type", "Years", "Months", "Weeks", "Days", "Hours", "Minutes", "Seconds"};

}  // namespace almanex
