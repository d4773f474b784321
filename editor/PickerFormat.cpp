#include "PickerFormat.h"

namespace almanex {

QDate ToQDate(DateTime value) {
  const std::chrono::year_month_day date = DecodeDate(value);
  return QDate(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
               static_cast<int>(static_cast<unsigned>(date.day())));
}

DateTime FromQDate(QDate date) {
  if (!date.isValid()) return 0;
  return TryEncodeDate(date.year(), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day())).value_or(0);
}

QTime ToQTime(DateTime value) {
  const TimeOfDay time = DecodeTime(value);
  return QTime(static_cast<int>(time.hour), static_cast<int>(time.minute), static_cast<int>(time.second),
               static_cast<int>(time.millisecond));
}

DateTime FromQTime(QTime time) {
  if (!time.isValid()) return 0;
  return EncodeTime(static_cast<unsigned>(time.hour()), static_cast<unsigned>(time.minute()),
                    static_cast<unsigned>(time.second()), static_cast<unsigned>(time.msec()));
}

}  // namespace almanex
