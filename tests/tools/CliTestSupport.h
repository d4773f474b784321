#pragma once
// Runs almanex-cli in-process as a script would: its status, standard output and standard error.

#include <string>
#include <vector>

#include "cli/Cli.h"
#include "datetime/Clock.h"

namespace almanex::test {

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

/// One command line with `now` as the clock's reading (the default of --now).
inline CliResult RunCliAt(DateTime now, const std::vector<std::string>& arguments) {
  const ManualClock clock(now);
  cli::StringOutput out, err;
  const int status = cli::Run(arguments, out, err, clock);
  return {status, out.str(), err.str()};
}

}  // namespace almanex::test
