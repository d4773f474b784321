#pragma once
// The date pattern language: format and parse.
//
// Pattern tokens, letters case-insensitive:
//   d dd ddd dddd      day number, two-digit day, short and long day name
//   m mm mmm mmmm      month number, two-digit month, short and long month name;
//                      m / mm right after an hour token (separators between allowed) mean minutes
//   yy yyyy            two- and four-digit year
//   h hh               hour (12-hour when an am/pm token is in the pattern)
//   n nn               minute
//   s ss               second
//   z zzz              millisecond
//   am/pm a/p ampm     "am"/"pm" (case as written), "a"/"p", or the locale's AM/PM texts
//   /  :               the locale's date and time separators
//   '...' "..."        literal text

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "DateTime.h"
#include "FormatSettings.h"

namespace almanex {

/// The value written with the pattern. Date and time are rounded together to the millisecond; a value
/// outside 0001..9999 is written as well (its year may then have five digits or a sign).
std::string FormatDateTime(std::string_view pattern, DateTime value, const FormatSettings& settings);

/// Reads text written with the pattern. Numbers may have fewer digits than their token; names match
/// without regard to case; blanks around the text are ignored. Fields the pattern does not hold take
/// 1899-12-30 (date) and 00:00 (time). Nothing when the text does not fit or names no valid date-time.
/// Details: a blank in the pattern stands for any number of blanks; numbers are read greedily up to
/// their token's width (2, years 4, milliseconds 3); a year of one or two digits (under "yy" or "yyyy")
/// takes the POSIX "%y" window, 69..99 -> 1969..1999 and 00..68 -> 2000..2068, while three or four
/// digits are the year itself, so what "yyyy" writes reads back unchanged; with an am/pm token the hour
/// must be 0..12; a day name is read, and rejected when it contradicts a complete date.
std::optional<DateTime> ParseDateTime(std::string_view pattern, std::string_view text, const FormatSettings& settings);

/// A date in the short date format, at midnight.
std::string FormatShortDate(DateTime value, const FormatSettings& settings);
/// Reads a date, at midnight, as written by FormatShortDate or typed by hand: two or three numbers in the
/// order of day, month and year of the short date format, separated by the locale's date separator, a
/// separator of the short date format, "/", "." or "-", or blanks. A year of three or four digits is the
/// year itself; one of one or two digits falls in the 100 years from currentYear - 50 to currentYear + 49;
/// without a year the date is in currentYear. Text that is not numeric is read with the short date format
/// itself (ParseDateTime), so a format with month names reads back too. Nothing when no date fits.
std::optional<DateTime> ParseShortDate(std::string_view text, const FormatSettings& settings,
                                       std::chrono::year currentYear);
/// A time of day in the long time format.
std::string FormatLongTime(DateTime value, const FormatSettings& settings);
/// Reads a time of day as written by FormatLongTime or typed by hand: hour, then minutes, seconds and
/// milliseconds as far as given, separated by the locale's time separator or ":"; the AM or PM text (the
/// locale's, or "AM"/"PM") before or after it makes it a 12-hour time (hour 0 to 12, 12 AM is 00), and
/// without one the hour is a 24-hour hour, whatever the format. An hour alone needs the AM or PM text.
/// Other text is read with the long time format itself (ParseDateTime). Nothing when no time fits.
std::optional<DateTime> ParseLongTime(std::string_view text, const FormatSettings& settings);
/// Short date, then a blank and the long time unless the time is exactly midnight.
std::string DateTimeToText(DateTime value, const FormatSettings& settings);

}  // namespace almanex
