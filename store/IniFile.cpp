#include "IniFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

#include "FileFormats.h"
#include "base/Ascii.h"
#include "base/Trace.h"
#include "datetime/DateFormat.h"
#include "store/IniScanner.h"
#include "store/MappedReadGuard.h"

namespace almanex {

using ini_scan::AfterLineBreak;
using ini_scan::EntryScan;
using ini_scan::FindLineBreak;
using ini_scan::LargeBufferAllocator;
using ini_scan::ScanEntryLine;

namespace {

// Offsets into the snapshot are 32-bit to keep the index small; a larger file is no profile file.
constexpr std::size_t kMaxFileSize = std::size_t{1} << 30;
constexpr std::uint32_t kNoIndex = std::numeric_limits<std::uint32_t>::max();
constexpr std::string_view kLineBreak = "\r\n";

// Names are trimmed of NULs as well: a NUL reads as the blank it becomes when a name is written.
bool IsBlankOrNul(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= ' ' && (byte == ' ' || byte == '\t' || byte == '\0');  // most bytes fail the first test
}
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
// A name compares with a NUL taken as the blank it becomes when a name is written or looked up, so
// that a name listed from a damaged file finds its section again.
char FoldName(char c) { return c == '\0' ? ' ' : ToLowerAscii(c); }

/// A name from the file: blanks, and NULs taken as blanks, stripped around it.
std::string_view TrimName(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankOrNul(text[begin])) ++begin;
  while (end > begin && IsBlankOrNul(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

/// A value as the reader sees it: blanks stripped, then one matching pair of quotes.
std::string_view ReadableValue(std::string_view raw) {
  std::string_view value = TrimSpaceOrTab(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

/// Reads eight bytes of text from offset (offset + 8 <= text.size()).
std::uint64_t WordAt(std::string_view text, std::size_t offset) {
  std::uint64_t word;
  std::memcpy(&word, text.data() + offset, 8);
  return word;
}

/// Whether a and b hold the same bytes. Two words, overlapping when shorter than 16 bytes, cover
/// texts of 8 to 16 bytes (most names) without a call.
bool SameBytes(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  if (size >= 8 && size <= 16) {
    return ((WordAt(a, 0) ^ WordAt(b, 0)) | (WordAt(a, size - 8) ^ WordAt(b, size - 8))) == 0;
  }
  return std::memcmp(a.data(), b.data(), size) == 0;
}

// Names compare ASCII-case-insensitively; bytes above 0x7F compare exactly.
bool SameName(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  if (size >= 8 && size <= 16) {  // most key and section names
    // Two words, overlapping when the names are shorter than 16 bytes, cover both names. Folding only
    // ever changes bit 5 of a byte (a capital and its small letter, a NUL and a blank), so names whose
    // bytes differ in any other bit differ.
    const std::uint64_t difference = (WordAt(a, 0) ^ WordAt(b, 0)) | (WordAt(a, size - 8) ^ WordAt(b, size - 8));
    if (difference == 0) return true;  // mostly asked for as written
    if ((difference & ~0x2020202020202020ull) != 0) return false;
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i] && FoldName(a[i]) != FoldName(b[i])) return false;
  }
  return true;
}

std::uint64_t HashName(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (char c : name) {
    hash ^= static_cast<unsigned char>(FoldName(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

/// The key of a name in the pending writes' index. It folds as SameName compares (a NUL as a blank), so that
/// a name listed from the file, NULs and all, finds the writes made under it (which hold blanks instead).
std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldName(c);
  return folded;
}

/// The bytes of a snapshot.
using SnapshotBytes = std::vector<char, LargeBufferAllocator<char>>;

bool IsForbiddenInText(char c) { return c == '\r' || c == '\n' || c == '\0'; }

/// A section name as it is written and looked up: CR, LF and NUL become blanks, blanks around it
/// are stripped (the reader strips them too). A ']' may stay: the header ends at the line's last ']'.
std::string_view SectionName(std::string_view name, std::string& storage) {
  for (char c : name) {
    if (IsForbiddenInText(c)) {
      storage.assign(name);
      for (char& d : storage) {
        if (IsForbiddenInText(d)) d = ' ';
      }
      return TrimSpaceOrTab(storage);
    }
  }
  return TrimSpaceOrTab(name);
}

/// Whether KeyName would return name unchanged: no CR, LF, NUL or '=' in it, no blank, '[' or ';'
/// first and no blank last. The program's own key names are all like this, so a lookup of one costs
/// a single pass over its bytes.
bool IsCleanKeyName(std::string_view name) {
  const std::size_t size = name.size();
  if (size == 0) return true;
  const char first = name.front();
  if (IsSpaceOrTab(first) || first == '[' || first == ';' || IsSpaceOrTab(name.back())) return false;
  // The four bytes that cleaning replaces (NUL, LF, CR and '=') are all at most '=' (0x3D); letters,
  // and most bytes of a key name, are above it. Two words cover a name of 8 to 16 bytes (overlapping
  // when it is shorter than 16): when no byte of them is at most '=', the name is clean. Any other
  // name goes byte by byte, and so does one that has such a byte.
  if (size >= 8 && size <= 16) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    // Nonzero exactly when some byte of word is below '=' + 1 (the test holds for bounds up to 128).
    const auto hasLowByte = [](std::uint64_t word) { return ((word - kOnes * ('=' + 1)) & ~word & kHighs) != 0; };
    if (!hasLowByte(WordAt(name, 0)) && !hasLowByte(WordAt(name, size - 8))) return true;
  }
  constexpr std::uint64_t kReplaced = (1ull << '\0') | (1ull << '\n') | (1ull << '\r') | (1ull << '=');  // bit c: c
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= '=' && ((kReplaced >> byte) & 1) != 0) return false;
  }
  return true;
}

/// A key name as it is written and looked up: CR, LF, NUL and '=' become blanks (a '=' would end the
/// key early), and leading blanks, '[' and ';' are dropped (the line would read as a header or a
/// comment), as are trailing blanks.
std::string_view KeyName(std::string_view name, std::string& storage) {
  if (IsCleanKeyName(name)) return name;
  std::string_view result = name;
  for (char c : name) {
    if (IsForbiddenInText(c) || c == '=') {
      storage.assign(name);
      for (char& d : storage) {
        if (IsForbiddenInText(d) || d == '=') d = ' ';
      }
      result = storage;
      break;
    }
  }
  std::size_t begin = 0;
  while (begin < result.size() && (IsSpaceOrTab(result[begin]) || result[begin] == '[' || result[begin] == ';'))
    ++begin;
  return TrimSpaceOrTab(result.substr(begin));
}

/// A value as it is written: CR, LF and NUL become blanks, so a value can never start a new line.
std::string WrittenValue(std::string_view value) {
  std::string result(value);
  for (char& c : result) {
    if (IsForbiddenInText(c)) c = ' ';
  }
  return result;
}

using FileIdentity = IniFileStamp;

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.exists = true;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.inode = static_cast<std::uint64_t>(info.st_ino);
  identity.size = static_cast<std::int64_t>(info.st_size);
  identity.modified = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  identity.changed = std::int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
  return identity;
}

// A write in place never spans two of these: storage writes a sector of this size whole or not at all.
constexpr std::size_t kAtomicBlock = 512;

}  // namespace

EIniWriteError::EIniWriteError(const std::string& path)
    : std::runtime_error("Unable to write to " + path), path_(path) {}

namespace {
std::string_view LineBreakOf(std::string_view bytes);
}  // namespace

// The parsed file: its bytes in one buffer and a compact index of offsets into them. Nothing is
// allocated per key; names and values are handed out as views into the buffer.
//
// A read-only snapshot maps the file instead (IniFile::ReadOnlyMapped): the parse indexes the sections
// only, and the keys of a section are indexed when it is read, as far as the reads need. Pages of the
// file more than kResidentWindow behind the section being read are given back (MADV_DONTNEED): they
// stay in the page cache, and a view into them stays valid (a later access maps them again), but they
// no longer count in the reader's resident size.
struct detail::IniSnapshot {
  struct KeyLine {
    std::uint32_t keyStart;  // the key's first byte: the line's first byte that is no blank or NUL
    // The length of the name the key reads as: up to its last byte that is no blank or NUL. Only
    // blanks and NULs stand from there to the line's first '='.
    std::uint32_t keyLength;
    std::uint32_t lineEnd;  // the line break (or the end of the bytes)
  };
  struct Section {
    std::uint32_t headerStart;  // first byte of the header line
    std::uint32_t nameStart;
    std::uint32_t nameLength;
    std::uint32_t bodyStart;  // the byte after the header line's line break
    std::uint32_t end;        // the next header line, or the end of the bytes
    std::uint32_t firstKey;   // index into keys
    std::uint32_t keyCount;
    std::uint32_t first;  // the first section of the same name (itself when it is the first)
  };

