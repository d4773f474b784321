// The export states the due test exactly: libical's own recurrence iterator expands every exported
// VEVENT over fifteen years, and the days must be those on which the due test of recurrence/ makes the
// event's pattern due, for a few hundred random patterns of every kind (seeded, so a failure repeats).

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "calendar/IcsExport.h"
#include "calendar/IcsSupport.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "store/IniFile.h"
#include "tests/calendar/CalendarTestSupport.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::Day;

// Thursday 10 December 2026, 09:30.
const DateTime kNow = Day(2026, 12, 10) + 0.3958333333333333;
const DateTime kFrom = Day(2020, 1, 1);
const DateTime kTo = Day(2034, 12, 31);

std::string Iso(DateTime day) {
  const auto date = DecodeDate(day);
  return std::to_string(static_cast<int>(date.year())) + "-" + std::to_string(unsigned(date.month())) + "-" +
         std::to_string(unsigned(date.day()));
}

/// The days one set has and the other lacks, the first few of each, as "+day" and "-day".
std::string Difference(const std::set<DateTime>& have, const std::set<DateTime>& want) {
  std::string text;
  int shown = 0;
  for (const DateTime day : have) {
    if (want.count(day) == 0 && shown++ < 6) text += "+" + Iso(day) + " ";
  }
  for (const DateTime day : want) {
    if (have.count(day) == 0 && shown++ < 12) text += "-" + Iso(day) + " ";
  }
  return text;
}

class IcsProofTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(IcsProofTest, LibicalExpansionGivesTheDueDays) {
  const test::TempDir folder;
  const FormatSettings settings;
  IniFile file(folder.File("Config.INI"));
  test::WriteRandomEvents(file, 100, GetParam(), settings);
  file.Flush();

  const std::string ics = calendar::ExportCalendar(file, kNow, settings);
  const calendar::ComponentPtr calendar(icalparser_parse_string(ics.c_str()));
  ASSERT_NE(calendar, nullptr);
  int events = 0;
  int neverDue = 0;
  for (icalcomponent* event = icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
       event != nullptr; event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT)) {
    ++events;
    const std::string section = test::XProperty(event, "X-ALMANEX-SECTION");
    const RecurrencePattern pattern = ReadRecurrencePattern(file, section, kNow, settings);
    std::set<DateTime> due;
    for (DateTime day = kFrom; day <= kTo; day += 1) {
      if (IsDue(pattern, day, settings)) due.insert(day);
    }
    const std::set<DateTime> occurs = test::OccurrenceDays(event, kFrom, kTo);
    char* text = icalcomponent_as_ical_string_r(event);
    SCOPED_TRACE(text);
    icalmemory_free_buffer(text);
    // "+day": libical has a day the due test does not; "-day": the other way round.
    EXPECT_EQ(Difference(occurs, due), "") << section << " due on " << due.size() << " days";

    const bool hasAlarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT) != nullptr;
    const bool hasRule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
                         icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
    if (due.empty() && test::OccurrenceDays(event, Day(1, 1, 1), Day(9999, 12, 31)).empty()) {
      ++neverDue;
      EXPECT_FALSE(hasAlarm) << section;
      EXPECT_FALSE(hasRule) << section;
    } else {
      EXPECT_TRUE(hasAlarm) << section;
    }
    if (!due.empty()) {
      // DTSTART is the first reminder day on or after the start.
      EXPECT_EQ(calendar::DateOfIcal(icalcomponent_get_dtstart(event)), *due.begin()) << section;
    }
  }
  EXPECT_EQ(events, 100);
  EXPECT_GT(neverDue, 0);  // the odd values make some patterns never due
}

INSTANTIATE_TEST_SUITE_P(Seeds, IcsProofTest, ::testing::Values(1u, 2u, 3u, 4u, 5u));

}  // namespace
}  // namespace almanex
