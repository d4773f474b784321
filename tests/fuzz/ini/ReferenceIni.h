#pragma once
// A slow reference reader of the profile file, written straight from the documented syntax in
// store/IniFile.h and nothing else: the file is cut into lines first, each line is classified on its
// own, every name is compared by folding both sides, and every lookup scans the whole list. The fuzz
// target holds IniFile against it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace almanex::fuzz {

struct ReferenceEntry {
  std::string key;
  std::string rawValue;  // everything after the first '='
};

struct ReferenceSection {
  std::string name;
  std::vector<ReferenceEntry> entries;
};

class ReferenceIni {
 public:
  explicit ReferenceIni(std::string_view bytes);

  /// Every section name in file order, a name repeated later (letter case ignored) listed once.
  std::vector<std::string> SectionNames() const;
  /// Every key of every section, in file order.
  std::vector<std::string> AllKeys() const;
  /// The value IniFile::ReadValue should give: names cleaned as a lookup cleans them, the first section
  /// of that name, its first entry of that key, blanks and one pair of quotes stripped.
  std::optional<std::string> Lookup(std::string_view section, std::string_view key) const;

 private:
  std::vector<ReferenceSection> sections_;
};

/// Whether two names are the same name: ASCII letters without regard to case, NUL the same as a blank.
bool ReferenceSameName(std::string_view a, std::string_view b);
/// A section name as a write or lookup cleans it.
std::string ReferenceSectionName(std::string_view name);
/// A key name as a write or lookup cleans it.
std::string ReferenceKeyName(std::string_view name);
/// A written value as it reads back: CR, LF and NUL as blanks, then blanks and one pair of quotes stripped.
std::string ReferenceReadBack(std::string_view writtenValue);
/// What IniFile::ReadInteger reads from a value: decimal in the 32-bit range, or 1 to 8 significant
/// hexadecimal digits after "$", "0x" or "0X", wrapping into 32 bits; a sign before either.
std::optional<std::int32_t> ReferenceInteger(std::string_view value);

}  // namespace almanex::fuzz
