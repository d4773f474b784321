// The wall clock's conversion of a Unix moment to local wall time, under fixed zones.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "platform/core/SystemClock.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

// Sets TZ for one test and restores the previous value (and the C library's idea of it) afterwards.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    const char* previous = getenv("TZ");
    hadPrevious_ = previous != nullptr;
    if (hadPrevious_) previous_ = previous;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    if (hadPrevious_) {
      setenv("TZ", previous_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

 private:
  bool hadPrevious_ = false;
  std::string previous_;
};

TEST(SystemClock, UnixMillisecondsInUniversalTime) {
  const ZoneScope zone("UTC0");
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(0), MakeDateTime(1970, 1, 1));
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(1707544800000LL), MakeDateTime(2024, 2, 10, 6));
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(1707544800123LL), MakeDateTime(2024, 2, 10, 6, 0, 0, 123));
  // Before 1970 the milliseconds still count forward within their second.
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(-1), MakeDateTime(1969, 12, 31, 23, 59, 59, 999));
}

TEST(SystemClock, LocalTimeFollowsTheZoneAndItsSummerTime) {
  const ZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(1707544800000LL), MakeDateTime(2024, 2, 10, 7));  // winter: +1
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(1719835200000LL), MakeDateTime(2024, 7, 1, 14));  // summer: +2
  EXPECT_EQ(LocalDateTimeFromUnixMilliseconds(1704063599500LL), MakeDateTime(2023, 12, 31, 23, 59, 59, 500));
}

}  // namespace
}  // namespace almanex
