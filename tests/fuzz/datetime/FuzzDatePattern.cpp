// Fuzz target: the date and time readers and the recurrence pattern reader.
//
// Input: one selector byte, then records separated by RS:
//   pattern <RS> text <RS> body of an event section <RS> formats
// The selector picks the regional formats (a table of real ones, or, with its high bit, the six
// format fields of the last record, separated by US) and the current year of a short date.
// Checks:
// - ParseDateTime, ParseShortDate and ParseLongTime give nothing or a valid date-time; a short date is
//   at midnight and a long time is a time of day;
// - with real formats, what FormatShortDate and FormatLongTime write reads back: the same date, and a
//   time that writes the same text again;
// - ReadRecurrencePattern and the due test of the event section run under the sanitizers, with the
//   trace lines formatted as if a listener took them.

#include <array>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "base/Trace.h"
#include "datetime/DateFormat.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"

namespace almanex::fuzz {
namespace {

FormatSettings Formats(std::string_view shortDate, std::string_view longTime, std::string_view dateSeparator,
                       std::string_view timeSeparator, std::string_view am, std::string_view pm) {
  FormatSettings settings;
  settings.shortDateFormat = shortDate;
  settings.longTimeFormat = longTime;
  settings.dateSeparator = dateSeparator;
  settings.timeSeparator = timeSeparator;
  settings.timeAmString = am;
  settings.timePmString = pm;
  return settings;
}

/// Regional formats found on real systems; each writes dates and times that read back.
const std::vector<FormatSettings>& RealFormats() {
  static const std::vector<FormatSettings> formats = {
      FormatSettings{},
      Formats("dd.mm.yyyy", "hh:nn:ss", ".", ":", "", ""),
      Formats("dd/mm/yyyy", "hh:nn:ss", "/", ":", "am", "pm"),
      Formats("yyyy-mm-dd", "hh:nn:ss", "-", ":", "AM", "PM"),
      Formats("yyyy/mm/dd", "ampm h:nn:ss", "/", ":", "\xE5\x8D\x88\xE5\x89\x8D", "\xE5\x8D\x88\xE5\xBE\x8C"),
      Formats("m/d/yyyy", "h:mm:ss ampm", "-", ".", "a.m.", "p.m."),
      Formats("d. m. yyyy", "h:nn:ss", ".", ":", "", ""),
      Formats("dd-mmm-yyyy", "hh:nn:ss", "-", ":", "AM", "PM"),
  };
  return formats;
}

constexpr std::array<int, 6> kCurrentYears = {2026, 1, 50, 1999, 9999, 9960};

void CheckValid(const std::optional<DateTime>& value, std::string_view what, std::string_view text) {
  if (!value) return;
  ALMANEX_FUZZ_CHECK(IsValidDateTime(*value),
                     std::string(what) + " gave an invalid date-time for \"" + Escaped(text) + "\"");
}

void CheckDateAndTimeReaders(std::string_view pattern, std::string_view text, const FormatSettings& settings,
                             std::chrono::year currentYear, bool realFormats) {
  const std::optional<DateTime> any = ParseDateTime(pattern, text, settings);
  CheckValid(any, "ParseDateTime", text);
  if (any) (void)FormatDateTime(pattern, *any, settings);

  const std::optional<DateTime> date = ParseShortDate(text, settings, currentYear);
  CheckValid(date, "ParseShortDate", text);
  if (date) {
    ALMANEX_FUZZ_CHECK(*date == std::floor(*date), "ParseShortDate gave a time of day for \"" + Escaped(text) + "\"");
    if (realFormats) {
      const std::string written = FormatShortDate(*date, settings);
      const std::optional<DateTime> again = ParseShortDate(written, settings, currentYear);
      ALMANEX_FUZZ_CHECK(again == date, "the short date \"" + Escaped(written) + "\" (" + settings.shortDateFormat +
                                            ") does not read back, from \"" + Escaped(text) + "\"");
    }
  }

  const std::optional<DateTime> time = ParseLongTime(text, settings);
  CheckValid(time, "ParseLongTime", text);
  if (time) {
    ALMANEX_FUZZ_CHECK(*time >= 0.0 && *time < 1.0, "ParseLongTime gave a date for \"" + Escaped(text) + "\"");
    if (realFormats) {
      const std::string written = FormatLongTime(*time, settings);
      const std::optional<DateTime> again = ParseLongTime(written, settings);
      ALMANEX_FUZZ_CHECK(again.has_value() && FormatLongTime(*again, settings) == written,
                         "the long time \"" + Escaped(written) + "\" (" + settings.longTimeFormat +
                             ") does not read back, from \"" + Escaped(text) + "\"");
    }
  }
}

void RunRecurrence(std::string_view body, const FormatSettings& settings, DateTime now) {
  const std::string path = ScratchFolder() + "/Config.INI";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "[Event1]\r\n";
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
  }
  const IniFile file(path);
  const RecurrencePattern pattern = ReadRecurrencePattern(file, "Event1", now, settings);
  const std::array<DateTime, 6> days = {
      now, now + 1, now + 40, pattern.dtStartDate, pattern.dtOnceDate, pattern.dtEndDate};
  for (const DateTime day : days) {
    (void)IsDue(pattern, day, settings);
    (void)IsReminderDue(file, "Event1", day, now, settings);
    (void)IsNthDayOfMonthByWeekMask(pattern.iInstance, pattern.iDayOfWeekMask, day, settings);
  }
  (void)DaysBetween(pattern.dtStartDate, pattern.dtEndDate);
  (void)WeeksBetween(pattern.dtStartDate, pattern.dtOnceDate);
  (void)MonthsBetween(pattern.dtStartDate, now);
}

}  // namespace
}  // namespace almanex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace almanex;
  using namespace almanex::fuzz;
  static FormattingSink sink;
  SetTracer(&sink);
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const std::vector<std::string_view> records = Split(AsText(data + 1, size - 1), kRecordSeparator);
  const std::string_view pattern = records[0];
  const std::string_view text = records.size() > 1 ? records[1] : std::string_view();
  const std::string_view body = records.size() > 2 ? records[2] : std::string_view();

  const bool realFormats = (selector & 0x80) == 0;
  FormatSettings settings = RealFormats()[selector % RealFormats().size()];
  if (!realFormats && records.size() > 3) {
    const std::vector<std::string_view> fields = Split(records[3], kFieldSeparator);
    const auto field = [&fields](std::size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };
    settings = Formats(field(0), field(1), field(2), field(3), field(4), field(5));
  }
  const std::chrono::year currentYear{kCurrentYears[(selector >> 3) % kCurrentYears.size()]};

  CheckDateAndTimeReaders(pattern, text, settings, currentYear, realFormats);
  // "Now" on 2026-03-14 in the afternoon, in the year of the window above when it has one of its own.
  const DateTime now = TryEncodeDate(static_cast<int>(currentYear), 3, 14).value_or(46095.0) + 0.6;
  RunRecurrence(body, settings, now);
  return 0;
}
