#include "platform/Registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include "base/Ascii.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/AtomicFile.h"
#include "base/CommitLock.h"
#include "base/TextEncoding.h"
#include "base/Trace.h"
#include "base/UserFolders.h"

namespace almanex {

namespace {

constexpr std::string_view kTraceSource = "Registry";
constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
// A settings file is a few hundred bytes; anything this large is not ours and is refused unread.
constexpr off_t kMaximumFileSize = 16 * 1024 * 1024;

// ---------------------------------------------------------------------------------------------------
// Text helpers

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

/// The comparison form of a key path or value name: ASCII folded by hand, anything beyond ASCII by
/// Unicode case folding (names are UTF-8; bytes that are not are compared as they are).
/// Only the file's first character is a byte-order mark; in a name U+FEFF is a character like any other,
/// so leading ones are kept out of the Unicode folding (which would drop the first as a mark).
std::string FoldName(std::string_view name) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  std::size_t marks = 0;
  while (name.substr(marks, kMark.size()) == kMark) marks += kMark.size();
  if (marks > 0) return std::string(name.substr(0, marks)) + FoldName(name.substr(marks));
  const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && IsValidUtf8(name)) {
    const QByteArray folded =
        QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toCaseFolded().toUtf8();
    return std::string(folded.constData(), static_cast<std::size_t>(folded.size()));
  }
  std::string out(name);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view TrimTrailingSpaceOrTab(std::string_view text) {
  while (!text.empty() && IsSpaceOrTab(text.back())) text.remove_suffix(1);
  return text;
}

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// Writes `text` between double quotes with the escapes described in the header.
void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (IsControl(c)) {
      out += "\\x";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0x0F];
    } else if (c >= 0x80) {
      const std::size_t length = Utf8SequenceLength(text, i);
      if (length == 0) {
        out += "\\x";
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 0x0F];
      } else {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  out += '"';
}

/// Reads a quoted string at the start of `text` (which begins with '"'); on success removes it from
/// `text` and stores the unescaped bytes in `value`.
bool ParseQuoted(std::string_view& text, std::string& value) {
  value.clear();
  std::size_t i = 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return true;
    }
    if (c != '\\') {
      value += c;
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    const char escape = text[i + 1];
    switch (escape) {
      case '\\':
      case '"':
        value += escape;
        i += 2;
        break;
      case 'r':
        value += '\r';
        i += 2;
        break;
      case 'n':
        value += '\n';
        i += 2;
        break;
      case 't':
        value += '\t';
        i += 2;
        break;
      case 'x': {
        if (i + 3 >= text.size()) return false;
        const int high = HexValue(text[i + 2]);
        const int low = HexValue(text[i + 3]);
        if (high < 0 || low < 0) return false;
        value += static_cast<char>(high * 16 + low);
        i += 4;
        break;
      }
      default:
        return false;
    }
  }
  return false;  // no closing quote
}

// ---------------------------------------------------------------------------------------------------
// The parsed store

struct Line {
  enum class Kind { Comment, Dword, String, Other };
  Kind kind = Kind::Comment;
  std::string name;  // value name (unescaped); unused for comments
  std::string folded;
  std::uint32_t dword = 0;
  std::string text;  // String: the value; Other: the data as written; Comment: the whole line
};

struct Section {
  std::string header;    // between the brackets, as written
  bool visible = false;  // below HKEY_CURRENT_USER
  std::string folded;    // folded key path below the root, when visible
  std::vector<Line> lines;
  /// Folded value name -> index into lines, for every line that is no comment: a value is found (and a
  /// file read) without scanning the key's earlier values.
  std::unordered_map<std::string, std::size_t> values;
};

struct Store {
  std::vector<std::string> leadingComments;
  std::vector<Section> sections;
  /// Folded key path -> index into sections, for every visible section: a key is found without
  /// scanning the file's earlier keys.
  std::unordered_map<std::string, std::size_t> keys;
};

struct KeyPath {
  std::string spelled;  // as the caller wrote it, without the outer backslashes
  std::string folded;
};

