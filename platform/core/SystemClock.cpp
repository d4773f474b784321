#include "platform/core/SystemClock.h"

#include <time.h>

#include "datetime/DateTime.h"

namespace almanex {

namespace {

constexpr DateTime kUnixEpoch = 25569.0;  // 1970-01-01 00:00 in days since 1899-12-30

}  // namespace

DateTime SystemClock::Now() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalDateTimeFromUnixMilliseconds(static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

// One localtime_r per call: the zone is read once per process, so this is cheap enough for a tick, but
// it is never meant to run once per grid row.
DateTime LocalDateTimeFromUnixMilliseconds(long long unixMilliseconds) {
  long long seconds = unixMilliseconds / 1000;
  long long millisecond = unixMilliseconds % 1000;
  if (millisecond < 0) {  // floor division: -1 ms is 23:59:59.999 of the day before
    millisecond += 1000;
    --seconds;
  }
  const time_t moment = static_cast<time_t>(seconds);
  tm local{};
  if (localtime_r(&moment, &local) != nullptr) {
    const auto date = TryEncodeDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                    static_cast<unsigned>(local.tm_mday));
    // A leap second (tm_sec 60) is shown as the last second of its minute.
    const unsigned second = local.tm_sec > 59 ? 59u : static_cast<unsigned>(local.tm_sec);
    if (date) {
      return *date + EncodeTime(static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min), second,
                                static_cast<unsigned>(millisecond));
    }
  }
  // Outside the calendar range or without a zone: universal time, linear.
  return kUnixEpoch + static_cast<double>(unixMilliseconds) / kMillisecondsPerDay;
}

}  // namespace almanex
