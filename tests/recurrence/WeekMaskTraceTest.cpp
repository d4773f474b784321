// The trace line of IsNthDayOfMonthByWeekMask: its exact text for a listener, and no formatting at all
// (not even an allocation) without one.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "base/Trace.h"
#include "recurrence/IniRecurrenceUnit.h"
#include "tests/common/TraceFakes.h"
#include "tests/recurrence/RecurrenceTestSupport.h"

// Allocation counting for this test binary: while a thread counts, every operator new on it is counted.
namespace {
thread_local bool tCountAllocations = false;
thread_local long tAllocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (tCountAllocations) {
    ++tAllocations;
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace almanex {
namespace {

using test::Day;

// No listener: counts the calls and never asks for the message.
class AbsentListenerSink : public TraceSink {
 public:
  bool Send(std::string_view, FunctionRef<std::string()>) override {
    ++sends;
    return false;
  }
  long sends = 0;
};

// Installs a sink for one test and restores the dropping one after it.
class TraceScope {
 public:
  explicit TraceScope(TraceSink& sink) { SetTracer(&sink); }
  ~TraceScope() { SetTracer(nullptr); }
};

// The 31 "j: mark" lines of a dump, from the marks written as 31 digits.
std::string MarkLines(std::string_view digits) {
  std::string text;
  for (std::size_t j = 0; j < digits.size(); ++j) {
    text += std::to_string(j + 1) + ": " + digits[j] + "\r\n";
  }
  return text;
}

struct TraceCase {
  const char* name;
  int instance;
  int mask;
  DateTime date;
  FormatSettings settings;
  bool result;
  std::string expected;
};

FormatSettings ShortDate(const char* pattern, const char* separator) {
  FormatSettings settings;
  settings.shortDateFormat = pattern;
  settings.dateSeparator = separator;
  return settings;
}

TEST(WeekMaskTrace, ExactMessageForAListener) {
  const std::vector<TraceCase> cases = {
      // February 2027 starts on a Monday and has 28 days; the marks of 29 to 31 fall on 1 to 3 March.
      {"last Monday", 5, 2, Day(2027, 2, 22), ShortDate("m/d/yyyy", "/"), true,
       "IsNthDayOfMonthByWeekMask: Result: True \r\niDay: 22 \r\niInstance: 5 \r\niWeekMask: 2 \r\n"
       "dtDate: 2/22/2027 \r\narriWeekMask: " +
           MarkLines("1000000100000010000001000000100") + " \r\n"},
      {"second weekday, another day", 2, 62, Day(2026, 12, 3), ShortDate("dd/mm/yyyy", "."), false,
       "IsNthDayOfMonthByWeekMask: Result: False \r\niDay: 2 \r\niInstance: 2 \r\niWeekMask: 62 \r\n"
       "dtDate: 03.12.2026 \r\narriWeekMask: " +
           MarkLines("1111001111100111110011111001111") + " \r\n"},
      // May 2027 has five Mondays, the last on the 31st: the count never reaches 6 and the search stops
      // on the month's last day, a marked Monday, which is still not a sixth Monday.
      {"sixth Monday", 6, 2, Day(2027, 5, 31), ShortDate("m/d/yyyy", "/"), false,
       "IsNthDayOfMonthByWeekMask: Result: False \r\niDay: 31 \r\niInstance: 6 \r\niWeekMask: 2 \r\n"
       "dtDate: 5/31/2027 \r\narriWeekMask: " +
           MarkLines("0010000001000000100000010000001") + " \r\n"},
  };
  for (const TraceCase& row : cases) {
    test::RecordingTrace sink;
    EXPECT_EQ(IsNthDayOfMonthByWeekMask(row.instance, row.mask, row.date, row.settings), row.result) << row.name;
    ASSERT_EQ(sink.lines.size(), 1u) << row.name;
    EXPECT_EQ(sink.lines[0].source, "CommUnit") << row.name;
    EXPECT_EQ(sink.lines[0].message, row.expected) << row.name;
  }
}

TEST(WeekMaskTrace, OneLinePerWeekdayTest) {
  test::RecordingTrace sink;
  // Yearly on the last Friday of November: the weekday test runs for every day of the year.
  const RecurrencePattern yearly{
      .iRecurrenceType = 6, .dtStartDate = Day(2027, 1, 1), .iDayOfWeekMask = 32, .iInstance = 4, .iMonthOfYear = 10};
  int due = 0;
  for (int offset = 0; offset < 365; ++offset) {
    due += IsDue(yearly, Day(2027, 1, 1) + offset, FormatSettings{}) ? 1 : 0;
  }
  EXPECT_EQ(due, 1);
  EXPECT_EQ(sink.lines.size(), 365u);
  // A daily pattern never asks for a weekday test.
  sink.lines.clear();
  EXPECT_TRUE(IsDue(RecurrencePattern{.dtStartDate = Day(2027, 1, 1)}, Day(2027, 1, 1), FormatSettings{}));
  EXPECT_TRUE(sink.lines.empty());
}

TEST(WeekMaskTrace, WithoutAListenerNothingIsFormatted) {
  AbsentListenerSink absent;
  TraceScope scope(absent);
  const FormatSettings settings;
  const RecurrencePattern monthly{
      .iRecurrenceType = 3, .dtStartDate = Day(2026, 1, 1), .iInterval = 1, .iDayOfWeekMask = 62, .iInstance = 1};
  const RecurrencePattern yearly{
      .iRecurrenceType = 6, .dtStartDate = Day(2026, 1, 1), .iDayOfWeekMask = 65, .iInstance = 4, .iMonthOfYear = 11};
  int due = 0;
  tAllocations = 0;
  tCountAllocations = true;
  for (int offset = 0; offset < 5000; ++offset) {
    due += IsDue(monthly, Day(2026, 1, 1) + offset, settings) ? 1 : 0;
    due += IsDue(yearly, Day(2026, 1, 1) + offset, settings) ? 1 : 0;
  }
  tCountAllocations = false;
  EXPECT_EQ(absent.sends, 10000);
  EXPECT_EQ(tAllocations, 0) << "a trace message was built with no listener";
  EXPECT_GT(due, 0);

  // The counter itself works: with a listener, the same calls build their messages.
  test::RecordingTrace listener;  // installs itself in place of the absent one
  tAllocations = 0;
  tCountAllocations = true;
  IsNthDayOfMonthByWeekMask(2, 62, Day(2026, 12, 2), settings);
  tCountAllocations = false;
  EXPECT_GT(tAllocations, 0);
  EXPECT_EQ(listener.lines.size(), 1u);
}

}  // namespace
}  // namespace almanex