/// Checks and normalises a key path: one leading and one trailing backslash dropped, no empty component,
/// valid UTF-8 without control characters (it is written on a line of its own).
std::optional<KeyPath> NormaliseKeyPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (!IsValidUtf8(path)) return std::nullopt;
  if (std::any_of(path.begin(), path.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); })) {
    return std::nullopt;
  }
  if (!path.empty()) {
    if (path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string_view::npos) {
      return std::nullopt;
    }
  }
  return KeyPath{std::string(path), FoldName(path)};
}

const Line* FindValue(const Section& section, const std::string& folded) {
  const auto found = section.values.find(folded);
  return found == section.values.end() ? nullptr : &section.lines[found->second];
}

/// Replaces the value of the same name in place (keeping the name's first spelling, as the registry
/// does), or appends it.
void SetValue(Section& section, Line value) {
  const auto [found, added] = section.values.try_emplace(value.folded, section.lines.size());
  if (added) {
    section.lines.push_back(std::move(value));
    return;
  }
  Line& existing = section.lines[found->second];
  value.name = std::move(existing.name);
  existing = std::move(value);
}

void AddComment(Section& section, std::string text) {
  Line comment;
  comment.kind = Line::Kind::Comment;
  comment.text = std::move(text);
  section.lines.push_back(std::move(comment));
}

Section* FindSection(Store& store, const std::string& folded) {
  const auto found = store.keys.find(folded);
  return found == store.keys.end() ? nullptr : &store.sections[found->second];
}

/// Appends a section; a visible one is entered in the key index, which must not hold its path yet.
Section& AddSection(Store& store, Section section) {
  if (section.visible) store.keys.emplace(section.folded, store.sections.size());
  store.sections.push_back(std::move(section));
  return store.sections.back();
}

/// Whether the key or one of its sub-keys holds a section. Called once per open and commit, so the scan
/// for sub-keys (when the key has no section of its own) keeps reading linear.
bool KeyExists(const Store& store, const std::string& folded) {
  if (folded.empty()) return true;  // the root itself
  if (store.keys.count(folded) != 0) return true;
  return std::any_of(store.sections.begin(), store.sections.end(), [&](const Section& section) {
    if (!section.visible || section.folded.size() < folded.size()) return false;
    if (section.folded.compare(0, folded.size(), folded) != 0) return false;
    return section.folded.size() == folded.size() || section.folded[folded.size()] == '\\';
  });
}

Section& FindOrAddSection(Store& store, const KeyPath& key) {
  if (Section* section = FindSection(store, key.folded)) return *section;
  Section section;
  section.header = key.spelled.empty() ? std::string(kRoot) : std::string(kRoot) + "\\" + key.spelled;
  section.visible = true;
  section.folded = key.folded;
  return AddSection(store, std::move(section));
}

