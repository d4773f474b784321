#pragma once
// The names of the keys of an event section, declared once for the list loader, the reminder search,
// the due test and the event dialog. Names are looked up without regard to case; these are the
// spellings written.

#include <string_view>

namespace almanex::event_keys {

inline constexpr std::string_view kTitle = "Title";
inline constexpr std::string_view kDate = "Date";
inline constexpr std::string_view kTime = "Time";
inline constexpr std::string_view kDateChecked = "DateChecked";
inline constexpr std::string_view kTimeChecked = "TimeChecked";
inline constexpr std::string_view kType = "Type";
inline constexpr std::string_view kTypeDesc = "TypeDesc";
inline constexpr std::string_view kForeGroundColor = "ForeGroundColor";
inline constexpr std::string_view kBackGroundColor = "BackGroundColor";
inline constexpr std::string_view kRemindMe = "RemindMe";
inline constexpr std::string_view kRemindTime = "RemindTime";
inline constexpr std::string_view kReminded = "Reminded";

inline constexpr std::string_view kStartDate = "RPStartDate";
inline constexpr std::string_view kEndDate = "RPEndDate";
inline constexpr std::string_view kEndType = "RPEndType";
inline constexpr std::string_view kRecurrenceType = "RPRecurrenceType";
inline constexpr std::string_view kOnceDate = "RPOnceDate";
inline constexpr std::string_view kInterval = "RPInterval";
inline constexpr std::string_view kDayOfWeekMask = "RPDayOfWeekMask";
inline constexpr std::string_view kDayOfMonth = "RPDayOfMonth";
inline constexpr std::string_view kInstance = "RPInstance";
inline constexpr std::string_view kMonthOfYear = "RPMonthOfYear";

inline constexpr std::string_view kRemindOfYears = "RemindOfYears";
inline constexpr std::string_view kRemindOfMonths = "RemindOfMonths";
inline constexpr std::string_view kRemindOfWeeks = "RemindOfWeeks";
inline constexpr std::string_view kRemindOfDays = "RemindOfDays";
inline constexpr std::string_view kRemindOfHours = "RemindOfHours";
inline constexpr std::string_view kRemindOfMinutes = "RemindOfMinutes";
inline constexpr std::string_view kRemindOfSeconds = "RemindOfSeconds";
inline constexpr std::string_view kLastSentence = "LastSentence";
inline constexpr std::string_view kFirstSentence = "FirstSentence";

}  // namespace almanex::event_keys
