#include "platform/core/VerInfoUnit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <limits>

#include "base/Ascii.h"
#include "base/TextEncoding.h"

namespace almanex {

namespace {

// ---- ELF section lookup -------------------------------------------------------------------------

/// Bounded reads from an open regular file; any failure leaves `ok` false. POSIX calls rather than a C++
/// stream: a stream builds the standard locale, whose code and tables almanex-cli would otherwise carry
/// and load at every start for this one --version read.
class FileReader {
 public:
  explicit FileReader(const std::string& fileName) : fd_(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) return;
    size_ = static_cast<std::uint64_t>(status.st_size);
    open_ = true;
  }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool IsOpen() const { return open_; }
  std::uint64_t Size() const { return size_; }
  /// Reads `count` bytes at `offset`; false when they do not lie inside the file or the read fails.
  bool Read(std::uint64_t offset, std::size_t count, std::uint8_t* out) {
    if (!open_ || offset > size_ || count > size_ - offset) return false;
    std::size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_ = 0;
  bool open_ = false;
};

/// Numbers of an ELF file in its own byte order.
struct ElfNumbers {
  bool bigEndian = false;
  std::uint64_t Get(const std::uint8_t* bytes, std::size_t width) const {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t index = bigEndian ? i : width - 1 - i;
      value = (value << 8) | bytes[index];
    }
    return value;
  }
};

struct ElfSectionHeader {
  std::uint32_t name = 0;
  std::uint32_t type = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

constexpr std::uint32_t kSectionTypeNoBits = 8;          // SHT_NOBITS: occupies no bytes in the file
constexpr std::uint16_t kSectionIndexExtended = 0xFFFF;  // SHN_XINDEX
constexpr std::size_t kMaxVersionBlockSize = 0x10000;
/// Far more sections than any linker writes; a garbled count must not make us read for minutes.
constexpr std::uint64_t kMaxSectionCount = 1U << 20;

class ElfFile {
 public:
  explicit ElfFile(const std::string& fileName) : reader_(fileName) {}

  VersionSection FindSection(std::string_view wanted) {
    VersionSection result;
    if (!reader_.IsOpen() || !ReadHeader()) return result;  // not an ELF file: no version information
    if (sectionTableOffset_ == 0) return result;            // no section header table at all
    std::uint64_t count = sectionCount_;
    std::uint64_t namesIndex = namesIndex_;
    if (count == 0 || namesIndex == kSectionIndexExtended) {
      // Extended numbering keeps the real figures in the first section header: the count in sh_size, the
      // index of the name table in sh_link.
      ElfSectionHeader first;
      if (!ReadSectionHeader(0, first)) return Unreadable();
      if (count == 0) count = first.size;
      if (namesIndex == kSectionIndexExtended && !ReadSectionLink(0, namesIndex)) return Unreadable();
    }
    if (count == 0) return result;
    if (count > kMaxSectionCount || namesIndex >= count) return Unreadable();
    ElfSectionHeader names;
    if (!ReadSectionHeader(namesIndex, names)) return Unreadable();
    for (std::uint64_t index = 1; index < count; ++index) {
      ElfSectionHeader header;
      if (!ReadSectionHeader(index, header)) return Unreadable();
      if (!NameIs(names, header.name, wanted)) continue;
      if (header.type == kSectionTypeNoBits || header.size == 0) return result;
      const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(header.size, kMaxVersionBlockSize));
      result.bytes.resize(size);
      if (!reader_.Read(header.offset, size, result.bytes.data())) return Unreadable();
      result.status = VersionSection::Status::Found;
      return result;
    }
    return result;
  }

 private:
  static VersionSection Unreadable() { return VersionSection{VersionSection::Status::Unreadable, {}}; }

