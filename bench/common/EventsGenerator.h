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

/// A private temporary folder holding one Config.INI, removed with the object.
class GeneratedEventsFile {
 public:
  /// Writes `ini` into the file.
  explicit GeneratedEventsFile(const std::string& ini);
  ~GeneratedEventsFile();
  GeneratedEventsFile(const GeneratedEventsFile&) = delete;
  GeneratedEventsFile& operator=(const GeneratedEventsFile&) = delete;
  const std::string& Path() const { return file_; }

 private:
  std::string folder_;
  std::string file_;
};

/// The file of 10,000 generated events, written once per process.
const std::string& TenThousandEventsFile();

}  // namespace almanex::bench