  SnapshotBytes bytes;
  /// What the index points into: bytes, or the mapping of a read-only snapshot.
  const char* data = nullptr;
  std::uint32_t size = 0;
  FileIdentity identity;
  /// The file exists but could not be read (no permission, a folder, too large): it lists as empty
  /// and is never replaced, so what it holds cannot be lost.
  bool unreadable = false;
  std::vector<Section> sections;
  std::vector<KeyLine, LargeBufferAllocator<KeyLine>> keys;
  std::vector<std::uint32_t> table;   // open addressing over first sections: index + 1, 0 when empty
  std::vector<std::uint64_t> hashes;  // HashName of each section's name, measured by the parse

  // The read-only mapping (mapped is null otherwise).
  static constexpr std::size_t kResidentWindow = std::size_t{4} << 20;
  void* mapped = nullptr;
  std::size_t mappedSize = 0;
  /// The keys of one section only: keyedSection's, indexed on demand.
  bool lazyKeys = false;
  mutable std::uint32_t keyedSection = kNoIndex;
  mutable std::vector<KeyLine> sectionKeys;
  /// Pages before this offset have been given back.
  mutable std::size_t residentFrom = 0;

  IniSnapshot() = default;
  IniSnapshot(const IniSnapshot&) = delete;
  IniSnapshot& operator=(const IniSnapshot&) = delete;
  ~IniSnapshot() {
    if (mapped == nullptr) return;
    detail::UnregisterMapping(mapped);
    ::munmap(mapped, mappedSize);
  }

  /// Points the index at the bytes read into the buffer.
  void UseBuffer() {
    data = bytes.data();
    size = static_cast<std::uint32_t>(bytes.size());
  }

  /// A read of the mapping is about to start at offset: the pages more than kResidentWindow behind it
  /// are given back. A read behind the given-back part moves it back there.
  void Touch(std::size_t offset) const {
    if (mapped == nullptr) return;
    static const std::size_t kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t page = offset / kPage * kPage;
    if (page < residentFrom) {
      residentFrom = page;
    } else if (page - residentFrom >= kResidentWindow) {
      ::madvise(static_cast<char*>(mapped) + residentFrom, page - residentFrom, MADV_DONTNEED);
      residentFrom = page;
    }
  }

  std::string_view Text() const { return std::string_view(data, size); }
  /// Bytes of the buffer; the index's offsets and lengths always lie within it.
  std::string_view View(std::uint32_t start, std::uint32_t length) const {
    return std::string_view(data + start, length);
  }
  std::string_view Name(const Section& section) const { return View(section.nameStart, section.nameLength); }
  std::string_view KeyOf(const KeyLine& line) const { return View(line.keyStart, line.keyLength); }
  /// The entry's first '=': after the key's end only blanks and NULs stand before it.
  std::uint32_t EqualsOf(const KeyLine& line) const {
    std::uint32_t equals = line.keyStart + line.keyLength;
    while (data[equals] != '=') ++equals;
    return equals;
  }
  /// The first byte of the entry's line: before the key stand only blanks and NULs.
  std::uint32_t LineStartOf(const KeyLine& line) const {
    std::uint32_t start = line.keyStart;
    while (start > 0 && IsBlankOrNul(data[start - 1])) --start;
    return start;
  }
  std::uint32_t LineEndOf(const KeyLine& line) const { return line.lineEnd; }
  /// From the first '=' to the line break.
  std::string_view RawValueOf(const KeyLine& line) const {
    const std::uint32_t equals = EqualsOf(line);
    return View(equals + 1, LineEndOf(line) - equals - 1);
  }
  /// The offset after the line break that ends at lineEnd.
  std::uint32_t NextLine(std::uint32_t lineEnd) const {
    if (lineEnd >= size) return lineEnd;
    if (data[lineEnd] == '\r' && lineEnd + 1 < size && data[lineEnd + 1] == '\n') return lineEnd + 2;
    return lineEnd + 1;
  }

