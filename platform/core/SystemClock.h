#pragma once
// The wall clock in local time.

#include "datetime/Clock.h"

namespace almanex {

class SystemClock final : public Clock {
 public:
  DateTime Now() const override;
};

/// A QDateTime-free conversion used by the system clock: local wall time of a Unix moment.
DateTime LocalDateTimeFromUnixMilliseconds(long long unixMilliseconds);

}  // namespace almanex
