#pragma once
// The date and time formats a configuration file is written in.
//
// Dates and times are stored in the user's short date and long time formats, and the user's formats
// differ between the desktop, a terminal and cron, or change with a new locale. So the first date or
// time written into a file records those formats in a section of its own, and from then on:
// - every reader parses a date or time with the recorded formats first, then with its own;
// - every writer keeps writing in the recorded formats, so a file keeps one format for its life.
// A file without the section reads as it always did, with the reader's own formats.
//
// The section holds the fields of FormatSettings that decide how a numeric date and a time of day are
// written and read back: the two patterns, the date and time separators and the AM/PM texts. Day and
// month names are not recorded (the stored short date is numeric); the reader's own names fill them.
// Values are written quoted, so that a blank separator or AM/PM text keeps its blanks.
//
// A recorded section is used only when it is whole and sound: all six keys present, none longer than
// kMaxRecordedLength bytes, and sample dates and times written with it read back as themselves. A
// damaged section is ignored: readers use their own formats and the next writer records its own.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {

class IniFile;

/// The section that records the formats; its name holds no "Event", so it is never an event.
inline constexpr std::string_view kFormatsSection = "Formats";

namespace format_keys {
inline constexpr std::string_view kShortDateFormat = "ShortDateFormat";
inline constexpr std::string_view kLongTimeFormat = "LongTimeFormat";
inline constexpr std::string_view kDateSeparator = "DateSeparator";
inline constexpr std::string_view kTimeSeparator = "TimeSeparator";
inline constexpr std::string_view kTimeAmString = "TimeAMString";
inline constexpr std::string_view kTimePmString = "TimePMString";
}  // namespace format_keys

/// The formats recorded in one file, read once per store operation.
class FileFormats {
 public:
  /// A recorded value longer than this is damage, not a format.
  static constexpr std::size_t kMaxRecordedLength = 64;

  /// Reads the formats section of file. `current` (the reader's formats) lends the day and month names.
  static FileFormats Read(const IniFile& file, const FormatSettings& current);
  /// Writes settings' formats into the formats section of file, replacing what it held.
  static void Record(IniFile& file, const FormatSettings& settings);

  /// Whether the file holds a whole and sound formats section.
  bool Usable() const { return recorded_.has_value(); }
  /// The formats to write in: the recorded ones when usable, else `current`.
  const FormatSettings& ForWriting(const FormatSettings& current) const { return recorded_ ? *recorded_ : current; }

  /// A short date: with the recorded formats first, then with `current`.
  std::optional<DateTime> ParseDate(std::string_view text, const FormatSettings& current,
                                    std::chrono::year currentYear) const;
  /// A long time: with the recorded formats first, then with `current`.
  std::optional<DateTime> ParseTime(std::string_view text, const FormatSettings& current) const;

 private:
  std::optional<FormatSettings> recorded_;
};

/// Whether dates and times written with settings read back as themselves (a numeric date with its full
/// year, a time to the second, both halves of the day).
bool FormatsReadBack(const FormatSettings& settings);

}  // namespace almanex
