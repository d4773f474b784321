#pragma once
// The interval report of the event dialog's "Details" page, as text blocks with their character
// formats. The dialog appends the blocks to its rich-text box; the command-line companion prints them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "DateTime.h"
#include "FormatSettings.h"

namespace almanex {

struct ReportColour {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const ReportColour&, const ReportColour&) = default;
};

/// One appended piece of the report. Line breaks inside the text are CR LF.
struct ReportBlock {
  std::string text;
  /// The colour set for this block; nothing when the box's current colour is kept.
  std::optional<ReportColour> colour;
  /// Whether this block is written underlined.
  bool underline = false;
};

struct IntervalReport {
  /// The message of a failed calculation; the blocks are then written from the figures that
  /// TimeDeltaValue holds. The caller reports it ("Fail to calculate!").
  std::optional<std::string> failure;
  /// Formula, start, end and duration; unit totals; day-of-week counts; weekday and weekend totals;
  /// month and day-number counts.
  std::array<ReportBlock, 5> blocks;
};

inline constexpr ReportColour kReportUnitColour{79, 0, 39};
inline constexpr ReportColour kReportBlue{0, 0, 255};
inline constexpr ReportColour kReportPurple{128, 0, 128};

/// The report of the interval from start to end (start not later than end), computed with CalcTimeDelta
/// into TimeDeltaValue.
IntervalReport WriteIntervalReport(DateTime start, DateTime end, const FormatSettings& settings);

/// The report as plain text, each block starting on a new line (CR LF), as the rich-text box shows it.
std::string IntervalReportText(const IntervalReport& report);

}  // namespace almanex