  bool ReadHeader() {
    std::array<std::uint8_t, 64> header{};
    if (!reader_.Read(0, 16, header.data())) return false;
    if (header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' || header[3] != 'F') return false;
    if (header[4] != 1 && header[4] != 2) return false;  // ELFCLASS32, ELFCLASS64
    if (header[5] != 1 && header[5] != 2) return false;  // ELFDATA2LSB, ELFDATA2MSB
    wide_ = header[4] == 2;
    numbers_.bigEndian = header[5] == 2;
    const std::size_t headerSize = wide_ ? 64 : 52;
    if (!reader_.Read(0, headerSize, header.data())) return false;
    const std::uint8_t* bytes = header.data();
    sectionTableOffset_ = wide_ ? numbers_.Get(bytes + 0x28, 8) : numbers_.Get(bytes + 0x20, 4);
    entrySize_ = numbers_.Get(bytes + (wide_ ? 0x3A : 0x2E), 2);
    sectionCount_ = numbers_.Get(bytes + (wide_ ? 0x3C : 0x30), 2);
    namesIndex_ = numbers_.Get(bytes + (wide_ ? 0x3E : 0x32), 2);
    return sectionTableOffset_ == 0 || entrySize_ >= (wide_ ? 64U : 40U);
  }

  bool ReadEntry(std::uint64_t index, std::array<std::uint8_t, 64>& entry) {
    const std::uint64_t offset = sectionTableOffset_ + index * entrySize_;
    if (offset < sectionTableOffset_) return false;  // wrapped around
    return reader_.Read(offset, wide_ ? 64 : 40, entry.data());
  }

  bool ReadSectionHeader(std::uint64_t index, ElfSectionHeader& header) {
    std::array<std::uint8_t, 64> entry{};
    if (!ReadEntry(index, entry)) return false;
    const std::uint8_t* bytes = entry.data();
    header.name = static_cast<std::uint32_t>(numbers_.Get(bytes, 4));
    header.type = static_cast<std::uint32_t>(numbers_.Get(bytes + 4, 4));
    header.offset = wide_ ? numbers_.Get(bytes + 0x18, 8) : numbers_.Get(bytes + 0x10, 4);
    header.size = wide_ ? numbers_.Get(bytes + 0x20, 8) : numbers_.Get(bytes + 0x14, 4);
    return true;
  }

  bool ReadSectionLink(std::uint64_t index, std::uint64_t& link) {
    std::array<std::uint8_t, 64> entry{};
    if (!ReadEntry(index, entry)) return false;
    link = numbers_.Get(entry.data() + (wide_ ? 0x28 : 0x18), 4);
    return true;
  }

  /// Whether the name at `offset` of the section-name table is `wanted`.
  bool NameIs(const ElfSectionHeader& names, std::uint32_t offset, std::string_view wanted) {
    if (offset >= names.size || wanted.size() + 1 > names.size - offset) return false;
    std::array<std::uint8_t, 64> name{};
    if (wanted.size() + 1 > name.size()) return false;
    if (!reader_.Read(names.offset + offset, wanted.size() + 1, name.data())) return false;
    return name[wanted.size()] == 0 && std::equal(wanted.begin(), wanted.end(), name.begin());
  }

  FileReader reader_;
  ElfNumbers numbers_;
  bool wide_ = false;
  std::uint64_t sectionTableOffset_ = 0;
  std::uint64_t entrySize_ = 0;
  std::uint64_t sectionCount_ = 0;
  std::uint64_t namesIndex_ = 0;
};

// ---- the block tree -----------------------------------------------------------------------------

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t DoubleWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(Word(bytes, offset)) | (static_cast<std::uint32_t>(Word(bytes, offset + 2)) << 16);
}

constexpr std::size_t AlignTo32Bits(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

/// One block inside a buffer; every offset lies inside [begin, end].
struct Block {
  std::size_t begin = 0;
  std::size_t end = 0;  // begin + wLength
  std::size_t keyBegin = 0;
  std::size_t keyEnd = 0;  // at the key's NUL
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
  std::size_t childrenBegin = 0;
};

std::optional<Block> ParseBlock(std::span<const std::uint8_t> bytes, std::size_t begin, std::size_t limit) {
  constexpr std::size_t kHeaderSize = 6;
  if (begin > limit || limit - begin < kHeaderSize) return std::nullopt;
  const std::size_t length = Word(bytes, begin);
  if (length < kHeaderSize || length > limit - begin) return std::nullopt;
  Block block;
  block.begin = begin;
  block.end = begin + length;
  const std::size_t valueLength = Word(bytes, begin + 2);
  const bool isText = Word(bytes, begin + 4) == 1;
  block.keyBegin = begin + kHeaderSize;
  std::size_t at = block.keyBegin;
  while (at + 2 <= block.end && Word(bytes, at) != 0) at += 2;
  if (at + 2 > block.end) return std::nullopt;  // the key has no NUL inside the block
  block.keyEnd = at;
  // A value that claims more than the block holds is cut at the block's end.
  block.valueBegin = std::min(AlignTo32Bits(at + 2), block.end);
  block.valueEnd = std::min(block.valueBegin + (isText ? 2 * valueLength : valueLength), block.end);
  block.childrenBegin = std::min(AlignTo32Bits(block.valueEnd), block.end);
  return block;
}

/// Whether the block's key is `name`, ASCII letters compared without regard to case.
bool KeyIs(std::span<const std::uint8_t> bytes, const Block& block, std::string_view name) {
  if ((block.keyEnd - block.keyBegin) / 2 != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const std::uint16_t unit = Word(bytes, block.keyBegin + 2 * i);
    if (unit > 0x7F || ToLowerAscii(static_cast<char>(unit)) != ToLowerAscii(name[i])) return false;
  }
  return true;
}

std::optional<Block> FindChild(std::span<const std::uint8_t> bytes, const Block& parent, std::string_view name) {
  std::size_t at = parent.childrenBegin;
  while (at < parent.end) {
    const auto child = ParseBlock(bytes, at, parent.end);
    if (!child) return std::nullopt;
    if (KeyIs(bytes, *child, name)) return child;
    at = AlignTo32Bits(child->end);
  }
  return std::nullopt;
}

/// "%.4X": four hexadecimal digits, capitals above 9.
std::string Hex4(std::uint16_t value) {
  std::array<char, 8> text{};
  std::snprintf(text.data(), text.size(), "%.4X", static_cast<unsigned>(value));
  return text.data();
}

}  // namespace

VersionSection ReadVersionSection(const std::string& fileName) {
  if (fileName.empty()) return {};
  try {
    ElfFile file(fileName);
    return file.FindSection(kVersionSectionName);
  } catch (const std::bad_alloc&) {
    return VersionSection{VersionSection::Status::Unreadable, {}};
  }
}

std::optional<std::span<const std::uint8_t>> QueryVersionValue(std::span<const std::uint8_t> block,
                                                               std::string_view path) {
  auto current = ParseBlock(block, 0, block.size());
  if (!current) return std::nullopt;
  while (!path.empty()) {
    const std::size_t separator = path.find('\\');
    const std::string_view name = path.substr(0, separator);
    path = separator == std::string_view::npos ? std::string_view() : path.substr(separator + 1);
    if (name.empty()) continue;  // "\" alone, or doubled separators
    current = FindChild(block, *current, name);
    if (!current) return std::nullopt;
  }
  return block.subspan(current->valueBegin, current->valueEnd - current->valueBegin);
}

std::string Utf16ValueToUtf8(std::span<const std::uint8_t> value) {
  std::string text;
  for (std::size_t at = 0; at + 2 <= value.size(); at += 2) {
    const char32_t unit = Word(value, at);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 4 <= value.size()) {
      const char32_t low = Word(value, at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        at += 2;
        continue;
      }
    }
    AppendUtf8(text, (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit);
  }
  return text;
}

std::string FormatBuildText(int buildNumber) {
  return std::to_string(buildNumber / 1000) + "." + std::to_string(buildNumber % 1000);
}

std::string VersionLine(std::string_view program, const std::string& fileName) {
  const TVerInfoRes versionInfo(fileName);
  int buildNumber = 0;
  const std::string buildText = versionInfo.GetBuildNumberText();
  std::from_chars(buildText.data(), buildText.data() + buildText.size(), buildNumber);
  return std::string(program) + " " + versionInfo.GetFileVersionText() + " (Build " + FormatBuildText(buildNumber) +
         ")";
}

TVerInfoRes::TVerInfoRes(std::string fileName) : fileName_(std::move(fileName)) {
  VersionSection section = ReadVersionSection(fileName_);
  if (section.status == VersionSection::Status::Absent) throw ENoVerInfoError();
  if (section.status == VersionSection::Status::Unreadable) throw EVerInfoError("Cannot obtain version info.");
  data_ = std::move(section.bytes);

  // Only the first translation is ever used.
  const auto translation = QueryVersionValue(data_, "\\VarFileInfo\\Translation");
  if (!translation || translation->size() < 4) throw EVerInfoError("No language info.");
  language_ = Word(*translation, 0);
  codePage_ = Word(*translation, 2);

  const auto fixed = QueryVersionValue(data_, "\\");
  if (!fixed || fixed->size() < kFixedFileInfoSize || DoubleWord(*fixed, 0) != kFixedFileInfoSignature) {
    throw eNoFixeVerInfo();
  }
  fixedOffset_ = static_cast<std::size_t>(fixed->data() - data_.data());
}

std::uint32_t TVerInfoRes::FixedWord(std::size_t index) const { return DoubleWord(data_, fixedOffset_ + 4 * index); }

std::string TVerInfoRes::GetFileVersionText() const {
  const std::uint32_t most = FixedWord(2);  // dwFileVersionMS
  return std::to_string(most >> 16) + "." + std::to_string(most & 0xFFFFU);
}

std::string TVerInfoRes::GetBuildNumberText() const {
  return std::to_string(FixedWord(3) & 0xFFFFU);  // low half of dwFileVersionLS
}

std::string TVerInfoRes::GetVersionString(std::string_view key) const {
  std::string path = "\\StringFileInfo\\" + Hex4(language_) + Hex4(codePage_) + "\\";
  path.append(key);
  const auto value = QueryVersionValue(data_, path);
  if (!value) return {};
  return Utf16ValueToUtf8(*value);
}

}  // namespace almanex
