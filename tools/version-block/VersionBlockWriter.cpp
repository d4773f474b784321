#include "VersionBlockWriter.h"

#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace almanex::version_block {

namespace {

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutDoubleWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutWord(out, static_cast<std::uint16_t>(value & 0xFFFF));
  PutWord(out, static_cast<std::uint16_t>(value >> 16));
}

void SetWord(std::vector<std::uint8_t>& out, std::size_t offset, std::uint16_t value) {
  out[offset] = static_cast<std::uint8_t>(value & 0xFF);
  out[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PadTo32Bits(std::vector<std::uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

/// UTF-8 to UTF-16 code units; throws on anything that is not valid UTF-8.
std::vector<std::uint16_t> ToUtf16(std::string_view text) {
  std::vector<std::uint16_t> units;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      throw std::invalid_argument("not UTF-8");
    }
    if (i + length > text.size()) throw std::invalid_argument("not UTF-8");
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw std::invalid_argument("not UTF-8");
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      throw std::invalid_argument("not UTF-8");
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<std::uint16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<std::uint16_t>(code));
    }
    i += length;
  }
  return units;
}

void PutText(std::vector<std::uint8_t>& out, const std::vector<std::uint16_t>& units) {
  for (const std::uint16_t unit : units) PutWord(out, unit);
  PutWord(out, 0);
}

void SerializeInto(const VersionNode& node, std::vector<std::uint8_t>& out) {
  const std::size_t begin = out.size();
  PutWord(out, 0);  // wLength, set below
  PutWord(out, 0);  // wValueLength, set below
  PutWord(out, node.type);
  // A reader ends the key at its first NUL and looks for the value right after it: a NUL inside the
  // key would move the value and every child for the reader.
  if (node.key.find('\0') != std::string::npos) throw std::invalid_argument("NUL in a key");
  PutText(out, ToUtf16(node.key));
  PadTo32Bits(out);
  std::size_t valueLength = 0;
  if (node.textValue) {
    const auto units = ToUtf16(*node.textValue);
    PutText(out, units);
    valueLength = units.size() + 1;
  } else {
    out.insert(out.end(), node.binaryValue.begin(), node.binaryValue.end());
    valueLength = node.binaryValue.size();
  }
  for (const VersionNode& child : node.children) {
    PadTo32Bits(out);
    SerializeInto(child, out);
  }
  // The length leaves out the padding after the block: the next sibling starts at the next boundary.
  const std::size_t length = out.size() - begin;
  if (length > std::numeric_limits<std::uint16_t>::max() || valueLength > std::numeric_limits<std::uint16_t>::max()) {
    throw std::length_error("version block too long");
  }
  SetWord(out, begin, static_cast<std::uint16_t>(length));
  SetWord(out, begin + 2, static_cast<std::uint16_t>(valueLength));
}

std::uint32_t High(const VersionParts& parts) { return (static_cast<std::uint32_t>(parts[0]) << 16) | parts[1]; }
std::uint32_t Low(const VersionParts& parts) { return (static_cast<std::uint32_t>(parts[2]) << 16) | parts[3]; }

}  // namespace

std::vector<std::uint8_t> Serialize(const VersionNode& root) {
  std::vector<std::uint8_t> out;
  SerializeInto(root, out);
  return out;
}

std::vector<std::uint8_t> FixedFileInfo(const VersionParts& fileVersion, const VersionParts& productVersion) {
  constexpr std::uint32_t kSignature = 0xFEEF04BDU;
  constexpr std::uint32_t kStructureVersion = 0x00010000U;  // 1.0
  constexpr std::uint32_t kFlagsMask = 0x3FU;
  constexpr std::uint32_t kOperatingSystemUnknown = 0;  // the layout names no value for Linux
  constexpr std::uint32_t kApplication = 0x00000001U;   // VFT_APP
  std::vector<std::uint8_t> out;
  for (const std::uint32_t word :
       {kSignature, kStructureVersion, High(fileVersion), Low(fileVersion), High(productVersion), Low(productVersion),
        kFlagsMask, 0U, kOperatingSystemUnknown, kApplication, 0U, 0U, 0U}) {
    PutDoubleWord(out, word);
  }
  return out;
}

std::string TableName(const Translation& translation) {
  char name[16];
  std::snprintf(name, sizeof name, "%.4X%.4X", static_cast<unsigned>(translation.language),
                static_cast<unsigned>(translation.codePage));
  return name;
}

VersionNode MakeVersionInfo(const VersionContents& contents) {
  VersionNode root{
      "VS_VERSION_INFO", 0, std::nullopt, FixedFileInfo(contents.fileVersion, contents.productVersion), {}};
  VersionNode stringInfo{"StringFileInfo", 1, std::nullopt, {}, {}};
  VersionNode translationValue{"Translation", 0, std::nullopt, {}, {}};
  for (const Translation& translation : contents.translations) {
    VersionNode table{TableName(translation), 1, std::nullopt, {}, {}};
    for (const auto& [key, value] : contents.strings) table.children.push_back({key, 1, value, {}, {}});
    stringInfo.children.push_back(std::move(table));
    PutWord(translationValue.binaryValue, translation.language);
    PutWord(translationValue.binaryValue, translation.codePage);
  }
  root.children.push_back(std::move(stringInfo));
  root.children.push_back(VersionNode{"VarFileInfo", 1, std::nullopt, {}, {std::move(translationValue)}});
  return root;
}

}  // namespace almanex::version_block
