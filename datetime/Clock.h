#pragma once
// Where "now" comes from. The core never reads the wall clock itself: callers pass a Clock.

#include "DateTime.h"

namespace almanex {

class Clock {
 public:
  virtual ~Clock() = default;
  /// The current local date-time, with milliseconds.
  virtual DateTime Now() const = 0;
};

/// A clock that stands still until told otherwise; tests drive time with it.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(DateTime now = 0) : now_(now) {}
  DateTime Now() const override { return now_; }
  void Set(DateTime now) { now_ = now; }
  void AdvanceMilliseconds(double milliseconds) { now_ += milliseconds / kMillisecondsPerDay; }

 private:
  DateTime now_;
};

}  // namespace almanex
