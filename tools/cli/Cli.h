#pragma once
// almanex-cli: the event list and its reminders on the command line, for scripts (status bars, cron).
//
//   almanex-cli list     [--config FILE] [--now "YYYY-MM-DD HH:MM:SS"] [--locale NAME]
//   almanex-cli next     [--config FILE] [--now "YYYY-MM-DD HH:MM:SS"] [--locale NAME]
//   almanex-cli due      --day YYYY-MM-DD [--days N] [--config FILE] [--now "..."] [--locale NAME]
//   almanex-cli sentence --section NAME [--config FILE] [--now "..."] [--locale NAME]
//   almanex-cli report   --section NAME [--config FILE] [--now "..."] [--locale NAME]
//   almanex-cli export   --ics FILE|- [--config FILE] [--now "..."] [--locale NAME]
//   almanex-cli import   --ics FILE [--dry-run] [--config FILE] [--now "..."] [--locale NAME]
//   almanex-cli --version
//
// - list: one line per event row in file order, the twelve column texts of the main window separated
//   by TAB.
// - next: the reminder a search at --now makes pending (Reminded marks count), as section, remind moment
//   (YYYY-MM-DD HH:MM:SS), title and sentence separated by TAB; nothing when none is pending.
// - due: "YYYY-MM-DD<TAB>section" for every event section whose recurrence pattern makes the day a
//   reminder day, for N consecutive days from --day (N from 1 to kMaxDueDays, default 1), days
//   ascending and sections in file order. Reminded marks play no part. --now is the moment that stands
//   for a missing RPStartDate, RPEndDate or RPOnceDate (default: the clock).
// - sentence: the reminder sentence the event would show at --now, with its own wording keys.
// - report: the interval report of the event dialog between --now and the event, as plain text.
// - export, import: the events as an iCalendar file and back (calendar/IcsExport.h, calendar/IcsImport.h).
//   import is the one command that writes the file: every event of the iCalendar file in one atomic
//   write, none with --dry-run or when the iCalendar file is malformed (status 1).
// - --version: "almanex-cli <file version> (Build <build text>)" from the version information stamped
//   into the executable itself ("almanex-cli 2.0 (Build 0.174)"); status 1 with the reason on stderr
//   when it cannot be read.
//
// The event's date-time is read as the reminder search reads it: its Date (default today) when
// DateChecked, else today, at its Time (default midnight) when TimeChecked, else at midnight. Section
// names compare without regard to case, as in the file layer. --config defaults to the program's own
// configuration file, --now to the clock, --locale to the user's locale.
//
// Output is stable: every line ends with LF (the CR LF line breaks of the report become LF), TAB inside
// a field becomes a blank. Nothing but import ever writes into the file. A bad argument, a bad date or an
// unknown section prints a message on stderr and exits with status 2; a report whose calculation
// failed is printed all the same, with the failure on stderr and status 1.

#include <string>
#include <vector>

#include "Output.h"
#include "datetime/Clock.h"

namespace almanex::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

/// The most days one `due` run covers: a hundred years, far more than a script needs, few enough that a
/// slip of the finger does not print for minutes.
inline constexpr int kMaxDueDays = 36600;

/// The running executable, whose version --version prints.
inline constexpr const char* kSelfExecutable = "/proc/self/exe";

/// Runs one command line (without the program name). `clock` gives the default of --now; --version reads
/// the version information of `executablePath`.
int Run(const std::vector<std::string>& arguments, Output& out, Output& err, const Clock& clock,
        const std::string& executablePath = kSelfExecutable);

}  // namespace almanex::cli
