#include "EventRecord.h"

#include "ConfigFile.h"
#include "EventKeys.h"

namespace almanex {
namespace {

namespace keys = event_keys;

constexpr std::array<std::string_view, 7> kRemindOfKeys{
    keys::kRemindOfYears, keys::kRemindOfMonths,  keys::kRemindOfWeeks,  keys::kRemindOfDays,
    keys::kRemindOfHours, keys::kRemindOfMinutes, keys::kRemindOfSeconds};

/// The pattern keys of one kind after RPRecurrenceType, in the order they are written.
void WritePatternKeys(IniFile& file, std::string_view section, const EventRecord& record,
                      const FormatSettings& settings) {
  file.WriteInteger(section, keys::kRecurrenceType, record.recurrenceType);
  switch (record.recurrenceType) {
    case 7:
      file.WriteDate(section, keys::kOnceDate, record.onceDate, settings);
      break;
    case 0:
    case 1:
      file.WriteInteger(section, keys::kInterval, record.interval);
      file.WriteInteger(section, keys::kDayOfWeekMask, record.dayOfWeekMask);
      break;
    case 2:
      file.WriteInteger(section, keys::kInterval, record.interval);
      file.WriteInteger(section, keys::kDayOfMonth, record.dayOfMonth);
      break;
    case 3:
      file.WriteInteger(section, keys::kInterval, record.interval);
      file.WriteInteger(section, keys::kInstance, record.instance);
      file.WriteInteger(section, keys::kDayOfWeekMask, record.dayOfWeekMask);
      break;
    case 5:
      file.WriteInteger(section, keys::kMonthOfYear, record.monthOfYear);
      file.WriteInteger(section, keys::kDayOfMonth, record.dayOfMonth);
      break;
    case 6:
      file.WriteInteger(section, keys::kInstance, record.instance);
      file.WriteInteger(section, keys::kDayOfWeekMask, record.dayOfWeekMask);
      file.WriteInteger(section, keys::kMonthOfYear, record.monthOfYear);
      break;
    default:
      // A kind no reader knows has no keys of its own; only its number is kept.
      break;
  }
}

}  // namespace

EventRecord ReadEventRecord(const IniFile& file, std::string_view section, DateTime now,
                            const FormatSettings& settings) {
  EventRecord record;
  record.title = file.ReadString(section, keys::kTitle, "");
  record.date = DateOf(file.ReadDate(section, keys::kDate, now, settings));
  record.time = TimeOf(file.ReadTime(section, keys::kTime, now, settings));
  record.dateChecked = file.ReadBool(section, keys::kDateChecked, true);
  record.timeChecked = file.ReadBool(section, keys::kTimeChecked, true);
  record.typeDesc = file.ReadString(section, keys::kTypeDesc, "");
  record.foreGroundColor = file.ReadInteger(section, keys::kForeGroundColor, kColorBlack);
  record.backGroundColor = file.ReadInteger(section, keys::kBackGroundColor, kColorWindow);
  record.remindMe = file.ReadBool(section, keys::kRemindMe, true);
  record.remindTime = TimeOf(file.ReadTime(section, keys::kRemindTime, now, settings));

  record.startDate = DateOf(file.ReadDate(section, keys::kStartDate, now, settings));
  record.endDate = DateOf(file.ReadDate(section, keys::kEndDate, now, settings));
  record.endType = file.ReadInteger(section, keys::kEndType, 0);
  record.recurrenceType = file.ReadInteger(section, keys::kRecurrenceType, 0);
  record.onceDate = DateOf(file.ReadDate(section, keys::kOnceDate, now, settings));
  record.interval = file.ReadInteger(section, keys::kInterval, 1);
  record.dayOfWeekMask = file.ReadInteger(section, keys::kDayOfWeekMask, 1);
  record.dayOfMonth = file.ReadInteger(section, keys::kDayOfMonth, 1);
  record.instance = file.ReadInteger(section, keys::kInstance, 1);
  record.monthOfYear = file.ReadInteger(section, keys::kMonthOfYear, 1);

  for (std::size_t unit = 0; unit < kRemindOfKeys.size(); ++unit) {
    record.remindOf[unit] = file.ReadBool(section, kRemindOfKeys[unit], true);
  }
  record.lastSentence = file.ReadString(section, keys::kLastSentence, "");
  record.firstSentence = file.ReadString(section, keys::kFirstSentence, "");
  return record;
}

void WriteEventRecord(IniFile& file, std::string_view section, const EventRecord& record,
                      const FormatSettings& settings) {
  file.WriteString(section, keys::kTitle, record.title);
  file.WriteDate(section, keys::kDate, record.date, settings);
  file.WriteTime(section, keys::kTime, record.time, settings);
  file.WriteBool(section, keys::kDateChecked, record.dateChecked);
  file.WriteBool(section, keys::kTimeChecked, record.timeChecked);
  file.WriteInteger(section, keys::kType, record.type);
  file.WriteString(section, keys::kTypeDesc, record.typeDesc);
  file.WriteInteger(section, keys::kForeGroundColor, record.foreGroundColor);
  file.WriteInteger(section, keys::kBackGroundColor, record.backGroundColor);
  file.WriteBool(section, keys::kRemindMe, record.remindMe);
  file.WriteTime(section, keys::kRemindTime, record.remindTime, settings);
  // Every save arms the reminder again, so an edited event may be reminded again the same day.
  file.WriteBool(section, keys::kReminded, false);

  file.WriteDate(section, keys::kStartDate, record.startDate, settings);
  file.WriteDate(section, keys::kEndDate, record.endDate, settings);
  file.WriteInteger(section, keys::kEndType, record.endType);
  WritePatternKeys(file, section, record, settings);

  for (std::size_t unit = 0; unit < kRemindOfKeys.size(); ++unit) {
    file.WriteBool(section, kRemindOfKeys[unit], record.remindOf[unit]);
  }
  file.WriteString(section, keys::kLastSentence, record.lastSentence);
  file.WriteString(section, keys::kFirstSentence, record.firstSentence);
}

SaveOutcome SaveEventRecord(const std::string& path, std::string_view section, const EventRecord& record,
                            const FormatSettings& settings) {
  if (!EnsureFileExists(path)) return SaveOutcome::FileNotCreated;
  IniFile file(path);
  WriteEventRecord(file, section, record, settings);
  file.Flush();  // one atomic replace: the old record or the new one, never a mix
  return SaveOutcome::Saved;
}

DateTime GetEventDateTime(const EventRecord& record, DateTime now) {
  const DateTime day = record.dateChecked ? DateOf(record.date) : DateOf(now);
  return record.timeChecked ? day + TimeOf(record.time) : day;
}

}  // namespace almanex
