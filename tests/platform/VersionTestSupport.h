#pragma once
// Small ELF files with sections of the tests' choosing, and the version blocks to put in them.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/VerInfoUnit.h"
#include "version-block/VersionBlockWriter.h"

namespace almanex::test {

struct ElfShape {
  bool wide = true;  ///< ELFCLASS64, else ELFCLASS32
  bool bigEndian = false;
};

/// An ELF file: its bytes, and where its section header table lies.
struct ElfImage {
  std::string bytes;
  std::size_t sectionTableOffset = 0;
  std::size_t entrySize = 0;

  /// Overwrites a field of section header `index` (`width` bytes at `fieldOffset`, in the file's byte order).
  void PatchSectionField(std::size_t index, std::size_t fieldOffset, std::size_t width, std::uint64_t value,
                         bool bigEndian = false) {
    const std::size_t at = sectionTableOffset + index * entrySize + fieldOffset;
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t shift = 8 * (bigEndian ? width - 1 - i : i);
      bytes[at + i] = static_cast<char>((value >> shift) & 0xFF);
    }
  }
};

/// An executable with no program headers and the given sections (PROGBITS, indices from 1 in this
/// order), followed by ".shstrtab".
inline ElfImage MakeElf(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& sections,
                        ElfShape shape = {}) {
  std::string out;
  auto put = [&](std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t shift = 8 * (shape.bigEndian ? width - 1 - i : i);
      out += static_cast<char>((value >> shift) & 0xFF);
    }
  };
  const std::size_t headerSize = shape.wide ? 64 : 52;
  const std::size_t entrySize = shape.wide ? 64 : 40;
  const std::size_t word = shape.wide ? 8 : 4;

  std::string names(1, '\0');
  std::vector<std::uint64_t> nameOffsets;
  for (const auto& section : sections) {
    nameOffsets.push_back(names.size());
    names += section.first + '\0';
  }
  const std::uint64_t namesName = names.size();
  names += ".shstrtab";
  names += '\0';

  std::string data;
  std::vector<std::uint64_t> dataOffsets;
  for (const auto& section : sections) {
    while (data.size() % 4 != 0) data += '\0';
    dataOffsets.push_back(headerSize + data.size());
    data.append(section.second.begin(), section.second.end());
  }
  const std::uint64_t namesOffset = headerSize + data.size();
  data += names;
  while (data.size() % 8 != 0) data += '\0';
  const std::uint64_t tableOffset = headerSize + data.size();
  const std::size_t count = sections.size() + 2;

  out +=
      "\x7F"
      "ELF";
  out += static_cast<char>(shape.wide ? 2 : 1);
  out += static_cast<char>(shape.bigEndian ? 2 : 1);
  out += '\x01';
  out.append(9, '\0');
  put(2, 2);                    // e_type: executable
  put(shape.wide ? 62 : 3, 2);  // e_machine
  put(1, 4);                    // e_version
  put(0, word);                 // e_entry
  put(0, word);                 // e_phoff
  put(tableOffset, word);       // e_shoff
  put(0, 4);                    // e_flags
  put(headerSize, 2);
  put(0, 2);  // e_phentsize
  put(0, 2);  // e_phnum
  put(entrySize, 2);
  put(count, 2);
  put(count - 1, 2);  // e_shstrndx
  out += data;

  auto putSection = [&](std::uint64_t name, std::uint32_t type, std::uint64_t offset, std::uint64_t size) {
    put(name, 4);
    put(type, 4);
    put(0, word);  // flags
    put(0, word);  // address
    put(offset, word);
    put(size, word);
    put(0, 4);     // link
    put(0, 4);     // info
    put(1, word);  // alignment
    put(0, word);  // entry size
  };
  putSection(0, 0, 0, 0);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    putSection(nameOffsets[i], 1, dataOffsets[i], sections[i].second.size());
  }
  putSection(namesName, 3, namesOffset, names.size());
  return ElfImage{out, static_cast<std::size_t>(tableOffset), entrySize};
}

/// An ELF file whose version section holds `block`.
inline ElfImage MakeElfWithVersionBlock(const std::vector<std::uint8_t>& block, ElfShape shape = {}) {
  return MakeElf({{".text", {0xC3}}, {std::string(kVersionSectionName), block}, {".data", {1, 2, 3, 4}}}, shape);
}

/// The block of a typical executable.
inline version_block::VersionContents TypicalContents(version_block::VersionParts version = {7, 0, 0, 174},
                                                      version_block::Translation translation = {0x0409, 0x04E4}) {
  version_block::VersionContents contents;
  contents.fileVersion = version;
  contents.productVersion = version;
  contents.translations = {translation};
  contents.strings = {{"CompanyName", "Quorvel"},
                      {"FileDescription", "Almanex"},
                      {"LegalCopyright", "Copyright \xC2\xA9 2026 Quorvel"},
                      {"ProductName", "Almanex"}};
  return contents;
}

}  // namespace almanex::test
