// Fuzz target: the version block reader (platform/core/VerInfoUnit.h) and its writer
// (tools/version-block).
//
// The first byte picks what the rest is:
//   0  a version block: every query stays inside it and gives valid UTF-8 text;
//   1  a file: ReadVersionSection and TVerInfoRes read it as an ELF file, failing only as documented;
//   2  contents for the writer: records separated by RS, the first holding the version numbers and the
//      translations as bytes, each further one a string as key <US> value. The block written reads back
//      (every string, the translations, the fixed file information), straight and from an ELF file of
//      32 or 64 bits in either byte order (picked by bits 2 and 3 of the first byte).

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/TextEncoding.h"
#include "platform/core/VerInfoUnit.h"
#include "tests/fuzz/FuzzSupport.h"
#include "version-block/VersionBlockWriter.h"

namespace almanex::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace vb = version_block;

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

/// A minimal ELF file: the null section, the section-name table and the version section.
class ElfWriter {
 public:
  ElfWriter(bool wide, bool bigEndian) : wide_(wide), bigEndian_(bigEndian) {}

  Bytes Wrap(const Bytes& block) {
    const std::string names = std::string(1, '\0') + ".shstrtab" + '\0' + std::string(kVersionSectionName) + '\0';
    const std::size_t headerSize = wide_ ? 64 : 52;
    const std::size_t entrySize = wide_ ? 64 : 40;
    const std::size_t namesOffset = headerSize;
    const std::size_t blockOffset = (namesOffset + names.size() + 7) & ~std::size_t{7};
    const std::size_t tableOffset = (blockOffset + block.size() + 7) & ~std::size_t{7};
    out_.assign(tableOffset + 3 * entrySize, 0);
    const std::uint8_t ident[] = {
        0x7F, 'E', 'L', 'F', static_cast<std::uint8_t>(wide_ ? 2 : 1), static_cast<std::uint8_t>(bigEndian_ ? 2 : 1),
        1};
    std::copy(std::begin(ident), std::end(ident), out_.begin());
    Put(0x10, 2, 1);   // e_type: relocatable
    Put(0x12, 2, 62);  // e_machine
    Put(0x14, 4, 1);   // e_version
    Put(wide_ ? 0x28 : 0x20, wide_ ? 8 : 4, tableOffset);
    Put(wide_ ? 0x34 : 0x28, 2, headerSize);
    Put(wide_ ? 0x3A : 0x2E, 2, entrySize);
    Put(wide_ ? 0x3C : 0x30, 2, 3);
    Put(wide_ ? 0x3E : 0x32, 2, 1);
    std::copy(names.begin(), names.end(), out_.begin() + static_cast<std::ptrdiff_t>(namesOffset));
    std::copy(block.begin(), block.end(), out_.begin() + static_cast<std::ptrdiff_t>(blockOffset));
    Section(tableOffset + entrySize, 1, 3, namesOffset, names.size());
    Section(tableOffset + 2 * entrySize, 11, 1, blockOffset, block.size());
    return out_;
  }

