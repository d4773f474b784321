#pragma once
// Small helpers shared by the tests: temporary folders, file bytes, date-times.

#include <string>
#include <string_view>

#include "datetime/FormatSettings.h"

namespace almanex::test {

/// A fresh folder under the test's private temporary root, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  /// Path() + "/" + name.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);
/// The lines of one INI section, header included, as the file holds them (CRLF line ends); "" when the
/// header is not there.
std::string SectionBytes(const std::string& file, const std::string& header);

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

}  // namespace almanex::test
