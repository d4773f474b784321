#pragma once
// The regional formats for a program that does not link Qt (almanex-cli), from the same source as the
// window's: Qt's locale data through FormatSettingsFromLocale (platform/locale/LocaleBridge.h).
//
// Loading Qt Core and running its static initialisation costs a few milliseconds, more than the rest of
// a short command. So the formats built for a locale are kept in a small text file under
// $XDG_CACHE_HOME/Almanex (~/.cache/Almanex when that is unset or not absolute), and Qt is loaded only
// when that file is missing or does not fit: the builder is a module (almanex-locale-formats.so, which
// links Qt Core) loaded with dlopen on a miss, never at start.
//
// A cache file is used only when it is whole and was built for the same locale settings by the same
// module and the same Qt Core library (their size and modification time are recorded and compared with
// the files on disk); anything else is a miss: the formats are built anew and the file replaced.
// A cache that cannot be written costs only speed.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "datetime/FormatSettings.h"

namespace almanex {

/// The locale name is not one Qt knows (it would fall back to C and change every date).
class EUnknownLocale : public std::runtime_error {
 public:
  explicit EUnknownLocale(const std::string& name);
};

/// Neither a valid cache file nor the builder module could give the formats.
class ELocaleFormatsUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Where the cache files are and where the builder module is.
struct LocaleFormatsSource {
  /// The folder of the cache files; empty: no cache (every run builds).
  std::string cacheFolder;
  /// The builder module; empty when none was found (a valid cache file still serves).
  std::string modulePath;
};

/// $XDG_CACHE_HOME/Almanex, and the module beside the running executable or in ../lib/almanex from it.
LocaleFormatsSource DefaultLocaleFormatsSource();

/// The formats of the locale `name` (nothing: the user's locale, as the environment sets it), from the
/// cache when it fits, else from the module, then stored in the cache. Throws EUnknownLocale or
/// ELocaleFormatsUnavailable.
FormatSettings CachedFormatSettings(const std::optional<std::string>& name, const LocaleFormatsSource& source);

/// What a cache file is kept under: "name <name>", or for the user's locale "system" and the locale
/// variables of the environment that decide the formats. Nothing when a value holds a control
/// character (such a key is never cached).
std::optional<std::string> LocaleCacheKey(const std::optional<std::string>& name);
/// The cache file's name for a key: "Formats-<readable part of the name>-<hash of the key>.txt".
std::string LocaleCacheFileName(std::string_view key, const std::optional<std::string>& name);

/// A file the cache depends on, as recorded: its size and modification time.
struct FileStamp {
  std::string path;
  std::int64_t size = -1;
  std::int64_t modified = 0;  // nanoseconds since the epoch
  bool operator==(const FileStamp&) const = default;
};
/// The stamp of the file at path; size -1 when it cannot be read.
FileStamp StampOf(const std::string& path);

/// What one cache file holds.
struct LocaleCacheEntry {
  std::string key;
  FileStamp module;
  FileStamp qtCore;
  FormatSettings settings;
};
/// The text of a cache file: a header line, one "Name=value" line each, and a check line over
/// everything before it. Values are escaped (\\, \n, \r, \xHH), so each stays on its line.
std::string LocaleCacheText(const LocaleCacheEntry& entry);
/// The entry of a cache file's text; nothing when the text is not whole and exactly in that form.
std::optional<LocaleCacheEntry> ParseLocaleCacheText(std::string_view text);

/// Every text of the formats with its name in the cache file, in file order. The builder module hands
/// the formats over by these names too.
inline std::vector<std::pair<std::string, std::string*>> FormatSettingsFields(FormatSettings& s) {
  std::vector<std::pair<std::string, std::string*>> fields{
      {"ShortDateFormat", &s.shortDateFormat},  {"LongDateFormat", &s.longDateFormat},
      {"LongTimeFormat", &s.longTimeFormat},    {"DateSeparator", &s.dateSeparator},
      {"TimeSeparator", &s.timeSeparator},      {"TimeAMString", &s.timeAmString},
      {"TimePMString", &s.timePmString},        {"ThousandSeparator", &s.thousandSeparator},
      {"DecimalSeparator", &s.decimalSeparator}};
  const auto add = [&fields](const char* name, auto& names) {
    for (std::size_t i = 0; i < names.size(); ++i) fields.emplace_back(name + std::to_string(i + 1), &names[i]);
  };
  add("ShortMonthName", s.shortMonthNames);
  add("LongMonthName", s.longMonthNames);
  add("ShortDayName", s.shortDayNames);
  add("LongDayName", s.longDayNames);
  return fields;
}

/// The entry point of the builder module, in plain C: almanex-cli carries its own copy of the C++
/// library, so no C++ object crosses between the two. It builds the formats of the locale named (null:
/// QLocale::system()) and calls put once for each of FormatSettingsFields, then once with "QtCore" and
/// the file of the Qt Core library it runs on. Returns 0, or 1 for a name Qt does not know.
using LocaleFormatsPut = void (*)(void* context, const char* field, const char* value);
using LocaleFormatsBuilder = int (*)(const char* name, LocaleFormatsPut put, void* context);
/// The field that names the Qt Core library.
inline constexpr const char* kQtCoreField = "QtCore";
/// The symbol the module exports it under; a change of its signature changes the name.
inline constexpr const char* kLocaleFormatsBuilderSymbol = "almanex_locale_formats_v2";
/// The module's file name.
inline constexpr const char* kLocaleFormatsModuleName = "almanex-locale-formats.so";

}  // namespace almanex
