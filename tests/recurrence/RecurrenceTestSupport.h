#pragma once
// Dates for the recurrence tests, computed with <chrono> alone so that the expectations do not lean on
// the date-time conversions under test.

#include <chrono>

#include "datetime/DateTime.h"

namespace almanex::test {

/// Days from 1899-12-30 to the civil day.
inline DateTime SerialOf(std::chrono::sys_days day) {
  using namespace std::chrono;
  return static_cast<DateTime>((day - sys_days{year{1899} / December / 30}).count());
}

/// The date at midnight.
inline DateTime Day(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return SerialOf(sys_days{year{y} / month{m} / day{d}});
}

}  // namespace almanex::test
