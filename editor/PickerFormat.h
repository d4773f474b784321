#pragma once
// Date-time values turned into the dialog pickers' QDate and QTime and back.

#include <QDate>
#include <QTime>

#include "datetime/DateTime.h"

namespace almanex {

QDate ToQDate(DateTime value);
/// The date at midnight; an invalid QDate gives 0.
DateTime FromQDate(QDate date);
QTime ToQTime(DateTime value);
/// The time of day as a fraction of a day.
DateTime FromQTime(QTime time);

}  // namespace almanex
