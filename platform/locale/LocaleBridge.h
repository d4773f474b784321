#pragma once
// Builds the program's regional formats from a Qt locale.

#include <QLocale>
#include <QString>
#include <optional>
#include <string>

#include "datetime/FormatSettings.h"

namespace almanex {

/// The formats of `locale` in the program's pattern language. The short date is made numeric with a
/// four-digit year, so that a stored date reads back; Qt's time-zone token is dropped. The date and time
/// separators are the first character of the short date and long time pattern that is no letter and no
/// blank (format marks such as U+200F skipped; a blank when nothing else is there). Day and month names
/// are Qt's format forms; separators and AM/PM texts are UTF-8.
FormatSettings FormatSettingsFromLocale(const QLocale& locale);
/// One Qt date or time pattern in the program's pattern language: Qt "M"/"MM" become "m"/"mm", Qt "mm"
/// (minutes) "nn", "AP"/"ap"/"A"/"a" "ampm"; "t" is dropped with one adjacent blank; quoted text and
/// letters that are no Qt token become quoted literals. With shortDate, month names become numbers
/// ("MMM" -> "mm", "MMMM" -> "m") and every year "yyyy". A "/" or ":" that is not the given separator
/// stays a literal.
std::string PatternFromQt(const QString& qtPattern, bool shortDate, const std::string& dateSeparator,
                          const std::string& timeSeparator);
/// The formats of the user's locale (QLocale::system()).
FormatSettings UserFormatSettings();
/// The formats of the locale named (such as "de_DE" or "C.UTF-8"); nothing for a name Qt does not know,
/// for which QLocale would fall back to C and silently change every date.
std::optional<FormatSettings> FormatSettingsForLocaleName(const std::string& name);

}  // namespace almanex
