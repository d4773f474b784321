#pragma once
// Generates configuration files of many events for the benchmarks: sections shaped like the ones the
// event dialog writes (about 600 bytes each), with a spread of dates, times and recurrence kinds.

#include <string>

namespace almanex::bench {

/// The text of a configuration file with `count` event sections Event1..Event<count> and a
/// GridSettings section, CR LF line ends, dates in the m/d/yyyy form.
std::string GenerateEventsIni(int count);
/// Writes GenerateEventsIni(count) to path.
void WriteEventsIni(const std::string& path, int count);

}  // namespace almanex::bench
