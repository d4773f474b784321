// The interval report: its five blocks, their colours and underline, and the plain text.

#include <gtest/gtest.h>

#include <string>

#include "datetime/DateTimeUnit.h"
#include "datetime/IntervalReport.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using test::MakeDateTime;

TEST(IntervalReport, WorkedInterval) {
  const IntervalReport report = WriteIntervalReport(MakeDateTime(2024, 2, 10, 6), MakeDateTime(2025, 6, 1, 18, 30),
                                                    test::ExampleFormatSettings());
  EXPECT_FALSE(report.failure);
  EXPECT_EQ(report.blocks[0].text,
            "Formula: Delta = End Time - Start Time\r\n"
            "Start Time: [Saturday, 10 February 2024 06:00:00] \r\n"
            "End Time:   [Sunday, 1 June 2025 18:30:00] \r\n"
            "The duration(delta) is [477] days, [12] hours, [30] minutes and [0] seconds.\r\n"
            "Delta(the difference between Start Time & End Time) can also be converted to one of these time units: ");
  EXPECT_EQ(report.blocks[1].text,
            "Seconds: 41,257,800, Minutes: 687,630.00, Hours: 11,460.50, Days: 477.52, Weeks: 68.22, Months: 15.69, "
            "Years: 1.31  \r\n");
  EXPECT_EQ(report.blocks[2].text,
            "Sunday: 68, Monday: 68, Tuesday: 68, Wednesday: 68, Thursday: 68, Friday: 68, Saturday: 69 ");
  EXPECT_EQ(report.blocks[3].text, "Weekday: 340, Weekend day: 137 \r\n");
  EXPECT_EQ(report.blocks[4].text,
            "Jan: 1, Feb: 2, Mar: 2, Apr: 2, May: 2, Jun: 2, Jul: 1, Aug: 1, Sep: 1, Oct: 1, Nov: 1, Dec: 1\r\n"
            "Day 28th: 16, Day 29th: 15, Day 30th: 14, Day 31th: 9\r\n");

  EXPECT_FALSE(report.blocks[0].colour);
  EXPECT_EQ(report.blocks[1].colour, (ReportColour{79, 0, 39}));
  EXPECT_EQ(report.blocks[2].colour, (ReportColour{0, 0, 255}));
  EXPECT_EQ(report.blocks[3].colour, (ReportColour{0, 0, 255}));
  EXPECT_EQ(report.blocks[4].colour, (ReportColour{128, 0, 128}));
  const bool underlines[] = {false, false, false, true, false};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(report.blocks[i].underline, underlines[i]) << "block " << i + 1;

  const std::string text = IntervalReportText(report);
  EXPECT_NE(text.find("these time units: \r\nSeconds: 41,257,800"), std::string::npos);
  EXPECT_NE(text.find("Saturday: 69 \r\nWeekday: 340, Weekend day: 137 \r\nJan: 1,"), std::string::npos);
  EXPECT_TRUE(text.ends_with("Day 31th: 9\r\n"));
  EXPECT_EQ(TimeDeltaValue.YearsText, "1.31");  // computed into the program's record
}

TEST(IntervalReport, ShortDurationIsPadded) {
  const IntervalReport report =
      WriteIntervalReport(MakeDateTime(2026, 12, 25, 12), MakeDateTime(2027, 1, 1), test::ExampleFormatSettings());
  EXPECT_NE(report.blocks[0].text.find("The duration(delta) is [ 6] days, [12] hours, [0] minutes and [0] seconds."),
            std::string::npos);
  EXPECT_EQ(report.blocks[1].text,
            "Seconds: 561,600, Minutes: 9,360.00, Hours: 156.00, Days: 6.50, Weeks: 0.93, Months: 0.21, Years: 0.02  "
            "\r\n");
}

// An event seen at the same time of day 700 days later: the duration agrees with "Days: 700.00".
TEST(IntervalReport, WholeDaysAreNotShownAsTheDayBefore) {
  const IntervalReport report = WriteIntervalReport(MakeDateTime(1943, 5, 8, 1, 40, 6),
                                                    MakeDateTime(1945, 4, 7, 1, 40, 6), test::ExampleFormatSettings());
  EXPECT_FALSE(report.failure);
  EXPECT_NE(report.blocks[0].text.find("The duration(delta) is [700] days, [0] hours, [0] minutes and [0] seconds."),
            std::string::npos)
      << report.blocks[0].text;
  EXPECT_NE(report.blocks[1].text.find(", Days: 700.00, Weeks: 100.00,"), std::string::npos);
  EXPECT_EQ(report.blocks[2].text,
            "Sunday: 100, Monday: 100, Tuesday: 100, Wednesday: 100, Thursday: 100, Friday: 100, Saturday: 100 ");
  EXPECT_EQ(report.blocks[3].text, "Weekday: 500, Weekend day: 200 \r\n");
}

TEST(IntervalReport, FailureIsReportedAndTheBlocksUseTheRecord) {
  const FormatSettings settings = test::ExampleFormatSettings();
  WriteIntervalReport(MakeDateTime(2026, 12, 25, 12), MakeDateTime(2027, 1, 1), settings);
  const IntervalReport report = WriteIntervalReport(MakeDateTime(2024, 1, 1), MakeDateTime(10000, 1, 1), settings);
  ASSERT_TRUE(report.failure);
  EXPECT_EQ(*report.failure, "Invalid argument to date encode");
  // The duration comes from the record: the failure came before its whole days were replaced.
  EXPECT_NE(report.blocks[0].text.find("[ 6] days, [12] hours"), std::string::npos);
  EXPECT_NE(report.blocks[0].text.find("End Time:   [Saturday, 1 January 10000 00:00:00] "), std::string::npos);
}

}  // namespace
}  // namespace almanex
