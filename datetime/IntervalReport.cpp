#include "IntervalReport.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "DateFormat.h"
#include "DateTimeUnit.h"
#include "NumberFormat.h"

namespace almanex {

namespace {

void AppendInteger(std::string& out, long long value) { out += std::to_string(value); }

/// Appends each label followed by its count: "Sunday: 68, Monday: 68" and the like.
void AppendCounts(std::string& text, std::initializer_list<std::pair<const char*, std::int32_t>> parts) {
  for (const auto& [label, count] : parts) {
    text += label;
    AppendInteger(text, count);
  }
}

}  // namespace

IntervalReport WriteIntervalReport(DateTime start, DateTime end, const FormatSettings& settings) {
  IntervalReport report;
  report.failure = CalcTimeDelta(start, end, settings);
  const TTimeDeltaValueRecord& delta = TimeDeltaValue;

  std::string& duration = report.blocks[0].text;
  duration = "Formula: Delta = End Time - Start Time\r\nStart Time: [";
  duration += DateTimeTextWithDay(start, settings);
  duration += "] \r\nEnd Time:   [";
  duration += DateTimeTextWithDay(end, settings);
  duration += "] \r\nThe duration(delta) is [";
  AppendNumber(duration, static_cast<double>(delta.WholeDays), 0, 2, settings);
  duration += "] days, [";
  AppendInteger(duration, delta.RestHours);
  duration += "] hours, [";
  AppendInteger(duration, delta.RestMinutes);
  duration += "] minutes and [";
  AppendInteger(duration, delta.RestSeconds);
  duration +=
      "] seconds.\r\nDelta(the difference between Start Time & End Time) can also be converted to one of these "
      "time units: ";

  // The unit totals come from the span itself, not from the texts of the record.
  const SpanUnits units = ConvertSpan(end - start);
  std::string& totals = report.blocks[1].text;
  const struct {
    const char* label;
    double value;
    int decimals;
  } unitParts[] = {{"Seconds: ", units.seconds, 0}, {", Minutes: ", units.minutes, 2}, {", Hours: ", units.hours, 2},
                   {", Days: ", units.days, 2},     {", Weeks: ", units.weeks, 2},     {", Months: ", units.months, 2},
                   {", Years: ", units.years, 2}};
  for (const auto& part : unitParts) {
    totals += part.label;
    AppendNumber(totals, part.value, part.decimals, 2, settings);
  }
  totals += "  \r\n";
  report.blocks[1].colour = kReportUnitColour;

  std::string& days = report.blocks[2].text;
  AppendCounts(days, {{"Sunday: ", delta.SundayCount},
                      {", Monday: ", delta.MondayCount},
                      {", Tuesday: ", delta.TuesdayCount},
                      {", Wednesday: ", delta.WednesdayCount},
                      {", Thursday: ", delta.ThursdayCount},
                      {", Friday: ", delta.FridayCount},
                      {", Saturday: ", delta.SaturdayCount}});
  days += ' ';
  report.blocks[2].colour = kReportBlue;

  std::string& weekdays = report.blocks[3].text;
  AppendCounts(weekdays, {{"Weekday: ", delta.WeekdayCount}, {", Weekend day: ", delta.WeekendDayCount}});
  weekdays += " \r\n";
  report.blocks[3].colour = kReportBlue;
  report.blocks[3].underline = true;

  static constexpr const char* kMonthLabels[12] = {"Jan: ",   ", Feb: ", ", Mar: ", ", Apr: ", ", May: ", ", Jun: ",
                                                   ", Jul: ", ", Aug: ", ", Sep: ", ", Oct: ", ", Nov: ", ", Dec: "};
  std::string& calendar = report.blocks[4].text;
  for (int month = 0; month < 12; ++month) {
    calendar += kMonthLabels[month];
    AppendInteger(calendar, delta.MonthCounts[month]);
  }
  AppendCounts(calendar, {{"\r\nDay 28th: ", delta.Day28Count},
                          {", Day 29th: ", delta.Day29Count},
                          {", Day 30th: ", delta.Day30Count},
                          {", Day 31th: ", delta.Day31Count}});
  calendar += "\r\n";
  report.blocks[4].colour = kReportPurple;
  report.blocks[4].underline = false;
  return report;
}

std::string IntervalReportText(const IntervalReport& report) {
  std::string text;
  for (const ReportBlock& block : report.blocks) {
    // Every block is appended as new lines: it starts on a line of its own.
    if (!text.empty() && !std::string_view(text).ends_with("\r\n")) text += "\r\n";
    text += block.text;
  }
  return text;
}

}  // namespace almanex
