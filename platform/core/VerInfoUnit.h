#pragma once
// The version information of an executable: a VS_VERSIONINFO block, in its published binary layout,
// stored in the ELF section ".almanex_version" of the file. The build writes that section into almanex
// and almanex-cli (tools/version-block); TVerInfoRes reads it back from any file.
//
// Plain C++ only (no Qt), so that command-line tools can link it without any user-interface library.
//
// Layout of one block, all numbers little-endian, every block starting on a 32-bit boundary:
//   uint16 wLength       bytes of the block with its children, without the padding after it
//   uint16 wValueLength  bytes of a binary value (wType 0), UTF-16 units with the NUL of a text value (wType 1)
//   uint16 wType
//   char16 szKey[]       UTF-16LE, NUL-terminated, then padding to 32 bits
//   value                then padding to 32 bits
//   children             each a block, each starting on a 32-bit boundary
// The root is "VS_VERSION_INFO" with the 52-byte fixed file information as its value; its children are
// "StringFileInfo" (string tables named by language and code page as eight hexadecimal digits, holding one
// "String" block per key) and "VarFileInfo" (the "Translation" value: 32-bit entries, language in the low
// and code page in the high 16 bits).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace almanex {

/// The ELF section that holds the block.
inline constexpr std::string_view kVersionSectionName = ".almanex_version";
/// The first 32-bit word of the fixed file information.
inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BDU;
/// The size of the fixed file information: thirteen 32-bit words.
inline constexpr std::size_t kFixedFileInfoSize = 52;

/// The file carries no version information at all.
class ENoVerInfoError : public std::runtime_error {
 public:
  ENoVerInfoError() : std::runtime_error("No Version Info Available.") {}
};

/// The version information is there but cannot be used; the message says why.
class EVerInfoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The root block has no complete fixed file information.
class eNoFixeVerInfo : public std::runtime_error {
 public:
  eNoFixeVerInfo() : std::runtime_error("No fixed file info") {}
};

/// What the version section of a file gave.
struct VersionSection {
  enum class Status {
    Absent,      ///< no such file, not an ELF file, no section, or an empty one
    Unreadable,  ///< the section headers point outside the file, or reading failed
    Found,
  };
  Status status = Status::Absent;
  std::vector<std::uint8_t> bytes;
};

/// Reads the version section of an ELF file (32 or 64 bits, either byte order). At most 64 KiB are
/// read: a block cannot be longer, its length being a 16-bit number.
VersionSection ReadVersionSection(const std::string& fileName);

/// The value stored under `path` ("\" the root value, "\VarFileInfo\Translation",
/// "\StringFileInfo\040904E4\LegalCopyright"; names compared without regard to ASCII case). The span lies
/// inside `block`; a text value spans its UTF-16 units, NUL included when stored. nullopt when the path
/// does not lead to a block. Garbled lengths never lead outside `block`.
std::optional<std::span<const std::uint8_t>> QueryVersionValue(std::span<const std::uint8_t> block,
                                                               std::string_view path);

/// The UTF-8 text of a UTF-16LE value, up to its first NUL; unpaired surrogates become U+FFFD.
std::string Utf16ValueToUtf8(std::span<const std::uint8_t> value);

/// The build number as the about box shows it: thousands, a point, and the rest, both in plain decimal
/// (174 gives "0.174", 1005 gives "1.5", 1500 gives "1.500").
std::string FormatBuildText(int buildNumber);

/// "<program> 2.0 (Build 0.174)": what --version prints, from the version information of `fileName`.
/// Throws as TVerInfoRes does.
std::string VersionLine(std::string_view program, const std::string& fileName);

/// The version information of one file, read once when the object is made.
class TVerInfoRes {
 public:
  /// Throws ENoVerInfoError when the file has no version section, EVerInfoError "Cannot obtain version
  /// info." when it cannot be read, EVerInfoError "No language info." when the block has no translation,
  /// eNoFixeVerInfo when its fixed file information is missing, shorter than 52 bytes or not signed.
  explicit TVerInfoRes(std::string fileName);

  /// Major and minor file version, "%d.%d" (7.0.0.174 gives "7.0").
  std::string GetFileVersionText() const;
  /// The fourth part of the file version, "%d" (7.0.0.174 gives "174").
  std::string GetBuildNumberText() const;
  /// The value of `key` in the string table of the first translation; empty when absent.
  std::string GetVersionString(std::string_view key) const;

 private:
  std::uint32_t FixedWord(std::size_t index) const;

  std::string fileName_;
  std::vector<std::uint8_t> data_;
  std::uint16_t language_ = 0;
  std::uint16_t codePage_ = 0;
  std::size_t fixedOffset_ = 0;  // of the fixed file information inside data_
};

}  // namespace almanex