  std::uint32_t FindSection(std::string_view name) const {
    if (table.empty()) return kNoIndex;
    const std::size_t mask = table.size() - 1;
    const std::uint64_t hash = HashName(name);
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t entry = table[slot];
      if (entry == 0) return kNoIndex;
      if (hashes[entry - 1] == hash && SameName(Name(sections[entry - 1]), name)) return entry - 1;
    }
  }

  /// The section's first entry of that key. Linear in the section's entries, but most are rejected
  /// by the length of their name alone, which the parse has already measured.
  const KeyLine* FindKey(std::uint32_t section, std::string_view key) const {
    const Section& entry = sections[section];
    const KeyLine* line = keys.data() + entry.firstKey;
    const KeyLine* end = line + entry.keyCount;
    if (lazyKeys) return FindKeyLazily(section, key);
    for (; line != end; ++line) {
      if (line->keyLength != key.size()) continue;
      if (SameName(std::string_view(data + line->keyStart, key.size()), key)) return line;
    }
    return nullptr;
  }

  /// Builds the index once; the snapshot left by a commit is parsed only when it is used again.
  const IniSnapshot& Parsed() {
    if (!parsed) {
      Parse();
      parsed = true;
    }
    return *this;
  }
  bool parsed = false;

  /// The line break that lines added to these bytes end with (LineBreakOf), found once.
  std::string_view LineBreak() const {
    if (lineBreak.empty()) lineBreak = LineBreakOf(Text());
    return lineBreak;
  }
  mutable std::string_view lineBreak;  // one of the literals LineBreakOf returns; empty until asked

  /// The value of the line a commit that writes under `key` into `section` (both cleaned) replaces,
  /// when that line is already in the writer's form: the first section of that name holds, as its first
  /// line of that key, key=value followed by the line break lines are added with (the writer's spelling
  /// of the key). Nothing otherwise. A commit then changes the value's bytes and nothing else.
  std::optional<std::string_view> WrittenFormValue(std::string_view section, std::string_view key) const {
    const std::uint32_t index = FindSection(section);
    if (index == kNoIndex) return std::nullopt;
    const KeyLine* line = FindKey(index, key);
    if (line == nullptr) return std::nullopt;
    const std::string_view breakBytes = LineBreak();
    const std::uint32_t start = LineStartOf(*line);
    const std::string_view present = View(start, NextLine(LineEndOf(*line)) - start);
    if (present.size() < key.size() + 1 + breakBytes.size() || present.substr(0, key.size()) != key ||
        present[key.size()] != '=' || present.substr(present.size() - breakBytes.size()) != breakBytes) {
      return std::nullopt;
    }
    return present.substr(key.size() + 1, present.size() - key.size() - 1 - breakBytes.size());
  }

  /// Whether a commit that writes `value` under `key` into `section` (both cleaned) would leave these
  /// bytes as they are.
  bool HoldsLine(std::string_view section, std::string_view key, std::string_view value) const {
    const std::optional<std::string_view> present = WrittenFormValue(section, key);
    return present && *present == value;
  }