/// Parses the value part after "name=". False when it is not a value line this store understands.
bool ParseData(std::string_view data, Line& line) {
  if (!data.empty() && data.front() == '"') {
    if (!ParseQuoted(data, line.text)) return false;
    if (!TrimSpaceOrTab(data).empty()) return false;
    line.kind = Line::Kind::String;
    return true;
  }
  if (data.size() > 6 && FoldName(data.substr(0, 6)) == "dword:") {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t value = 0;
    for (const char c : digits) {
      const int digit = HexValue(c);
      if (digit < 0) return false;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    line.kind = Line::Kind::Dword;
    line.dword = value;
    return true;
  }
  // Binary and other typed data (hex:..., hex(2):...) and the "-" of a deletion are kept as written.
  if (data == "-" || FoldName(data.substr(0, std::min<std::size_t>(data.size(), 3))) == "hex") {
    line.kind = Line::Kind::Other;
    line.text = std::string(data);
    return true;
  }
  return false;
}

/// Parses the whole file. On failure returns the 1-based number of the offending line.
std::optional<Store> ParseStore(std::string_view bytes, std::size_t& badLine) {
  Store store;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::string converted;
  if (!IsValidUtf8(bytes)) {
    converted = Windows1252ToUtf8(bytes);
    bytes = converted;
  }
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  std::size_t index = 0;
  while (index < lines.size() && TrimSpaceOrTab(lines[index]).empty()) ++index;
  if (index == lines.size()) return store;  // an empty file holds nothing
  if (TrimSpaceOrTab(lines[index]) != kHeader) {
    badLine = index + 1;
    return std::nullopt;
  }
  Section* current = nullptr;
  for (++index; index < lines.size(); ++index) {
    const std::string_view line = TrimSpaceOrTab(lines[index]);
    if (line.empty()) continue;
    if (line.front() == ';') {
      if (current != nullptr) {
        AddComment(*current, std::string(line));
      } else {
        store.leadingComments.emplace_back(line);
      }
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) {
        badLine = index + 1;
        return std::nullopt;
      }
      Section section;
      section.header = std::string(line.substr(1, line.size() - 2));
      const std::string_view header = section.header;
      const std::size_t split = header.find('\\');
      const std::string_view root = header.substr(0, split);
      if (FoldName(root) == FoldName(kRoot)) {
        const std::optional<KeyPath> key =
            NormaliseKeyPath(split == std::string_view::npos ? std::string_view() : header.substr(split));
        if (!key || (split != std::string_view::npos && key->spelled.empty())) {
          badLine = index + 1;
          return std::nullopt;
        }
        section.visible = true;
        section.folded = key->folded;
        // A key listed twice is one key: later values override earlier ones, as an import would.
        if (Section* existing = FindSection(store, section.folded)) {
          current = existing;
          continue;
        }
      }
      current = &AddSection(store, std::move(section));
      continue;
    }
    if (current == nullptr) {
      badLine = index + 1;
      return std::nullopt;
    }
    Line value;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (rest.front() != '"' || !ParseQuoted(rest, value.name)) {
      badLine = index + 1;
      return std::nullopt;
    }
    rest = TrimSpaceOrTab(rest);
    if (rest.empty() || rest.front() != '=') {
      badLine = index + 1;
      return std::nullopt;
    }
    rest = TrimSpaceOrTab(rest.substr(1));
    const std::size_t firstLine = index;
    std::string joined;
    if (!rest.empty() && rest.front() != '"' && rest.back() == '\\') {
      // Continued binary data: the following lines belong to the same value.
      joined = std::string(rest);
      while (joined.back() == '\\' && index + 1 < lines.size()) {
        joined += '\n';
        joined += TrimTrailingSpaceOrTab(lines[++index]);
      }
      // A continuation on the file's last line has nothing left to continue: the value ends with the
      // file, and the backslash goes, so that a line written after this value is never read as part of it.
      if (joined.back() == '\\') {
        joined.pop_back();
        joined.resize(TrimTrailingSpaceOrTab(joined).size());
      }
      rest = joined;
    }
    if (!ParseData(rest, value)) {
      badLine = firstLine + 1;
      return std::nullopt;
    }
    value.folded = FoldName(value.name);
    SetValue(*current, std::move(value));
  }
  return store;
}

