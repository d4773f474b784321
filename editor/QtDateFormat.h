#pragma once
// The dialog's date pickers show dates in the program's pattern language (datetime/DateFormat.h);
// Qt's date edits speak their own. This translates one into the other.

#include <QString>
#include <string_view>

#include "datetime/FormatSettings.h"

namespace almanex {

/// `pattern` (the program's pattern language) as a Qt date-time edit display format. Day, month and year
/// fields map to their Qt tokens ("mmmm" -> "MMMM", "ddd" -> "ddd", "yy" -> "yy"); "m"/"mm" after an hour
/// are minutes, as in the program's formatter; "am/pm" and "a/p" become "ap", "ampm" "AP"; "/" and ":"
/// become the settings' separators as literal text; quoted text and letters that are no token become
/// Qt literals, so no Qt token hides in them. Day and month names then come from Qt's locale.
QString ToQtDateFormat(std::string_view pattern, const FormatSettings& settings);

}  // namespace almanex