  void Parse();
  void BuildTable();
  /// Indexes the header line that starts at lineStart (its '[' at first); the offset after it.
  std::uint32_t AddSection(std::uint32_t lineStart, std::uint32_t first);
  /// The parse of a read-only snapshot: the section headers from position on, no keys.
  void ParseHeaders(std::uint32_t position);
  /// FindKey of a read-only snapshot: the section's keys indexed so far, then its lines scanned on
  /// (and indexed) up to the key, so that keys after the last one a reader asks for are never scanned.
  const KeyLine* FindKeyLazily(std::uint32_t section, std::string_view key) const;
  /// Where the scan of keyedSection's lines stopped.
  mutable std::uint32_t scannedTo = 0;
};

std::uint32_t detail::IniSnapshot::AddSection(std::uint32_t lineStart, std::uint32_t first) {
  const std::uint32_t lineEnd = FindLineBreak(data, first, size);
  const std::uint32_t bodyStart = AfterLineBreak(data, lineEnd, size);
  // The name runs to the line's last ']'; a header without one names the rest of the line.
  std::uint32_t close = lineEnd;
  while (close > first + 1 && data[close - 1] != ']') --close;
  const std::uint32_t nameEnd = close > first + 1 ? close - 1 : lineEnd;
  const std::string_view name = TrimName(std::string_view(data + first + 1, nameEnd - first - 1));
  if (!sections.empty()) sections.back().end = lineStart;
  hashes.push_back(HashName(name));
  Touch(bodyStart);
  sections.push_back(Section{lineStart, static_cast<std::uint32_t>(name.data() - data),
                             static_cast<std::uint32_t>(name.size()), bodyStart, size,
                             static_cast<std::uint32_t>(keys.size()), 0, 0});
  return bodyStart;
}

void detail::IniSnapshot::ParseHeaders(std::uint32_t position) {
  const std::uint32_t start = position;
  // A header is a line whose first byte that is no space or tab is '[': the '[' bytes are found with
  // memchr, and each is a header when only spaces and tabs stand between it and a line break (or the
  // start). Every other line is left to FindKeyLazily.
  while (position < size) {
    const void* found = std::memchr(data + position, '[', size - position);
    if (found == nullptr) break;
    const auto bracket = static_cast<std::uint32_t>(static_cast<const char*>(found) - data);
    std::uint32_t lineStart = bracket;
    while (lineStart > start && IsSpaceOrTab(data[lineStart - 1])) --lineStart;
    if (lineStart == start || data[lineStart - 1] == '\n' || data[lineStart - 1] == '\r') {
      position = AddSection(lineStart, bracket);
    } else {
      position = bracket + 1;
    }
  }
}

const detail::IniSnapshot::KeyLine* detail::IniSnapshot::FindKeyLazily(std::uint32_t index,
                                                                       std::string_view key) const {
  const Section& section = sections[index];
  if (keyedSection != index) {
    Touch(section.headerStart);
    sectionKeys.clear();
    keyedSection = index;
    scannedTo = section.bodyStart;
  }
  const auto matches = [&](const KeyLine& line) {
    return line.keyLength == key.size() && SameName(std::string_view(data + line.keyStart, key.size()), key);
  };
  for (const KeyLine& line : sectionKeys) {
    if (matches(line)) return &line;
  }
  // The lines not yet scanned, found as Parse finds entries; the first entry of the key wins.
  std::uint32_t position = scannedTo;
  while (position < section.end) {
    std::uint32_t first = position;
    if (static_cast<unsigned char>(data[position]) <= ' ') {
      while (first < size && IsSpaceOrTab(data[first])) ++first;
      if (first == size) {
        position = section.end;
        break;
      }
    }
    std::uint32_t keyStart = first;
    while (keyStart < size && IsBlankOrNul(data[keyStart])) ++keyStart;
    if (data[first] == ';') {
      position = AfterLineBreak(data, FindLineBreak(data, first, size), size);
      continue;
    }
    const EntryScan line = ScanEntryLine(data, keyStart, size);
    position = line.nextLine;
    if (line.equals == line.lineEnd) continue;
    std::uint32_t keyEnd = line.equals;
    while (keyEnd > keyStart && IsBlankOrNul(data[keyEnd - 1])) --keyEnd;
    sectionKeys.push_back(KeyLine{keyStart, keyEnd - keyStart, line.lineEnd});
    if (matches(sectionKeys.back())) {
      scannedTo = position;
      return &sectionKeys.back();
    }
  }
  scannedTo = position;
  return nullptr;
}

void detail::IniSnapshot::Parse() {
  std::uint32_t position = (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) ? 3 : 0;
  if (!lazyKeys) keys.reserve(size / 16 + 8);  // entry lines are longer than 16 bytes; untouched capacity costs nothing
  // An event section takes some 600 bytes. Room for one per 256 bytes spares the copies (and the fresh
  // pages) of growing one step at a time; a file of smaller sections grows the vector as usual.
  sections.reserve(size / 256 + 8);
  if (lazyKeys) {
    ParseHeaders(position);
    BuildTable();
    return;
  }
  Section* current = nullptr;
  // One line per turn: position is always the first byte of a line.
  while (position < size) {
    const std::uint32_t lineStart = position;
    // first: the line's first byte that is no blank; keyStart: the first that is no blank or NUL.
    std::uint32_t first = lineStart;
    std::uint32_t keyStart = lineStart;
    if (static_cast<unsigned char>(data[lineStart]) <= ' ') {  // rare: blanks, NULs and line breaks are all <= ' '
      while (first < size && IsSpaceOrTab(data[first])) ++first;
      if (first == size) break;
      keyStart = first;
      while (keyStart < size && IsBlankOrNul(data[keyStart])) ++keyStart;  // stops at a line break at the latest
    }
    const char lead = data[first];
    if (lead == '[') {
      position = AddSection(lineStart, first);
      current = &sections.back();
      continue;
    }
    // Comments, lines without '=' and entries before the first header are kept in the file and
    // never read.
    if (lead == ';' || current == nullptr) {
      position = AfterLineBreak(data, FindLineBreak(data, first, size), size);
      continue;
    }
    // An entry's key ends at the first '='.
    const EntryScan line = ScanEntryLine(data, keyStart, size);
    position = line.nextLine;
    if (line.equals == line.lineEnd) continue;  // no '='
    std::uint32_t keyEnd = line.equals;
    while (keyEnd > keyStart && IsBlankOrNul(data[keyEnd - 1])) --keyEnd;
    keys.push_back(KeyLine{keyStart, keyEnd - keyStart, line.lineEnd});
    ++current->keyCount;
  }
  BuildTable();
}

void detail::IniSnapshot::BuildTable() {
  std::size_t capacity = 16;
  while (capacity < sections.size() * 2) capacity *= 2;  // load factor at most one half
  table.assign(capacity, 0);
  const std::size_t mask = capacity - 1;
  for (std::uint32_t index = 0; index < sections.size(); ++index) {
    const std::uint64_t hash = hashes[index];
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t entry = table[slot];
      if (entry == 0) {
        table[slot] = index + 1;
        sections[index].first = index;
        break;
      }
      // Names are compared only when their hashes agree: mostly a repeated name, and a mapped file's
      // pages are not touched again for every probe.
      if (hashes[entry - 1] == hash && SameName(Name(sections[entry - 1]), Name(sections[index]))) {
        sections[index].first = entry - 1;
        break;
      }
    }
  }
}

// Writes not yet committed, by section in the order of their first write.
struct detail::IniPending {
  struct Key {
    std::string name;
    std::string value;
  };
  struct Section {
    std::string name;
    /// Every section of this name in the snapshot is dropped; the keys below then form a new
    /// section at the end of the file.
    bool erased = false;
    std::vector<Key> keys;
  };
  std::vector<Section> sections;
  std::unordered_map<std::string, std::size_t> byName;  // folded name -> index into sections

  const Section* Find(std::string_view name) const {
    if (sections.empty()) return nullptr;
    const auto found = byName.find(FoldedName(name));
    return found == byName.end() ? nullptr : &sections[found->second];
  }
  Section& Get(std::string_view name) {
    const auto [found, inserted] = byName.try_emplace(FoldedName(name), sections.size());
    if (inserted) sections.push_back(Section{std::string(name), false, {}});
    return sections[found->second];
  }
};

namespace {

constexpr std::string_view kTraceSource = "IniFile";

std::unique_ptr<detail::IniSnapshot> LoadSnapshot(const std::string& path) {
  auto snapshot = std::make_unique<detail::IniSnapshot>();
  // O_NONBLOCK: a FIFO in place of the file must not hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    struct stat info;
    if (errno != ENOENT && errno != ENOTDIR && ::stat(path.c_str(), &info) == 0) {
      snapshot->identity = IdentityOf(info);
      snapshot->unreadable = true;
    }
    return snapshot;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    snapshot->unreadable = true;
    snapshot->identity.exists = true;
    return snapshot;
  }
  snapshot->identity = IdentityOf(info);
  if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
    ::close(fd);
    snapshot->unreadable = true;
    return snapshot;
  }
  SnapshotBytes& bytes = snapshot->bytes;
  bytes.resize(static_cast<std::size_t>(info.st_size) + 1);  // one spare byte shows the end was reached
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) {
      if (bytes.size() > kMaxFileSize) {
        snapshot->unreadable = true;
        break;
      }
      bytes.resize(bytes.size() * 2);
    }
    const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      snapshot->unreadable = true;
      break;
    }
  }
  ::close(fd);
  if (snapshot->unreadable) filled = 0;
  bytes.resize(filled);
  snapshot->UseBuffer();
  snapshot->Parsed();
  return snapshot;
}