std::string SerialiseStore(const Store& store) {
  std::string out(kHeader);
  out += '\n';
  for (const std::string& comment : store.leadingComments) {
    out += comment;
    out += '\n';
  }
  for (const Section& section : store.sections) {
    out += "\n[";
    out += section.header;
    out += "]\n";
    for (const Line& line : section.lines) {
      if (line.kind == Line::Kind::Comment) {
        out += line.text;
        out += '\n';
        continue;
      }
      if (line.name.empty()) {
        out += '@';
      } else {
        AppendQuoted(out, line.name);
      }
      out += '=';
      switch (line.kind) {
        case Line::Kind::Dword:
          out += "dword:";
          for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(line.dword >> shift) & 0x0F];
          break;
        case Line::Kind::String:
          AppendQuoted(out, line.text);
          break;
        case Line::Kind::Other:
        case Line::Kind::Comment:
          out += line.text;
          break;
      }
      out += '\n';
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------
// The file

enum class LoadResult { Loaded, Missing, Unreadable };

std::string ErrnoText(int error) { return std::strerror(error); }

/// Reads and parses the store file. A missing file is an empty store.
LoadResult LoadStore(const std::string& path, Store& store, std::string& reason) {
  store = Store();
  // O_NONBLOCK: a FIFO in place of the file would block the open until some program writes into it;
  // this way the open returns at once and the check below refuses it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // A folder of the path that is missing, or is a file, means the store cannot exist there yet.
    if (errno == ENOENT || errno == ENOTDIR) return LoadResult::Missing;
    reason = "cannot open: " + ErrnoText(errno);
    return LoadResult::Unreadable;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    reason = "not a regular file";
    return LoadResult::Unreadable;
  }
  if (info.st_size > kMaximumFileSize) {
    ::close(fd);
    reason = "larger than " + std::to_string(kMaximumFileSize) + " bytes";
    return LoadResult::Unreadable;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      reason = "cannot read: " + ErrnoText(errno);
      ::close(fd);
      return LoadResult::Unreadable;
    }
    if (count == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(count));
    if (bytes.size() > static_cast<std::size_t>(kMaximumFileSize)) {
      ::close(fd);
      reason = "larger than " + std::to_string(kMaximumFileSize) + " bytes";
      return LoadResult::Unreadable;
    }
  }
  ::close(fd);
  std::size_t badLine = 0;
  std::optional<Store> parsed = ParseStore(bytes, badLine);
  if (!parsed) {
    reason = "line " + std::to_string(badLine) + " is not a registry line";
    return LoadResult::Unreadable;
  }
  store = std::move(*parsed);
  return LoadResult::Loaded;
}

void TraceRefusal(std::string_view operation, const std::string& path, const std::string& reason,
                  std::string_view consequence) {
  TraceLazy(kTraceSource,
            [&] { return std::string(operation) + ": " + path + ": " + reason + "; " + std::string(consequence); });
}

}  // namespace

// -----------------------------------------------------------------------------------------------------

std::string CurrentUserRegistryPath() {
  return XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/Quorvel/Almanex/registry.reg";
}

// -----------------------------------------------------------------------------------------------------

struct RegistryKey::State {
  std::string storePath;
  KeyPath key;
  bool mustCreate = false;    // opened with create on a key that did not exist yet
  Store snapshot;             // the file at open, with this key's writes applied, for reads
  std::vector<Line> pending;  // the writes, replayed on a fresh read at commit
  // Held from the open (when the store's folder exists then) to the commit: another process's commit
  // cannot fall between what the key read and what it writes.
  CommitLock lock;
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() { Close(); }
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    state_ = std::move(other.state_);
  }
  return *this;
}

bool RegistryKey::IsOpen() const { return state_ != nullptr; }

RegistryStatus RegistryKey::Open(std::string_view keyPath, bool create, const std::string& storePath) {
  Close();
  std::optional<KeyPath> key = NormaliseKeyPath(keyPath);
  if (!key) return RegistryStatus::InvalidName;
  auto state = std::make_unique<State>();
  // Without it (no folder yet, or another process's commit that did not end in time) the key still
  // reads; its commit then takes the lock itself.
  state->lock = CommitLock::Acquire(storePath, kCommitLockWait);
  std::string reason;
  if (LoadStore(storePath, state->snapshot, reason) == LoadResult::Unreadable) {
    TraceRefusal("OpenKey", storePath, reason, "the file is neither read nor written");
    return RegistryStatus::Unreadable;
  }
  const bool exists = KeyExists(state->snapshot, key->folded);
  if (!exists && !create) return RegistryStatus::NotFound;
  state->storePath = storePath;
  state->mustCreate = !exists;
  if (state->mustCreate) FindOrAddSection(state->snapshot, *key);
  state->key = std::move(*key);
  state_ = std::move(state);
  return RegistryStatus::Ok;
}

namespace {

const Line* LookUp(Store& store, const std::string& foldedKey, std::string_view valueName) {
  Section* section = FindSection(store, foldedKey);
  if (section == nullptr) return nullptr;
  return FindValue(*section, FoldName(valueName));
}

}  // namespace

