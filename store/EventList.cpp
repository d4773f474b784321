#include "EventList.h"

#include "ConfigFile.h"
#include "EventKeys.h"
#include "base/Ascii.h"
#include "datetime/DateFormat.h"

namespace almanex {

EventRow ReadEventRow(const IniFile& file, std::string_view section, DateTime now, const FormatSettings& settings) {
  namespace keys = event_keys;
  EventRow row;
  row.title = DisplayText(file.ReadString(section, keys::kTitle, ""));
  if (file.ReadBool(section, keys::kDateChecked, true)) {
    row.dateText = FormatShortDate(file.ReadDate(section, keys::kDate, now, settings), settings);
  }
  if (file.ReadBool(section, keys::kTimeChecked, true)) {
    row.timeText = FormatLongTime(file.ReadTime(section, keys::kTime, now, settings), settings);
  }
  row.typeDesc = DisplayText(file.ReadString(section, keys::kTypeDesc, ""));
  row.foreColor = file.ReadInteger(section, keys::kForeGroundColor, kColorBlack);
  row.backColor = file.ReadInteger(section, keys::kBackGroundColor, kColorWindow);
  // The span counts to what the row shows, read back from its own texts: a time counts at the
  // precision the long time format shows, and a row without a date counts from today.
  if (!IsAllSpaceOrTab(row.dateText)) row.date = ParseShortDate(row.dateText, settings, DecodeDate(now).year());
  if (!IsAllSpaceOrTab(row.timeText)) row.timeOfDay = TimeOf(ParseLongTime(row.timeText, settings).value_or(0));
  row.section = section;
  return row;
}

EventList LoadEventList(const IniFile& file, DateTime now, const FormatSettings& settings) {
  EventList list;
  for (std::string& section : file.SectionNames()) {
    if (!IsEventSection(section)) continue;
    list.rows.push_back(ReadEventRow(file, section, now, settings));
    list.eventSections.push_back(std::move(section));
  }
  list.nextEventName = NextEventName(list.eventSections);
  return list;
}

DateTime SpanTarget(const EventRow& row, DateTime now) { return row.date.value_or(DateOf(now)) + row.timeOfDay; }

std::optional<std::string> CalcRowSpan(const EventRow& row, DateTime now, const FormatSettings& settings,
                                       TTimeDeltaValueRecord& record) {
  return CalcTimeDelta(now, SpanTarget(row, now), settings, record);
}

std::array<const std::string*, 7> SpanColumnTexts(const TTimeDeltaValueRecord& record) {
  return {&record.YearsText, &record.MonthsText,  &record.WeeksText,  &record.DaysText,
          &record.HoursText, &record.MinutesText, &record.SecondsText};
}

std::array<std::string, 12> RowTexts(const EventRow& row, DateTime now, const FormatSettings& settings) {
  std::array<std::string, 12> texts{row.section, row.title, row.dateText, row.timeText, row.typeDesc};
  TTimeDeltaValueRecord record;
  if (!CalcRowSpan(row, now, settings, record)) {
    const auto spans = SpanColumnTexts(record);
    for (std::size_t i = 0; i < spans.size(); ++i) texts[kFirstSpanColumn + i] = *spans[i];
  }
  return texts;
}

}  // namespace almanex
