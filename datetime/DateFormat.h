#pragma once
// The date pattern language (format and parse) and the number patterns "%2.0n" / "%2.2n".
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
std::optional<DateTime> ParseShortDate(std::string_view text, const FormatSettings& settings);
/// A time of day in the long time format.
std::string FormatLongTime(DateTime value, const FormatSettings& settings);
std::optional<DateTime> ParseLongTime(std::string_view text, const FormatSettings& settings);
/// Short date, then a blank and the long time unless the time is exactly midnight.
std::string DateTimeToText(DateTime value, const FormatSettings& settings);

/// Formats the one number placeholder "%2.0n" or "%2.2n" inside pattern (words may stand around it):
/// rounded to 0 or 2 decimals, halves away from zero, thousands grouped, padded left with blanks to
/// at least two characters.
/// "%%" writes one "%"; anything else after a "%" is kept as written.
std::string FormatUnitValue(std::string_view pattern, double value, const FormatSettings& settings);

/// Appends value rounded to `decimals` places (0..100), halves away from zero, the integer part grouped
/// with settings.thousandSeparator, settings.decimalSeparator before the decimals, padded on the left
/// with blanks to `width` characters (UTF-8 characters, not bytes). No "-" when the rounded value is 0.
/// The rounding forgives the last few binary units, so decimals written as 2.675 or 0.125 round up.
void AppendNumber(std::string& out, double value, int decimals, int width, const FormatSettings& settings);

}  // namespace almanex
