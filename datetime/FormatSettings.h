#pragma once
// The user's regional formats, in the date pattern language of DateFormat.h.
// Filled from the user's locale once at start (platform/locale/LocaleBridge.h); tests build it by hand.

#include <array>
#include <string>

namespace almanex {

struct FormatSettings {
  /// Numeric, with a four-digit year, so that what is written reads back.
  std::string shortDateFormat = "m/d/yyyy";
  std::string longDateFormat = "dddd, mmmm d, yyyy";
  std::string longTimeFormat = "h:nn:ss ampm";
  /// What "/" and ":" stand for inside a pattern.
  std::string dateSeparator = "/";
  std::string timeSeparator = ":";
  std::string timeAmString = "AM";
  std::string timePmString = "PM";
  /// UTF-8 texts; a locale may use a multi-byte separator such as a narrow no-break space.
  std::string thousandSeparator = ",";
  std::string decimalSeparator = ".";
  /// January first.
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> longMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  /// Sunday first.
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> longDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
};

}  // namespace almanex