/// The read-only snapshot: the file mapped, not copied. Anything that cannot be mapped (an empty file,
/// no regular file, a failing mmap) is read as LoadSnapshot reads it.
std::unique_ptr<detail::IniSnapshot> LoadMappedSnapshot(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return LoadSnapshot(path);
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
    ::close(fd);
    return LoadSnapshot(path);
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  // The header scan reads every byte. A file that stays resident whole is mapped in one call, which
  // costs a fraction of the page fault per 64 KiB its reading would take; a larger one is mapped as it
  // is read, so that the window behind the reader can be given back.
  const int populate = size <= detail::IniSnapshot::kResidentWindow ? MAP_POPULATE : 0;
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | populate, fd, 0);
  ::close(fd);
  if (mapped == MAP_FAILED) return LoadSnapshot(path);
  auto snapshot = std::make_unique<detail::IniSnapshot>();
  snapshot->mapped = mapped;
  snapshot->mappedSize = size;
  detail::RegisterMapping(mapped, size);
  snapshot->data = static_cast<const char*>(mapped);
  snapshot->size = static_cast<std::uint32_t>(size);
  snapshot->identity = IdentityOf(info);
  snapshot->lazyKeys = true;
  snapshot->Parsed();
  return snapshot;
}

/// The new bytes of a commit, built in the buffer type of a snapshot, so that the snapshot left by the
/// commit takes them over without a copy.
class OutputBytes {
 public:
  void reserve(std::size_t size) { bytes_.reserve(size); }
  void append(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
  OutputBytes& operator+=(std::string_view text) {
    append(text);
    return *this;
  }
  OutputBytes& operator+=(char c) {
    bytes_.push_back(c);
    return *this;
  }
  bool empty() const { return bytes_.empty(); }
  char back() const { return bytes_.back(); }
  std::string_view View() const { return std::string_view(bytes_.data(), bytes_.size()); }
  SnapshotBytes Take() { return std::move(bytes_); }

 private:
  SnapshotBytes bytes_;
};

void AppendEntry(OutputBytes& out, const detail::IniPending::Key& key, std::string_view lineBreak) {
  out += key.name;
  out += '=';
  out += key.value;
  out += lineBreak;
}

/// The line break that lines added to bytes end with: the file's own when all its line breaks are
/// alike (LF alone, CR alone or CR LF), so that a file written by hand keeps its style; CR LF for a
/// file without line breaks and for one that mixes them.
std::string_view LineBreakOf(std::string_view bytes) {
  if (bytes.empty()) return kLineBreak;
  const bool hasCarriageReturn = std::memchr(bytes.data(), '\r', bytes.size()) != nullptr;
  const bool hasLineFeed = std::memchr(bytes.data(), '\n', bytes.size()) != nullptr;
  if (hasLineFeed && !hasCarriageReturn) return "\n";
  if (hasCarriageReturn && !hasLineFeed) return "\r";
  return kLineBreak;  // CR LF alone, mixed, or none at all
}

bool EndsLine(const OutputBytes& out) { return out.empty() || IsLineBreak(out.back()); }

/// The file's new bytes: the snapshot with the pending writes applied. Bytes of sections that are
/// not written are copied as they are.
OutputBytes BuildFile(const detail::IniSnapshot& snapshot, const detail::IniPending& pending) {
  std::size_t extra = 0;
  for (const auto& section : pending.sections) {
    extra += section.name.size() + 4;
    for (const auto& key : section.keys) extra += key.name.size() + key.value.size() + 3;
  }
  OutputBytes out;
  out.reserve(snapshot.Text().size() + extra + 2);

  // Which pending section applies to each first section of the snapshot.
  std::vector<std::uint32_t> action(snapshot.sections.size(), kNoIndex);
  std::vector<bool> inSnapshot(pending.sections.size(), false);
  for (std::uint32_t i = 0; i < pending.sections.size(); ++i) {
    const std::uint32_t found = snapshot.FindSection(pending.sections[i].name);
    if (found != kNoIndex) {
      action[found] = i;
      inSnapshot[i] = true;
    }
  }

  const std::string_view bytes = snapshot.Text();
  const std::string_view lineBreak = snapshot.LineBreak();
  out.append(bytes.substr(0, snapshot.sections.empty() ? bytes.size() : snapshot.sections.front().headerStart));
  for (std::uint32_t index = 0; index < snapshot.sections.size(); ++index) {
    const auto& section = snapshot.sections[index];
    const std::uint32_t which = action[section.first];
    const std::string_view whole = bytes.substr(section.headerStart, section.end - section.headerStart);
    if (which == kNoIndex) {
      out.append(whole);
      continue;
    }
    const auto& written = pending.sections[which];
    if (written.erased) continue;
    if (section.first != index || written.keys.empty()) {
      out.append(whole);
      continue;
    }
    // Replace the first line of each written key in place; the rest go after the last key line.
    std::vector<bool> placed(written.keys.size(), false);
    std::uint32_t copied = section.headerStart;
    std::uint32_t insertAt = section.bodyStart;
    for (std::uint32_t k = section.firstKey; k < section.firstKey + section.keyCount; ++k) {
      const auto& line = snapshot.keys[k];
      const std::string_view name = snapshot.KeyOf(line);
      const std::uint32_t next = snapshot.NextLine(snapshot.LineEndOf(line));
      for (std::size_t w = 0; w < written.keys.size(); ++w) {
        if (!placed[w] && SameName(name, written.keys[w].name)) {
          const std::uint32_t lineStart = snapshot.LineStartOf(line);
          out.append(bytes.substr(copied, lineStart - copied));
          AppendEntry(out, written.keys[w], lineBreak);
          placed[w] = true;
          copied = next;
          break;
        }
      }
      insertAt = next;
    }
    out.append(bytes.substr(copied, insertAt - copied));
    bool lineBreakNeeded = !EndsLine(out);
    for (std::size_t w = 0; w < written.keys.size(); ++w) {
      if (placed[w]) continue;
      if (lineBreakNeeded) out += lineBreak;  // the section's last line was the file's unterminated last line
      lineBreakNeeded = false;
      AppendEntry(out, written.keys[w], lineBreak);
    }
    out.append(bytes.substr(insertAt, section.end - insertAt));
  }

  for (std::uint32_t i = 0; i < pending.sections.size(); ++i) {
    const auto& written = pending.sections[i];
    if (written.keys.empty() || (inSnapshot[i] && !written.erased)) continue;
    if (!EndsLine(out)) out += lineBreak;
    out += '[';
    out += written.name;
    out += ']';
    out += lineBreak;
    for (const auto& key : written.keys) AppendEntry(out, key, lineBreak);
  }
  return out;
}

}  // namespace

