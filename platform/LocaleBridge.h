#pragma once
// Builds the program's regional formats from a Qt locale.

#include <QLocale>

#include "datetime/FormatSettings.h"

namespace almanex {

/// The formats of `locale` in the program's pattern language. The short date is made numeric with a
/// four-digit year, so that a stored date reads back; Qt's time-zone token is dropped.
FormatSettings FormatSettingsFromLocale(const QLocale& locale);
/// The formats of the user's locale (QLocale::system()).
FormatSettings UserFormatSettings();

}  // namespace almanex
