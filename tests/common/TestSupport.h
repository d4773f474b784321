#pragma once
// Small helpers shared by the tests: temporary folders, file bytes, date-times.

#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "datetime/FormatSettings.h"

namespace almanex::test {

/// A fresh folder under the test's private temporary root, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  /// Under /dev/shm when that is a folder we may write, for tests of many commits: in memory, a sync
  /// costs nothing.
  struct InMemory {};
  explicit TempDir(InMemory);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  /// Path() + "/" + name.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

/// Sets an environment variable for the lifetime of the object and restores the old state afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);
/// The names in a folder, sorted.
std::set<std::string> FolderEntries(const std::string& folder);
/// The lines of one INI section, header included, as the file holds them (CRLF line ends); "" when the
/// header is not there.
std::string SectionBytes(const std::string& file, const std::string& header);

/// Starts every command line (the program's path first) at once and waits for all of them. True when each
/// one ended with status 0.
bool RunTogether(const std::vector<std::vector<std::string>>& commands);

/// Local date-time from its fields, for readable test tables.
double MakeDateTime(int year, unsigned month, unsigned day, unsigned hour = 0, unsigned minute = 0, unsigned second = 0,
                    unsigned millisecond = 0);

/// The formats the worked examples are written in: long date "dddd, d mmmm yyyy", long time
/// "hh:nn:ss", "," and "." as separators, English names.
inline FormatSettings ExampleFormatSettings() {
  FormatSettings settings;
  settings.longDateFormat = "dddd, d mmmm yyyy";
  settings.longTimeFormat = "hh:nn:ss";
  return settings;
}

/// The interval report of the worked example, event 10 February 2024 06:00 and now 1 June 2025 18:30,
/// in ExampleFormatSettings(), as a plain text with LF line ends (the dialog's Details page, almanex-cli).
inline constexpr const char* kWorkedIntervalReport =
    "Formula: Delta = End Time - Start Time\n"
    "Start Time: [Saturday, 10 February 2024 06:00:00] \n"
    "End Time:   [Sunday, 1 June 2025 18:30:00] \n"
    "The duration(delta) is [477] days, [12] hours, [30] minutes and [0] seconds.\n"
    "Delta(the difference between Start Time & End Time) can also be converted to one of these time units: \n"
    "Seconds: 41,257,800, Minutes: 687,630.00, Hours: 11,460.50, Days: 477.52, Weeks: 68.22, Months: 15.69, "
    "Years: 1.31  \n"
    "Sunday: 68, Monday: 68, Tuesday: 68, Wednesday: 68, Thursday: 68, Friday: 68, Saturday: 69 \n"
    "Weekday: 340, Weekend day: 137 \n"
    "Jan: 1, Feb: 2, Mar: 2, Apr: 2, May: 2, Jun: 2, Jul: 1, Aug: 1, Sep: 1, Oct: 1, Nov: 1, Dec: 1\n"
    "Day 28th: 16, Day 29th: 15, Day 30th: 14, Day 31th: 9\n";

}  // namespace almanex::test