 private:
  void Put(std::size_t at, std::size_t width, std::uint64_t value) {
    for (std::size_t i = 0; i < width; ++i) {
      out_[at + (bigEndian_ ? width - 1 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  }
  void Section(std::size_t at, std::uint32_t name, std::uint32_t type, std::size_t offset, std::size_t size) {
    Put(at, 4, name);
    Put(at + 4, 4, type);
    Put(at + (wide_ ? 0x18 : 0x10), wide_ ? 8 : 4, offset);
    Put(at + (wide_ ? 0x20 : 0x14), wide_ ? 8 : 4, size);
  }

  bool wide_;
  bool bigEndian_;
  Bytes out_;
};

void QueryBlock(std::span<const std::uint8_t> block) {
  static const char* const kPaths[] = {"\\",
                                       "",
                                       "\\VarFileInfo\\Translation",
                                       "\\StringFileInfo",
                                       "\\\\StringFileInfo\\\\040904E4\\\\CompanyName",
                                       "\\StringFileInfo\\040904E4\\FileVersion",
                                       "StringFileInfo\\040904b0\\ProductName\\"};
  for (const char* path : kPaths) {
    const auto value = QueryVersionValue(block, path);
    if (!value) continue;
    ALMANEX_FUZZ_CHECK(value->data() >= block.data() && value->data() + value->size() <= block.data() + block.size(),
                       std::string("the value of ") + path + " lies outside the block");
    ALMANEX_FUZZ_CHECK(IsValidUtf8(Utf16ValueToUtf8(*value)), std::string("the text of ") + path + " is not UTF-8");
  }
}

void ReadFile(const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchFolder() + "/program";
  WriteFile(path, data, size);
  const VersionSection section = ReadVersionSection(path);
  ALMANEX_FUZZ_CHECK(section.bytes.size() <= 0x10000, "more than 64 KiB read");
  ALMANEX_FUZZ_CHECK((section.status == VersionSection::Status::Found) == !section.bytes.empty(),
                     "a section found empty, or bytes of a section not found");
  if (section.status == VersionSection::Status::Found) QueryBlock(section.bytes);
  try {
    const TVerInfoRes info(path);
    (void)info.GetFileVersionText();
    (void)info.GetBuildNumberText();
    ALMANEX_FUZZ_CHECK(IsValidUtf8(info.GetVersionString("CompanyName")), "a version string is not UTF-8");
  } catch (const ENoVerInfoError&) {
  } catch (const EVerInfoError&) {
  } catch (const eNoFixeVerInfo&) {
  }
}

/// A key the reader can find by its name: ASCII without backslash, the first of its name.
bool Findable(const std::vector<std::pair<std::string, std::string>>& strings, std::size_t index) {
  const std::string& key = strings[index].first;
  if (key.empty()) return false;
  for (const char c : key) {
    if (c == '\\' || static_cast<unsigned char>(c) > 0x7F) return false;
  }
  const auto same = [](const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
  };
  for (std::size_t earlier = 0; earlier < index; ++earlier) {
    if (same(strings[earlier].first, key)) return false;
  }
  return true;
}

void RoundTrip(std::uint8_t selector, std::string_view input) {
  const std::vector<std::string_view> records = Split(input, kRecordSeparator);
  std::string numbers(records[0]);
  numbers.resize(16 + 1 + 12, '\0');
  const auto word = [&numbers](std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(numbers[at]) |
                                      (static_cast<unsigned char>(numbers[at + 1]) << 8));
  };
  vb::VersionContents contents;
  for (std::size_t i = 0; i < 4; ++i) {
    contents.fileVersion[i] = word(2 * i);
    contents.productVersion[i] = word(8 + 2 * i);
  }
  const std::size_t translations = 1 + static_cast<unsigned char>(numbers[16]) % 3;
  for (std::size_t i = 0; i < translations; ++i) {
    contents.translations.push_back(vb::Translation{word(17 + 4 * i), word(19 + 4 * i)});
  }
  bool allText = true;
  for (std::size_t i = 1; i < records.size() && contents.strings.size() < 24; ++i) {
    const std::vector<std::string_view> fields = Split(records[i], kFieldSeparator);
    contents.strings.emplace_back(fields[0], fields.size() > 1 ? fields[1] : std::string_view());
    const auto& [key, value] = contents.strings.back();
    allText = allText && IsValidUtf8(key) && IsValidUtf8(value) && key.find('\0') == std::string::npos;
  }

  Bytes block;
  try {
    block = vb::Serialize(vb::MakeVersionInfo(contents));
  } catch (const std::invalid_argument&) {
    ALMANEX_FUZZ_CHECK(!allText, "valid UTF-8 refused by the writer (keys without NUL)");
    return;
  } catch (const std::length_error&) {
    return;
  }
  ALMANEX_FUZZ_CHECK(allText, "text that is not UTF-8, or a key with a NUL, accepted by the writer");

  const auto fixed = QueryVersionValue(block, "\\");
  const Bytes fixedWritten = vb::FixedFileInfo(contents.fileVersion, contents.productVersion);
  ALMANEX_FUZZ_CHECK(fixed && std::equal(fixed->begin(), fixed->end(), fixedWritten.begin(), fixedWritten.end()),
                     "the fixed file information does not read back: " +
                         (fixed ? std::to_string(fixed->size()) + " bytes" : std::string("none")) + " in a block of " +
                         std::to_string(block.size()));
  const auto translationValue = QueryVersionValue(block, "\\VarFileInfo\\Translation");
  ALMANEX_FUZZ_CHECK(translationValue && translationValue->size() == 4 * translations,
                     "the translations do not read back");
  for (std::size_t i = 0; i < translations; ++i) {
    const auto& t = contents.translations[i];
    const std::uint8_t* at = translationValue->data() + 4 * i;
    ALMANEX_FUZZ_CHECK((at[0] | (at[1] << 8)) == t.language && (at[2] | (at[3] << 8)) == t.codePage,
                       "a translation does not read back");
  }
  for (std::size_t i = 0; i < contents.strings.size(); ++i) {
    if (!Findable(contents.strings, i)) continue;
    const auto& [key, value] = contents.strings[i];
    const std::string expected = value.substr(0, value.find('\0'));
    for (const vb::Translation& translation : contents.translations) {
      const std::string path = "\\StringFileInfo\\" + vb::TableName(translation) + "\\" + key;
      const auto found = QueryVersionValue(block, path);
      ALMANEX_FUZZ_CHECK(found && Utf16ValueToUtf8(*found) == expected,
                         "\"" + Escaped(key) + "\" does not read back as \"" + Escaped(expected) + "\"");
    }
  }

  const Bytes file = ElfWriter((selector & 4) != 0, (selector & 8) != 0).Wrap(block);
  const std::string path = ScratchFolder() + "/program";
  WriteFile(path, file.data(), file.size());
  const TVerInfoRes info(path);
  ALMANEX_FUZZ_CHECK(info.GetFileVersionText() ==
                         std::to_string(contents.fileVersion[0]) + "." + std::to_string(contents.fileVersion[1]),
                     "the file version does not read back from the ELF file");
  ALMANEX_FUZZ_CHECK(info.GetBuildNumberText() == std::to_string(contents.fileVersion[3]),
                     "the build number does not read back from the ELF file");
  for (std::size_t i = 0; i < contents.strings.size(); ++i) {
    if (!Findable(contents.strings, i)) continue;
    const auto& [key, value] = contents.strings[i];
    ALMANEX_FUZZ_CHECK(info.GetVersionString(key) == value.substr(0, value.find('\0')),
                       "\"" + Escaped(key) + "\" does not read back from the ELF file");
  }
}

}  // namespace
}  // namespace almanex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace almanex::fuzz;
  if (size == 0) return 0;
  switch (data[0] % 3) {
    case 0:
      QueryBlock(std::span<const std::uint8_t>(data + 1, size - 1));
      break;
    case 1:
      ReadFile(data + 1, size - 1);
      break;
    default:
      RoundTrip(data[0], AsText(data + 1, size - 1));
      break;
  }
  return 0;
}
