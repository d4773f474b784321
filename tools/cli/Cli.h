#pragma once
// almanex-cli: the event list and its reminders on the command line, for scripts (status bars, cron).
//
//   almanex-cli list [--config FILE] [--now "YYYY-MM-DD HH:MM:SS"] [--locale NAME]
//
// Output is stable: one line per event row in file order, the twelve column texts of the main window
// separated by TAB. A bad argument prints a message on stderr and exits with status 2.

#include <iosfwd>
#include <string>
#include <vector>

#include "datetime/Clock.h"

namespace almanex::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

/// Runs one command line (without the program name). `clock` gives the default of --now.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, const Clock& clock);

}  // namespace almanex::cli
