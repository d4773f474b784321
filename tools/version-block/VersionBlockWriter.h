#pragma once
// Writes VS_VERSIONINFO blocks in their published binary layout (described in platform/VerInfoUnit.h).
// The build uses it to stamp every executable; the tests use it to make blocks of their own.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace almanex::version_block {

/// One block of the tree. A text value (type 1) is written as UTF-16LE with its NUL and counted in
/// UTF-16 units; a binary value (type 0) is written as it is and counted in bytes.
struct VersionNode {
  std::string key;  ///< UTF-8
  std::uint16_t type = 1;
  std::optional<std::string> textValue;   ///< UTF-8; written when set
  std::vector<std::uint8_t> binaryValue;  ///< written when textValue is not set
  std::vector<VersionNode> children;
};

/// Serializes the tree, the root at offset 0. Throws std::invalid_argument for a text that is not valid
/// UTF-8 and for a key that holds a NUL (a key ends at its NUL), and std::length_error for a block
/// longer than its 16-bit length field allows.
std::vector<std::uint8_t> Serialize(const VersionNode& root);

/// Four 16-bit parts, most significant first (2.0.0.174).
using VersionParts = std::array<std::uint16_t, 4>;

/// The 52 bytes of the fixed file information: the signature, structure version 1.0, file and product
/// version, no flags, an application for an unnamed operating system, with no file date.
std::vector<std::uint8_t> FixedFileInfo(const VersionParts& fileVersion, const VersionParts& productVersion);

struct Translation {
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
};

/// What one executable's block holds. Every translation gets a string table with `strings`.
struct VersionContents {
  VersionParts fileVersion{};
  VersionParts productVersion{};
  std::vector<Translation> translations;
  std::vector<std::pair<std::string, std::string>> strings;  ///< key, value, in this order
};

/// The standard tree: "VS_VERSION_INFO" with the fixed file information, "StringFileInfo" with one
/// table per translation (named by its eight capital hexadecimal digits), "VarFileInfo" with
/// "Translation". Tests edit the tree before serializing it to make broken blocks.
VersionNode MakeVersionInfo(const VersionContents& contents);

/// "%.4X%.4X" of language and code page: "040904E4".
std::string TableName(const Translation& translation);

}  // namespace almanex::version_block
