#pragma once
// One JSON object on one line, as status-bar modules and scripts read almanex-cli's --json output.
//
// Strings are always valid JSON and valid UTF-8: '"' and '\' are escaped, every control character
// (U+0000 to U+001F and U+007F) is written as \b, \f, \n, \r, \t or \u00XX, and U+2028 and U+2029 as
// \u2028 and \u2029 (JavaScript readers end a line there). A text that is not valid UTF-8 (a name
// written under a Windows code page) is read as Windows-1252, as the program shows it. Numbers are
// written in the shortest form that reads back to the same double; a NaN or an infinity is null.

#include <string>
#include <string_view>

namespace almanex::cli {

/// Appends `text` as a quoted JSON string.
void AppendJsonString(std::string& out, std::string_view text);
/// Appends `value` as a JSON number, or null when it is not finite.
void AppendJsonNumber(std::string& out, double value);

/// Builds one object, member by member, in the order the members are added.
class JsonLine {
 public:
  JsonLine& String(std::string_view name, std::string_view value);
  JsonLine& Number(std::string_view name, double value);
  JsonLine& Bool(std::string_view name, bool value);
  JsonLine& Null(std::string_view name);
  /// The object closed and followed by LF.
  std::string Finish() &&;

 private:
  void Name(std::string_view name);
  std::string text_ = "{";
};

}  // namespace almanex::cli