IniFile::IniFile(std::string path, FileOperations* operations, IniLock lock)
    : path_(std::move(path)),
      operations_(operations),
      lockWholeOperation_(lock == IniLock::kWholeOperation),
      operationLock_(lockWholeOperation_ ? CommitLock::Acquire(path_, kCommitLockWait) : CommitLock()),
      snapshot_(LoadSnapshot(path_)),
      pending_(std::make_unique<detail::IniPending>()) {}

IniFile::IniFile(std::string path, ReadOnlyMapped)
    : path_(std::move(path)),
      operations_(nullptr),
      snapshot_(LoadMappedSnapshot(path_)),
      pending_(std::make_unique<detail::IniPending>()),
      readOnly_(true) {}

IniFile::IniFile(std::string path, InPlaceOnly, FileOperations* operations)
    : path_(std::move(path)),
      operations_(operations),
      lockWholeOperation_(true),
      operationLock_(CommitLock::Acquire(path_, kCommitLockWait)),
      snapshot_(LoadMappedSnapshot(path_)),
      pending_(std::make_unique<detail::IniPending>()),
      readOnly_(true) {}

IniFile::~IniFile() {
  if (commitFailed_) return;
  try {
    Flush();
  } catch (...) {
    // A destructor must not throw; a caller that needs to know calls Flush() itself.
  }
}

const detail::IniSnapshot& IniFile::Parsed() const { return snapshot_->Parsed(); }

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(Parsed().sections.size() + pending_->sections.size());
  ForEachSectionName([&names](std::string_view name) { names.emplace_back(name); });
  return names;
}

void IniFile::ForEachSectionName(const std::function<void(std::string_view)>& visit) const {
  const detail::IniSnapshot& snapshot = Parsed();
  for (std::uint32_t index = 0; index < snapshot.sections.size(); ++index) {
    const auto& section = snapshot.sections[index];
    if (section.first != index) continue;
    snapshot.Touch(section.headerStart);
    const std::string_view name = snapshot.Name(section);
    const detail::IniPending::Section* written = pending_->Find(name);
    if (written != nullptr && written->erased) continue;
    visit(name);
  }
  for (const auto& written : pending_->sections) {
    if (written.keys.empty()) continue;
    if (written.erased || snapshot.FindSection(written.name) == kNoIndex) visit(written.name);
  }
}

bool IniFile::SectionExists(std::string_view section) const {
  std::string storage;
  const std::string_view name = SectionName(section, storage);
  if (const detail::IniPending::Section* written = pending_->Find(name)) {
    if (!written->keys.empty()) return true;
    if (written->erased) return false;
  }
  return Parsed().FindSection(name) != kNoIndex;
}

std::uint32_t IniFile::FindSnapshotSection(std::string_view section) const {
  // The name is remembered as the caller spelt it: the same spelling always cleans to the same name.
  if (lastSection_ != kNoSection && SameBytes(lastSectionName_, section)) return lastSection_;
  return LookUpSnapshotSection(section);
}

std::uint32_t IniFile::LookUpSnapshotSection(std::string_view section) const {
  std::string storage;
  const std::uint32_t index = Parsed().FindSection(SectionName(section, storage));
  lastSectionName_.assign(section);
  lastSection_ = index == kNoIndex ? kNoSection : index;
  return index;
}

