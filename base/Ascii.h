#pragma once
// ASCII character classes and case folding shared by every layer. Each name says exactly which bytes
// it covers: the file formats trim spaces and tabs only, while the date reader skips any control byte.

#include <cstddef>
#include <string_view>

namespace almanex {

/// ' ' or '\t': what the profile file and the settings store trim around names and values.
constexpr bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

/// A space or any control byte below it: what the date and time reader skips around its input.
constexpr bool IsSpaceOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

/// Whether the text holds nothing but spaces and tabs (true when empty).
constexpr bool IsAllSpaceOrTab(std::string_view text) {
  for (char c : text) {
    if (!IsSpaceOrTab(c)) return false;
  }
  return true;
}

/// The text without leading and trailing spaces and tabs.
constexpr std::string_view TrimSpaceOrTab(std::string_view text) {
  while (!text.empty() && IsSpaceOrTab(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpaceOrTab(text.back())) text.remove_suffix(1);
  return text;
}

/// The text without leading and trailing spaces and control bytes.
constexpr std::string_view TrimSpaceOrControl(std::string_view text) {
  while (!text.empty() && IsSpaceOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpaceOrControl(text.back())) text.remove_suffix(1);
  return text;
}

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

/// 'A'..'Z' lowered; every other byte, UTF-8 included, unchanged.
constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

/// Whether `text` begins with `prefix`, ASCII letters compared without regard to case.
constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (ToLowerAscii(text[i]) != ToLowerAscii(prefix[i])) return false;
  }
  return true;
}

/// The first position at or after `from` where `part` stands in `text`, ASCII letters compared without
/// regard to case; npos when it does not.
constexpr std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view part, std::size_t from = 0) {
  for (std::size_t i = from; i + part.size() <= text.size(); ++i) {
    if (StartsWithIgnoringAsciiCase(text.substr(i), part)) return i;
  }
  return std::string_view::npos;
}

}  // namespace almanex
