#include "JsonLine.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "base/DecimalText.h"
#include "base/TextEncoding.h"

namespace almanex::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendValidUtf8(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\b':
        out += "\\b";
        continue;
      case '\f':
        out += "\\f";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
      continue;
    }
    // The C1 controls U+0080 to U+009F (C2 80 to C2 9F) are escaped too: a terminal may act on them.
    if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      const auto code = static_cast<unsigned char>(text[i + 1]);
      out += "\\u00";
      out += kHexDigits[code >> 4];
      out += kHexDigits[code & 0xF];
      ++i;
      continue;
    }
    // U+2028 and U+2029 are E2 80 A8 and E2 80 A9.
    if (byte == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
      continue;
    }
    out += text[i];
  }
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  if (IsValidUtf8(text)) {
    AppendValidUtf8(out, text);
  } else {
    AppendValidUtf8(out, Windows1252ToUtf8(text));
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  out += ShortestText(value);
}

void JsonLine::Name(std::string_view name) {
  if (text_.size() > 1) text_ += ',';
  AppendJsonString(text_, name);
  text_ += ':';
}

JsonLine& JsonLine::String(std::string_view name, std::string_view value) {
  Name(name);
  AppendJsonString(text_, value);
  return *this;
}

JsonLine& JsonLine::Number(std::string_view name, double value) {
  Name(name);
  AppendJsonNumber(text_, value);
  return *this;
}

JsonLine& JsonLine::Bool(std::string_view name, bool value) {
  Name(name);
  text_ += value ? "true" : "false";
  return *this;
}

JsonLine& JsonLine::Null(std::string_view name) {
  Name(name);
  text_ += "null";
  return *this;
}

std::string JsonLine::Finish() && {
  text_ += "}\n";
  return std::move(text_);
}

}  // namespace almanex::cli
