#pragma once
// How the keys of an event section travel in X-ALMANEX-* properties of a VEVENT: one property per key
// present in the section, named X-ALMANEX- and the key in capitals, with a value that does not depend
// on the user's regional formats (dates as YYYYMMDD, times as HHMMSS or HHMMSS.mmm, whole numbers in
// decimal, booleans as 0 or 1, texts as UTF-8). `Reminded` is left out: it is the state of one day,
// and an imported event starts unreminded.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {
class IniFile;
}

namespace almanex::calendar {

/// The property that names the section the event came from.
inline constexpr std::string_view kSectionProperty = "X-ALMANEX-SECTION";
/// The start of every property that carries a key.
inline constexpr std::string_view kKeyPropertyPrefix = "X-ALMANEX-";

enum class KeyForm { Text, Integer, Bool, Date, Time };

struct RecordKey {
  std::string_view key;       ///< the key as written into the section
  std::string_view property;  ///< the X-ALMANEX-* property
  KeyForm form;
};

/// Every key the export carries, in the order an import writes them (the event dialog's order; the
/// pattern keys after RPRecurrenceType in one fixed order).
extern const std::array<RecordKey, 31> kRecordKeys;

/// The key's value in the section as the property value; nothing when the key is absent, or holds a
/// value its readers cannot parse (they then take their default, as they would for an absent key) or
/// an empty text.
std::optional<std::string> ExportedValue(const IniFile& file, std::string_view section, const RecordKey& key,
                                         DateTime now, const FormatSettings& settings);

/// Writes the property value back into the section under the key. False, and nothing written, when
/// the value does not have the key's form.
bool WriteImportedValue(IniFile& file, std::string_view section, const RecordKey& key, std::string_view value,
                        const FormatSettings& settings);

/// Whether the property value has the key's form, so that WriteImportedValue takes it.
bool IsValidImportedValue(const RecordKey& key, std::string_view value);
/// "a date YYYYMMDD", "a time HHMMSS", ...: the form as a message names it.
const char* KeyFormName(KeyForm form);

/// "YYYYMMDD" of the value's date.
std::string CompactDate(DateTime day);
/// "YYYY-MM-DD" of the value's date.
std::string IsoDate(DateTime day);

}  // namespace almanex::calendar