std::optional<std::string_view> IniFile::ReadValue(std::string_view section, std::string_view key) const {
  std::string keyStorage;
  const std::string_view keyName = KeyName(key, keyStorage);
  // Pending writes come first; with none (every read-only operation), the section name is cleaned
  // only when FindSnapshotSection does not already know it.
  if (!pending_->sections.empty()) {
    std::string sectionStorage;
    if (const detail::IniPending::Section* written = pending_->Find(SectionName(section, sectionStorage))) {
      for (const auto& entry : written->keys) {
        if (SameName(entry.name, keyName)) return ReadableValue(entry.value);
      }
      if (written->erased) return std::nullopt;
    }
  }
  const detail::IniSnapshot& snapshot = Parsed();
  const std::uint32_t index = FindSnapshotSection(section);
  if (index == kNoIndex) return std::nullopt;
  const detail::IniSnapshot::KeyLine* line = snapshot.FindKey(index, keyName);
  if (line == nullptr) return std::nullopt;
  return ReadableValue(snapshot.RawValueOf(*line));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const auto value = ReadValue(section, key);
  return std::string(value ? *value : fallback);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const {
  const auto value = ReadValue(section, key);
  if (!value) return fallback;
  return ParseIniInteger(*value).value_or(fallback);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  const auto value = ReadValue(section, key);
  if (!value) return fallback;
  const auto number = ParseIniInteger(*value);
  return number ? *number != 0 : fallback;
}

DateTime IniFile::ReadDate(std::string_view section, std::string_view key, DateTime fallback,
                           const FormatSettings& settings) const {
  const FileFormats& formats = Formats(settings);
  const auto value = ReadValue(section, key);
  if (!value || value->empty()) return fallback;
  const auto date = formats.ParseDate(*value, settings, DecodeDate(fallback).year());
  return date ? std::floor(*date) : fallback;
}

DateTime IniFile::ReadTime(std::string_view section, std::string_view key, DateTime fallback,
                           const FormatSettings& settings) const {
  const FileFormats& formats = Formats(settings);
  const auto value = ReadValue(section, key);
  if (!value || value->empty()) return fallback;
  return formats.ParseTime(*value, settings).value_or(fallback);
}

const FileFormats& IniFile::Formats(const FormatSettings& current) const {
  if (!formats_) formats_ = std::make_unique<FileFormats>(FileFormats::Read(*this, current));
  return *formats_;
}

void IniFile::RecordFormatsIfMissing(const FormatSettings& current) {
  if (!Formats(current).Usable()) FileFormats::Record(*this, current);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string sectionStorage;
  std::string keyStorage;
  const std::string_view sectionName = SectionName(section, sectionStorage);
  const std::string_view keyName = KeyName(key, keyStorage);
  std::string line = WrittenValue(value);
  // A write that would leave the file's bytes as they are is no write at all: the day's reset of every
  // mark commits nothing (no rewrite, no fsync, the file's time kept) when every mark already reads 0.
  // Only while nothing of this section is pending: a pending erase or value of the key decides then.
  if (pending_->Find(sectionName) == nullptr && Parsed().HoldsLine(sectionName, keyName, line)) return;
  detail::IniPending::Section& written = pending_->Get(sectionName);
  if (SameName(written.name, kFormatsSection)) formats_.reset();
  for (auto& entry : written.keys) {
    if (SameName(entry.name, keyName)) {
      entry.value = std::move(line);
      return;
    }
  }
  written.keys.push_back(detail::IniPending::Key{std::string(keyName), std::move(line)});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  WriteString(section, key, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::WriteDate(std::string_view section, std::string_view key, DateTime value,
                        const FormatSettings& settings) {
  // The value goes first, so that a new file holds its events before the formats section.
  WriteString(section, key, FormatShortDate(value, Formats(settings).ForWriting(settings)));
  RecordFormatsIfMissing(settings);
}

void IniFile::WriteTime(std::string_view section, std::string_view key, DateTime value,
                        const FormatSettings& settings) {
  WriteString(section, key, FormatLongTime(value, Formats(settings).ForWriting(settings)));
  RecordFormatsIfMissing(settings);
}

void IniFile::EraseSection(std::string_view section) {
  std::string storage;
  const std::string_view name = SectionName(section, storage);
  if (pending_->Find(name) == nullptr && Parsed().FindSection(name) == kNoIndex) return;
  detail::IniPending::Section& written = pending_->Get(name);
  if (SameName(written.name, kFormatsSection)) formats_.reset();
  written.erased = true;
  written.keys.clear();
}

bool IniFile::HasPendingWrites() const {
  for (const auto& written : pending_->sections) {
    if (!written.keys.empty()) return true;
    if (written.erased && Parsed().FindSection(written.name) != kNoIndex) return true;
  }
  return false;
}

void IniFile::Flush() {
  if (!HasPendingWrites()) return;
  if (readOnly_) throw EIniWriteError(path_);
  commitFailed_ = true;  // until the commit below succeeds
  // Another process's read-modify-write commit is never interleaved with this one. The operation's own
  // lock, when it holds one, is shared.
  std::string reason;
  const CommitLock lock = CommitLock::Acquire(path_, kCommitLockWait, &reason);
  if (!lock.Held()) {
    TraceLazy(kTraceSource, [&] { return "Flush: " + path_ + ": " + reason + "; nothing written"; });
    throw EIniWriteError(path_);
  }
  // stat follows symbolic links, as the write does: the identity is the target's.
  struct stat info;
  const bool exists = ::stat(path_.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) throw EIniWriteError(path_);
  // Another program changed the file since it was read: apply the writes to what it holds now.
  const FileIdentity now = exists ? IdentityOf(info) : FileIdentity{};
  if (!(now == snapshot_->identity)) {
    if (lockWholeOperation_ && !operationLock_.Held()) {
      // What this operation read is gone, and what it wrote may rest on it: nothing is written.
      TraceLazy(kTraceSource, [&] { return "Flush: " + path_ + ": changed since it was read; nothing written"; });
      throw EIniWriteError(path_);
    }
    snapshot_ = LoadSnapshot(path_);
    lastSection_ = kNoSection;
    formats_.reset();
  }
  if (snapshot_->unreadable) throw EIniWriteError(path_);
  if (CommitInPlace()) return;

  SnapshotBytes bytes = BuildFile(Parsed(), *pending_).Take();
  // The old bytes and their index are not needed once the new bytes stand: they go before the write,
  // so that a commit holds the file twice at most, not three times.
  snapshot_.reset();
  lastSection_ = kNoSection;
  // A read-only or foreign file, a missing folder and a link the writer will not follow are refused there.
  AtomicWriteOptions options;
  options.operations = operations_;
  bool written = false;
  try {
    written = WriteFileAtomically(path_, std::string_view(bytes.data(), bytes.size()), options);
  } catch (...) {
    snapshot_ = LoadSnapshot(path_);
    throw;
  }
  if (!written) {
    // The failed replace left the file as it was: the writes stay pending on what it holds.
    snapshot_ = LoadSnapshot(path_);
    formats_.reset();
    throw EIniWriteError(path_);
  }

  // The file now holds bytes: continue from them (not from a read of the file), so that later reads
  // and writes of this operation see the committed state. They are parsed only if the operation goes
  // on after this Flush.
  auto committed = std::make_unique<detail::IniSnapshot>();
  committed->bytes = std::move(bytes);
  committed->UseBuffer();
  struct stat after;
  if (::stat(path_.c_str(), &after) == 0) committed->identity = IdentityOf(after);
  snapshot_ = std::move(committed);
  lastSection_ = kNoSection;
  pending_ = std::make_unique<detail::IniPending>();
  commitFailed_ = false;
}

namespace {

/// One value's bytes to write in place: where they are and what they become.
struct InPlaceChange {
  std::size_t offset = 0;
  std::string_view newBytes;
  std::string_view oldBytes;
};

/// How a pending write of `key` into `section` changes the snapshot's bytes when it is written over the
/// value present (WrittenFormValue): the bytes from the first that differs to the last. Nothing when the
/// line is not in the writer's form, the lengths differ or the changed bytes span two blocks; an empty
/// change when nothing differs.
std::optional<InPlaceChange> ChangeInPlace(const detail::IniSnapshot& snapshot, std::string_view section,
                                           const detail::IniPending::Key& key) {
  const std::optional<std::string_view> found = snapshot.WrittenFormValue(section, key.name);
  if (!found) return std::nullopt;
  const std::string_view present = *found;
  const std::string_view value = key.value;
  if (present.size() != value.size()) return std::nullopt;
  std::size_t first = 0;
  while (first < present.size() && present[first] == value[first]) ++first;
  if (first == present.size()) return InPlaceChange{};
  std::size_t last = present.size() - 1;
  while (present[last] == value[last]) --last;
  InPlaceChange change;
  change.offset = static_cast<std::size_t>(present.data() - snapshot.data) + first;
  change.newBytes = value.substr(first, last + 1 - first);
  change.oldBytes = present.substr(first, last + 1 - first);
  if (change.offset / kAtomicBlock != (change.offset + change.newBytes.size() - 1) / kAtomicBlock) return std::nullopt;
  return change;
}

/// The file opened for writes in place, when it may take them: a regular file of the user's own, with
/// one link (another name would see the change), writable, and in the state the snapshot was read
/// from. Not a link: O_NOFOLLOW leaves those to the atomic writer, which decides whether to write
/// through them.
class InPlaceFile {
 public:
  InPlaceFile(const std::string& path, const IniFileStamp& expected, FileOperations* operations)
      : fd_(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)),
        operations_(operations != nullptr ? *operations : SystemFileOperations()) {
    struct stat info;
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
                     info.st_nlink != 1 || (info.st_mode & S_IWUSR) == 0 || !(IdentityOf(info) == expected))) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~InPlaceFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  bool Usable() const { return fd_ >= 0; }
  bool Write(std::size_t offset, std::string_view bytes) {
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset) &&
           operations_.Write(fd_, bytes.data(), bytes.size()) == static_cast<long>(bytes.size());
  }
  bool Sync() { return operations_.Fsync(fd_) == 0; }
  /// The file's state after the writes.
  IniFileStamp Stamp() const {
    struct stat info;
    return ::fstat(fd_, &info) == 0 ? IdentityOf(info) : IniFileStamp{};
  }

 private:
  int fd_;
  FileOperations& operations_;
};

}  // namespace

