#pragma once
// Event sections and moments for the reminder tests (search, scheduler, almanex-cli next). Plain C++ on
// the date-time library only, so that Qt-free test binaries can use it.

#include <cmath>
#include <string>

#include "datetime/DateTime.h"
#include "tests/common/TestSupport.h"

namespace almanex::test {

/// A moment of December 2026; the test day is Tuesday 8 December 2026.
inline DateTime Dec(unsigned day, unsigned hour, unsigned minute = 0, unsigned second = 0, unsigned millisecond = 0) {
  return MakeDateTime(2026, 12, day, hour, minute, second, millisecond);
}

/// An event due every day from 1 January 2026 (the event itself is on 1 January 2027 at midnight),
/// reminded at `remindTime` (the long time form), with its `Reminded` mark; `extra` lines go at the end
/// of the section.
inline std::string DailyEvent(const std::string& section, const std::string& title, const std::string& remindTime,
                              const std::string& extra = "", const std::string& reminded = "0") {
  return "[" + section + "]\r\nTitle=" + title +
         "\r\nDate=1/1/2027\r\nTime=12:00:00 AM\r\nTypeDesc=Birthday\r\nRemindTime=" + remindTime +
         "\r\nReminded=" + reminded + "\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n" + extra;
}

/// A section with the given lines only.
inline std::string Section(const std::string& section, const std::string& lines) {
  return "[" + section + "]\r\n" + lines;
}

/// Moments compared to the millisecond: a date plus a parsed time and MakeDateTime may differ in the last bit.
inline long long Ms(DateTime value) { return std::llround(value * kMillisecondsPerDay); }

}  // namespace almanex::test
