#include "platform/core/LocaleCache.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <vector>

#include "base/AtomicFile.h"
#include "base/UserFolders.h"

namespace almanex {

namespace {

constexpr std::string_view kHeader = "Almanex locale formats 1";
/// A cache file is a few kilobytes; anything larger is not ours.
constexpr std::size_t kMaxCacheFileSize = 64 * 1024;

/// The locale variables Qt reads for QLocale::system() on Linux, in a fixed order.
constexpr std::array<const char*, 9> kLocaleVariables{"LC_ALL",      "LC_TIME",     "LC_NUMERIC",
                                                      "LC_MONETARY", "LC_MESSAGES", "LC_MEASUREMENT",
                                                      "LC_COLLATE",  "LANGUAGE",    "LANG"};

bool HasControl(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return text;
}

void AppendEscaped(std::string& out, std::string_view value) {
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x" + Hex(byte, 2);
    } else {
      out += c;
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> Unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    if (text[i] == '\\') {
      out += '\\';
    } else if (text[i] == 'n') {
      out += '\n';
    } else if (text[i] == 'r') {
      out += '\r';
    } else if (text[i] == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string*>> Fields(LocaleCacheEntry& entry) {
  return FormatSettingsFields(entry.settings);
}

/// What the builder module hands over.
struct Built {
  LocaleCacheEntry entry;
  std::vector<std::pair<std::string, std::string*>> fields = Fields(entry);
  std::size_t filled = 0;
  std::string qtCorePath;

  static void Put(void* context, const char* field, const char* value) {
    auto& built = *static_cast<Built*>(context);
    if (field == nullptr || value == nullptr) return;
    if (std::string_view(field) == kQtCoreField) {
      built.qtCorePath = value;
      return;
    }
    for (auto& [name, text] : built.fields) {
      if (name == field) {
        *text = value;
        ++built.filled;
        return;
      }
    }
  }
};

std::string StampText(const FileStamp& stamp) {
  std::string out = std::to_string(stamp.size) + " " + std::to_string(stamp.modified) + " ";
  AppendEscaped(out, stamp.path);
  return out;
}

std::optional<FileStamp> ParseStamp(std::string_view text) {
  FileStamp stamp;
  const char* end = text.data() + text.size();
  auto [afterSize, sizeError] = std::from_chars(text.data(), end, stamp.size);
  if (sizeError != std::errc() || afterSize == end || *afterSize != ' ') return std::nullopt;
  auto [afterTime, timeError] = std::from_chars(afterSize + 1, end, stamp.modified);
  if (timeError != std::errc() || afterTime == end || *afterTime != ' ') return std::nullopt;
  auto path = Unescaped(std::string_view(afterTime + 1, static_cast<std::size_t>(end - afterTime - 1)));
  if (!path || path->empty()) return std::nullopt;
  stamp.path = std::move(*path);
  return stamp;
}

/// The file's bytes, or nothing when it is missing, unreadable or too large to be a cache file.
std::optional<std::string> ReadSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  std::array<char, 8192> chunk;
  for (;;) {
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got > 0) {
      bytes.append(chunk.data(), static_cast<std::size_t>(got));
      if (bytes.size() > kMaxCacheFileSize) break;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) bytes.assign(kMaxCacheFileSize + 1, '\0');
    break;
  }
  ::close(fd);
  if (bytes.size() > kMaxCacheFileSize) return std::nullopt;
  return bytes;
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

/// The folder part of a path, without the final slash.
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

EUnknownLocale::EUnknownLocale(const std::string& name) : std::runtime_error("unknown locale '" + name + "'") {}

LocaleFormatsSource DefaultLocaleFormatsSource() {
  LocaleFormatsSource source;
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  if (cacheHome != nullptr && cacheHome[0] == '/') {
    source.cacheFolder = std::string(cacheHome) + "/Almanex";
  } else if (home != nullptr && home[0] == '/') {
    source.cacheFolder = std::string(home) + "/.cache/Almanex";
  }
  const std::string self = ExecutablePath();
  if (!self.empty()) {
    const std::string folder = FolderOf(self);
    for (const std::string& candidate :
         {folder + "/" + kLocaleFormatsModuleName, folder + "/../lib/almanex/" + kLocaleFormatsModuleName}) {
      if (IsRegularFile(candidate)) {
        source.modulePath = candidate;
        break;
      }
    }
  }
  return source;
}

std::optional<std::string> LocaleCacheKey(const std::optional<std::string>& name) {
  if (name) {
    if (HasControl(*name)) return std::nullopt;
    return "name " + *name;
  }
  std::string key = "system";
  for (const char* variable : kLocaleVariables) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] == '\0') continue;
    if (HasControl(value)) return std::nullopt;
    key.append(" ").append(variable).append("=").append(value);
  }
  return key;
}

std::string LocaleCacheFileName(std::string_view key, const std::optional<std::string>& name) {
  std::string readable;
  for (const char c : name.value_or("system").substr(0, 40)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                       c == '-' || c == '.' || c == '@';
    readable += plain ? c : '_';
  }
  return "Formats-" + readable + "-" + Hex(Fnv1a(key), 16) + ".txt";
}

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  stamp.path = path;
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return stamp;
  stamp.size = info.st_size;
  stamp.modified = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  return stamp;
}

