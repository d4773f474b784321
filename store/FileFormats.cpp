#include "FileFormats.h"

#include <chrono>
#include <cmath>
#include <string>

#include "IniFile.h"
#include "datetime/DateFormat.h"

namespace almanex {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

/// The recorded field each key fills.
struct RecordedField {
  std::string_view key;
  std::string FormatSettings::*field;
};

constexpr RecordedField kRecordedFields[] = {
    {format_keys::kShortDateFormat, &FormatSettings::shortDateFormat},
    {format_keys::kLongTimeFormat, &FormatSettings::longTimeFormat},
    {format_keys::kDateSeparator, &FormatSettings::dateSeparator},
    {format_keys::kTimeSeparator, &FormatSettings::timeSeparator},
    {format_keys::kTimeAmString, &FormatSettings::timeAmString},
    {format_keys::kTimePmString, &FormatSettings::timePmString},
};

bool SameDateFormat(const FormatSettings& a, const FormatSettings& b) {
  return a.shortDateFormat == b.shortDateFormat && a.dateSeparator == b.dateSeparator;
}

bool SameTimeFormat(const FormatSettings& a, const FormatSettings& b) {
  return a.longTimeFormat == b.longTimeFormat && a.timeSeparator == b.timeSeparator &&
         a.timeAmString == b.timeAmString && a.timePmString == b.timePmString;
}

}  // namespace

bool FormatsReadBack(const FormatSettings& settings) {
  // A day above 12 and a month unlike it, years of three centuries (a two-digit year loses the first).
  const DateTime dates[] = {EncodeDate(year{2003} / month{6} / day{14}), EncodeDate(year{1903} / month{11} / day{3}),
                            EncodeDate(year{2075} / month{12} / day{31})};
  for (const DateTime date : dates) {
    const std::string text = FormatShortDate(date, settings);
    const auto read = ParseShortDate(text, settings, year{2026});  // four-digit years: any current year
    if (text.empty() || !read || std::floor(*read) != date) return false;
  }
  // Both halves of the day, every field unlike the others.
  const DateTime times[] = {EncodeTime(16, 7, 8), EncodeTime(9, 5, 4), EncodeTime(0, 59, 58)};
  for (const DateTime time : times) {
    const std::string text = FormatLongTime(time, settings);
    const auto read = ParseLongTime(text, settings);
    if (text.empty() || !read || std::abs(*read - time) * 86400.0 >= 0.5) return false;
  }
  return true;
}

FileFormats FileFormats::Read(const IniFile& file, const FormatSettings& current) {
  FileFormats formats;
  if (!file.SectionExists(kFormatsSection)) return formats;
  FormatSettings recorded = current;
  for (const RecordedField& entry : kRecordedFields) {
    const auto value = file.ReadValue(kFormatsSection, entry.key);
    if (!value || value->size() > kMaxRecordedLength) return formats;
    recorded.*entry.field = std::string(*value);
  }
  if (FormatsReadBack(recorded)) formats.recorded_ = std::move(recorded);
  return formats;
}

void FileFormats::Record(IniFile& file, const FormatSettings& settings) {
  for (const RecordedField& entry : kRecordedFields) {
    // Quoted: the reader strips blanks around a value, then one pair of quotes.
    file.WriteString(kFormatsSection, entry.key, '"' + settings.*entry.field + '"');
  }
}

std::optional<DateTime> FileFormats::ParseDate(std::string_view text, const FormatSettings& current,
                                               std::chrono::year currentYear) const {
  if (recorded_) {
    if (auto date = ParseShortDate(text, *recorded_, currentYear)) return date;
    if (SameDateFormat(*recorded_, current)) return std::nullopt;
  }
  return ParseShortDate(text, current, currentYear);
}

std::optional<DateTime> FileFormats::ParseTime(std::string_view text, const FormatSettings& current) const {
  if (recorded_) {
    if (auto time = ParseLongTime(text, *recorded_)) return time;
    if (SameTimeFormat(*recorded_, current)) return std::nullopt;
  }
  return ParseLongTime(text, current);
}

}  // namespace almanex
