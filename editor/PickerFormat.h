#pragma once
// What the dialog's date and time pickers show: our date patterns turned into Qt's display formats, and
// date-time values turned into the pickers' QDate and QTime and back.

#include <QDate>
#include <QString>
#include <QTime>
#include <string_view>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {

/// The Qt display format that shows what `pattern` (the date pattern language) writes: d..dddd stay,
/// month tokens become M..MMMM, n/nn and m/mm after an hour token become minutes, am/pm tokens become
/// Qt's AM/PM marker, "/" and ":" become the locale's separators, and any other letter is quoted.
QString QtDisplayFormat(std::string_view pattern, const FormatSettings& settings);

QDate ToQDate(DateTime value);
/// The date at midnight; an invalid QDate gives 0.
DateTime FromQDate(QDate date);
QTime ToQTime(DateTime value);
/// The time of day as a fraction of a day.
DateTime FromQTime(QTime time);

}  // namespace almanex