RegistryStatus RegistryKey::ReadDword(std::string_view valueName, std::uint32_t& value) const {
  if (!state_) return RegistryStatus::NotOpen;
  const Line* line = LookUp(state_->snapshot, state_->key.folded, valueName);
  if (line == nullptr) return RegistryStatus::NotFound;
  if (line->kind != Line::Kind::Dword) return RegistryStatus::WrongType;
  value = line->dword;
  return RegistryStatus::Ok;
}

RegistryStatus RegistryKey::ReadString(std::string_view valueName, std::string& value) const {
  if (!state_) return RegistryStatus::NotOpen;
  const Line* line = LookUp(state_->snapshot, state_->key.folded, valueName);
  if (line == nullptr) return RegistryStatus::NotFound;
  if (line->kind != Line::Kind::String) return RegistryStatus::WrongType;
  value = line->text;
  return RegistryStatus::Ok;
}

RegistryStatus RegistryKey::WriteDword(std::string_view valueName, std::uint32_t value) {
  if (!state_) return RegistryStatus::NotOpen;
  Line line;
  line.kind = Line::Kind::Dword;
  line.name = std::string(valueName);
  line.folded = FoldName(valueName);
  line.dword = value;
  SetValue(FindOrAddSection(state_->snapshot, state_->key), line);
  state_->pending.push_back(std::move(line));
  return RegistryStatus::Ok;
}

RegistryStatus RegistryKey::WriteString(std::string_view valueName, std::string_view value) {
  if (!state_) return RegistryStatus::NotOpen;
  Line line;
  line.kind = Line::Kind::String;
  line.name = std::string(valueName);
  line.folded = FoldName(valueName);
  line.text = std::string(value);
  SetValue(FindOrAddSection(state_->snapshot, state_->key), line);
  state_->pending.push_back(std::move(line));
  return RegistryStatus::Ok;
}

RegistryStatus RegistryKey::Close() {
  if (!state_) return RegistryStatus::NotOpen;
  const std::unique_ptr<State> state = std::move(state_);
  if (state->pending.empty() && !state->mustCreate) return RegistryStatus::Ok;
  try {
    std::string reason;
    if (!state->lock.Held()) {
      // The lock is taken on the store's folder, which the first commit creates.
      const std::size_t slash = state->storePath.rfind('/');
      if (slash != std::string::npos && slash > 0) CreateFolderChain(state->storePath.substr(0, slash), 0700);
      state->lock = CommitLock::Acquire(state->storePath, kCommitLockWait, &reason);
      if (!state->lock.Held()) {
        TraceRefusal("CloseKey", state->storePath, reason, "the writes are dropped and the file is left unchanged");
        return RegistryStatus::WriteFailed;
      }
    }
    // Start again from the file as it is now, so that writes committed since the open by a program that
    // takes no lock (a hand edit) survive.
    Store store;
    if (LoadStore(state->storePath, store, reason) == LoadResult::Unreadable) {
      TraceRefusal("CloseKey", state->storePath, reason, "the writes are dropped and the file is left unchanged");
      return RegistryStatus::Unreadable;
    }
    if (state->pending.empty() && KeyExists(store, state->key.folded)) return RegistryStatus::Ok;
    Section& section = FindOrAddSection(store, state->key);
    for (Line& line : state->pending) SetValue(section, std::move(line));

    // A read-only file is refused there, a symlinked one written through to its target.
    AtomicWriteOptions options;
    options.newFileMode = 0600;
    options.folderMode = 0700;
    if (!WriteFileAtomically(state->storePath, SerialiseStore(store), options, &reason)) {
      TraceRefusal("CloseKey", state->storePath, reason, "the writes are dropped and the file is left unchanged");
      return RegistryStatus::WriteFailed;
    }
    return RegistryStatus::Ok;
  } catch (...) {
    // Out of memory while building the file: the old file stays as it was.
    return RegistryStatus::WriteFailed;
  }
}

}  // namespace almanex
