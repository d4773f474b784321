#pragma once
// iCalendar files (RFC 5545) read into the event list: every VEVENT becomes a new event section.
//
// - A VEVENT of our own export (it has X-ALMANEX-SECTION) is restored from its X-ALMANEX-* properties,
//   key for key; it keeps its section name when that name is an event section name not yet in the file.
// - Any other VEVENT is mapped onto a recurrence kind: no rule is once on its day; FREQ=DAILY every n
//   days (with BYDAY: weekly); FREQ=WEEKLY (BYDAY or the start's weekday) weekly; FREQ=MONTHLY with one
//   BYMONTHDAY, the -1st, the n-th weekday or BYDAY with BYSETPOS monthly; FREQ=YEARLY with BYMONTH and
//   BYMONTHDAY or the n-th weekday yearly; UNTIL and COUNT the end date. A rule no kind holds exactly is
//   imported once, on its next occurrence from today, and the report says why.
// - Every other section name comes from the next-free-event-name rule, over the names of the file and
//   of the events imported before it.
// - A file libical cannot read, or whose components do not nest, imports nothing: the report gives the
//   line and the reason.

#include <string>
#include <string_view>
#include <vector>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {
class IniFile;
}

namespace almanex::calendar {

struct ImportReport {
  /// Empty when the file was read; otherwise why nothing was imported, starting with "line N: " where
  /// the fault has a line.
  std::string error;
  /// The line of the fault, 0 when it has none.
  int errorLine = 0;
  /// One line per imported event: "<section>\t<title>".
  std::vector<std::string> added;
  /// One line per event imported once only instead of its rule: the section, the title and why.
  std::vector<std::string> notes;

  bool ok() const { return error.empty(); }
};

/// The import of `text` into `file`: the events it would add and the notes, or the fault. Writes nothing
/// when `apply` is false; otherwise writes every event into `file` (the caller flushes, once).
ImportReport ImportCalendar(std::string_view text, IniFile& file, DateTime now, const FormatSettings& settings,
                            bool apply);

/// Reads the iCalendar file at `icsPath` and imports it into the configuration file at `configPath` in one
/// atomic write (none when `dryRun`). An unreadable file or a failed write is reported in `error`, and
/// the configuration file is then unchanged.
ImportReport ImportCalendarFile(const std::string& icsPath, const std::string& configPath, bool dryRun, DateTime now,
                                const FormatSettings& settings);

}  // namespace almanex::calendar
