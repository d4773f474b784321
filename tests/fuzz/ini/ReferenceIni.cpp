#include "tests/fuzz/ini/ReferenceIni.h"

namespace almanex::fuzz {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Fold(char c) {
  if (c == '\0') return ' ';
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

std::string TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string TrimBlanksAndNuls(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\0')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\0')) text.remove_suffix(1);
  return std::string(text);
}

std::string ReadableValue(std::string_view raw) {
  std::string value = TrimBlanks(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

/// The lines of the file: a line ends at LF, at CR LF or at CR; the last one may end without a break.
std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += c;
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

}  // namespace

bool ReferenceSameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::string ReferenceSectionName(std::string_view name) {
  std::string cleaned(name);
  for (char& c : cleaned) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return TrimBlanks(cleaned);
}

std::string ReferenceKeyName(std::string_view name) {
  std::string cleaned(name);
  for (char& c : cleaned) {
    if (c == '\r' || c == '\n' || c == '\0' || c == '=') c = ' ';
  }
  std::size_t begin = 0;
  while (begin < cleaned.size() && (IsBlank(cleaned[begin]) || cleaned[begin] == '[' || cleaned[begin] == ';')) {
    ++begin;
  }
  return TrimBlanks(std::string_view(cleaned).substr(begin));
}

std::string ReferenceReadBack(std::string_view writtenValue) {
  std::string cleaned(writtenValue);
  for (char& c : cleaned) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return ReadableValue(cleaned);
}

std::optional<std::int32_t> ReferenceInteger(std::string_view value) {
  std::string text = TrimBlanks(value);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  int base = 10;
  if (text.size() >= 1 && text[0] == '$') {
    base = 16;
    text.erase(0, 1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.erase(0, 2);
  }
  if (text.empty()) return std::nullopt;
  // Leading zeros add nothing; what remains must fit, so it is short.
  std::size_t significant = 0;
  while (significant + 1 < text.size() && text[significant] == '0') ++significant;
  const std::string digits = text.substr(significant);
  unsigned __int128 magnitude = 0;
  for (const char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
  }
  if (digits.size() > 12) return std::nullopt;
  for (const char c : digits) {
    const int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : c - 'A' + 10;
    magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
  }
  if (base == 16) {
    if (magnitude > 0xFFFFFFFFu) return std::nullopt;
    const std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
  }
  if (negative) {
    if (magnitude > 2147483648u) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 2147483647u) return std::nullopt;
  return static_cast<std::int32_t>(magnitude);
}

ReferenceIni::ReferenceIni(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  for (const std::string& line : Lines(bytes)) {
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size()) continue;
    if (line[first] == '[') {
      const std::string inner = line.substr(first + 1);
      const std::size_t close = inner.rfind(']');
      sections_.push_back(
          ReferenceSection{TrimBlanksAndNuls(close == std::string::npos ? inner : inner.substr(0, close)), {}});
      continue;
    }
    if (line[first] == ';' || sections_.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    sections_.back().entries.push_back(
        ReferenceEntry{TrimBlanksAndNuls(line.substr(0, equals)), line.substr(equals + 1)});
  }
}

std::vector<std::string> ReferenceIni::SectionNames() const {
  std::vector<std::string> names;
  for (const ReferenceSection& section : sections_) {
    bool seen = false;
    for (const std::string& name : names) seen = seen || ReferenceSameName(name, section.name);
    if (!seen) names.push_back(section.name);
  }
  return names;
}

std::vector<std::string> ReferenceIni::AllKeys() const {
  std::vector<std::string> keys;
  for (const ReferenceSection& section : sections_) {
    for (const ReferenceEntry& entry : section.entries) keys.push_back(entry.key);
  }
  return keys;
}

std::optional<std::string> ReferenceIni::Lookup(std::string_view section, std::string_view key) const {
  const std::string sectionName = ReferenceSectionName(section);
  const std::string keyName = ReferenceKeyName(key);
  for (const ReferenceSection& candidate : sections_) {
    if (!ReferenceSameName(candidate.name, sectionName)) continue;
    for (const ReferenceEntry& entry : candidate.entries) {
      if (ReferenceSameName(entry.key, keyName)) return ReadableValue(entry.rawValue);
    }
    return std::nullopt;  // only the first section of a name is read
  }
  return std::nullopt;
}

}  // namespace almanex::fuzz