std::string LocaleCacheText(const LocaleCacheEntry& entry) {
  LocaleCacheEntry copy = entry;
  std::string text(kHeader);
  text += "\nKey=";
  AppendEscaped(text, entry.key);
  text += "\nModule=" + StampText(entry.module) + "\nQtCore=" + StampText(entry.qtCore) + "\n";
  for (const auto& [name, value] : Fields(copy)) {
    text += name + "=";
    AppendEscaped(text, *value);
    text += "\n";
  }
  text += "Check=" + Hex(Fnv1a(text), 16) + "\n";
  return text;
}

std::optional<LocaleCacheEntry> ParseLocaleCacheText(std::string_view text) {
  // The check line covers every byte before it; a torn or edited file fails it.
  if (text.size() < 24 || text.back() != '\n') return std::nullopt;
  const std::size_t checkLine = text.rfind('\n', text.size() - 2);
  if (checkLine == std::string_view::npos) return std::nullopt;
  const std::string_view body = text.substr(0, checkLine + 1);
  if (text.substr(checkLine + 1) != "Check=" + Hex(Fnv1a(body), 16) + "\n") return std::nullopt;

  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < body.size();) {
    const std::size_t end = body.find('\n', start);
    lines.push_back(body.substr(start, end - start));
    start = end + 1;
  }
  LocaleCacheEntry entry;
  auto fields = Fields(entry);
  if (lines.size() != 4 + fields.size() || lines[0] != kHeader) return std::nullopt;
  const auto valueOf = [&lines](std::size_t index, std::string_view name) -> std::optional<std::string_view> {
    const std::string_view line = lines[index];
    if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != '=') {
      return std::nullopt;
    }
    return line.substr(name.size() + 1);
  };
  const auto key = valueOf(1, "Key");
  const auto module = valueOf(2, "Module");
  const auto qtCore = valueOf(3, "QtCore");
  if (!key || !module || !qtCore) return std::nullopt;
  auto keyText = Unescaped(*key);
  auto moduleStamp = ParseStamp(*module);
  auto qtCoreStamp = ParseStamp(*qtCore);
  if (!keyText || !moduleStamp || !qtCoreStamp) return std::nullopt;
  entry.key = std::move(*keyText);
  entry.module = std::move(*moduleStamp);
  entry.qtCore = std::move(*qtCoreStamp);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string_view raw = lines[4 + i];
    const std::string& name = fields[i].first;
    if (raw.size() < name.size() + 1 || raw.substr(0, name.size()) != name || raw[name.size()] != '=') {
      return std::nullopt;
    }
    auto value = Unescaped(raw.substr(name.size() + 1));
    if (!value) return std::nullopt;
    *fields[i].second = std::move(*value);
  }
  // A pattern the program cannot read dates with is no usable cache entry.
  if (entry.settings.shortDateFormat.empty() || entry.settings.longTimeFormat.empty()) return std::nullopt;
  return entry;
}

FormatSettings CachedFormatSettings(const std::optional<std::string>& name, const LocaleFormatsSource& source) {
  const std::optional<std::string> key = LocaleCacheKey(name);
  const std::string cachePath =
      key && !source.cacheFolder.empty() ? source.cacheFolder + "/" + LocaleCacheFileName(*key, name) : "";
  const FileStamp module = source.modulePath.empty() ? FileStamp{} : StampOf(source.modulePath);

  if (!cachePath.empty()) {
    if (const auto bytes = ReadSmallFile(cachePath)) {
      auto entry = ParseLocaleCacheText(*bytes);
      // Built for this key by this module on the Qt Core that is installed now.
      if (entry && entry->key == *key && (source.modulePath.empty() || entry->module == module) &&
          StampOf(entry->qtCore.path) == entry->qtCore) {
        return std::move(entry->settings);
      }
    }
  }

  if (source.modulePath.empty() || module.size < 0) {
    throw ELocaleFormatsUnavailable("cannot build the regional formats: no " + std::string(kLocaleFormatsModuleName) +
                                    " beside the program or in ../lib/almanex");
  }
  // Kept loaded to the end of the process: Qt Core does not expect to be unloaded.
  void* handle = ::dlopen(source.modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    throw ELocaleFormatsUnavailable("cannot build the regional formats: " +
                                    std::string(reason != nullptr ? reason : source.modulePath));
  }
  const auto build = reinterpret_cast<LocaleFormatsBuilder>(::dlsym(handle, kLocaleFormatsBuilderSymbol));
  if (build == nullptr) {
    throw ELocaleFormatsUnavailable("cannot build the regional formats: " + source.modulePath + " has no " +
                                    kLocaleFormatsBuilderSymbol);
  }
  Built built;
  if (build(name ? name->c_str() : nullptr, &Built::Put, &built) != 0) throw EUnknownLocale(name.value_or(""));
  if (built.filled != built.fields.size()) {
    throw ELocaleFormatsUnavailable("cannot build the regional formats: " + source.modulePath +
                                    " does not give every format");
  }
  LocaleCacheEntry& entry = built.entry;
  if (!cachePath.empty() && !built.qtCorePath.empty()) {
    entry.key = *key;
    entry.module = module;
    entry.qtCore = StampOf(built.qtCorePath);
    if (entry.qtCore.size >= 0) {
      AtomicWriteOptions options;
      options.newFileMode = 0600;
      options.folderMode = 0700;
      WriteFileAtomically(cachePath, LocaleCacheText(entry), options);  // a failure costs only speed
    }
  }
  return std::move(entry.settings);
}

}  // namespace almanex