bool IniFile::CommitInPlace() {
  if (pending_->sections.size() != 1) return false;
  const detail::IniPending::Section& written = pending_->sections.front();
  if (written.erased || written.keys.size() != 1) return false;
  const detail::IniPending::Key& key = written.keys.front();
  (void)Parsed();
  detail::IniSnapshot& snapshot = *snapshot_;
  if (snapshot.mapped != nullptr || snapshot.data != snapshot.bytes.data() || !snapshot.identity.exists) return false;
  const std::optional<InPlaceChange> change = ChangeInPlace(snapshot, written.name, key);
  if (!change) return false;
  if (!change->newBytes.empty()) {
    InPlaceFile file(path_, snapshot.identity, operations_);
    if (!file.Usable()) return false;
    if (!file.Write(change->offset, change->newBytes) || !file.Sync()) {
      // Whatever reached the file goes back to the old bytes; the write stays pending for a retry.
      (void)file.Write(change->offset, change->oldBytes);
      (void)file.Sync();
      TraceLazy(kTraceSource,
                [&] { return "Flush: " + path_ + ": the write in place failed; the old bytes are kept"; });
      throw EIniWriteError(path_);
    }
    // The snapshot now holds what the file holds; its index is unchanged, as no length changed.
    std::memcpy(snapshot.bytes.data() + change->offset, change->newBytes.data(), change->newBytes.size());
    snapshot.identity = file.Stamp();
  }
  pending_ = std::make_unique<detail::IniPending>();
  commitFailed_ = false;
  return true;
}

bool IniFile::FlushInPlace() {
  if (!HasPendingWrites()) return true;
  std::string reason;
  const CommitLock lock = CommitLock::Acquire(path_, kCommitLockWait, &reason);
  if (!lock.Held()) return false;
  struct stat info;
  (void)Parsed();
  detail::IniSnapshot& snapshot = *snapshot_;
  if (::stat(path_.c_str(), &info) != 0 || !(IdentityOf(info) == snapshot.identity)) return false;
  InPlaceFile file(path_, snapshot.identity, operations_);
  if (!file.Usable()) return false;

  bool all = true;
  bool wrote = false;
  for (detail::IniPending::Section& section : pending_->sections) {
    if (section.erased) {
      all = false;
      continue;
    }
    std::vector<detail::IniPending::Key> left;
    for (detail::IniPending::Key& key : section.keys) {
      const std::optional<InPlaceChange> change = ChangeInPlace(snapshot, section.name, key);
      if (!change) {
        left.push_back(std::move(key));
        continue;
      }
      if (change->newBytes.empty()) continue;
      if (!file.Write(change->offset, change->newBytes)) {
        TraceLazy(kTraceSource, [&] { return "FlushInPlace: " + path_ + ": a write in place failed"; });
        throw EIniWriteError(path_);
      }
      wrote = true;
      // A copied snapshot follows the file; a mapped one sees the file's own pages.
      if (snapshot.mapped == nullptr) {
        std::memcpy(snapshot.bytes.data() + change->offset, change->newBytes.data(), change->newBytes.size());
      }
    }
    all = all && left.empty();
    section.keys = std::move(left);
  }
  if (wrote && !file.Sync()) {
    TraceLazy(kTraceSource, [&] { return "FlushInPlace: " + path_ + ": the sync failed"; });
    throw EIniWriteError(path_);
  }
  if (wrote) snapshot.identity = file.Stamp();
  if (all) pending_ = std::make_unique<detail::IniPending>();
  return all;
}

bool IniFile::HoldsLine(std::string_view section, std::string_view key, std::string_view value) const {
  std::string sectionStorage;
  std::string keyStorage;
  return Parsed().HoldsLine(SectionName(section, sectionStorage), KeyName(key, keyStorage), WrittenValue(value));
}

IniFileStamp IniFile::Stamp() const { return snapshot_->identity; }

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
  text = TrimSpaceOrTab(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  bool hexadecimal = false;
  if (i < text.size() && text[i] == '$') {
    hexadecimal = true;
    i += 1;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hexadecimal = true;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  std::uint64_t magnitude = 0;  // stays <= 0xFFFFFFFF (hexadecimal) or 2^31 (decimal)
  if (hexadecimal) {
    for (; i < text.size(); ++i) {
      const char c = ToLowerAscii(text[i]);
      unsigned digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<unsigned>(c - 'a' + 10);
      } else {
        return std::nullopt;
      }
      magnitude = magnitude * 16 + digit;
      if (magnitude > 0xFFFFFFFFull) return std::nullopt;
    }
    // Eight hexadecimal digits are the 32 bits of the value: $FF000005 is -16777211.
    const std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
  }
  for (; i < text.size(); ++i) {
    const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};  // wraps above 9 below '0'
    if (digit > 9) return std::nullopt;
    magnitude = magnitude * 10 + digit;
    if (magnitude > 0x80000000ull) return std::nullopt;
  }
  if (negative) return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  if (magnitude > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<std::int32_t>(magnitude);
}

}  // namespace almanex
