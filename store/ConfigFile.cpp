#include "ConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace almanex {

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

/// The p of a name "Event<p>" (letters of "Event" in any case, p decimal without leading zeros);
/// 0 when the name has another shape or p exceeds limit.
std::size_t EventNumber(std::string_view name, std::size_t limit) {
  static constexpr std::string_view kPrefix = "event";
  if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 19) return 0;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    if (FoldCase(name[i]) != kPrefix[i]) return 0;
  }
  const std::string_view digits = name.substr(kPrefix.size());
  if (digits.front() == '0') return 0;
  std::uint64_t number = 0;  // at most 19 digits: no overflow
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number <= limit ? static_cast<std::size_t>(number) : 0;
}

/// The length of the valid UTF-8 sequence at text[i], or 0 when none starts there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80;   // range of the second byte, narrowed against overlong forms,
  unsigned char high = 0xBF;  // surrogates and code points above U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// Windows-1252 at 0x80..0x9F; the five bytes it leaves undefined map to the C1 controls of the same
// number, as the Windows conversion does. 0xA0..0xFF are U+00A0..U+00FF.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string ConfigFilePathFor(std::string_view executablePath) {
  // The executable's folder without its trailing '/', the root keeping it ...
  const std::size_t slash = executablePath.rfind('/');
  std::string_view folder;
  if (slash == 0) {
    folder = executablePath.substr(0, 1);
  } else if (slash != std::string_view::npos) {
    folder = executablePath.substr(0, slash);
  }
  // ... then its parent up to and including the last '/'.
  const std::size_t parentSlash = folder.rfind('/');
  const std::string_view parent =
      parentSlash == std::string_view::npos ? std::string_view() : folder.substr(0, parentSlash + 1);
  return std::string(parent) + "Config/Config.INI";
}

std::string ExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string ConfigFilePath() { return ConfigFilePathFor(ExecutablePath()); }

bool EnsureFileExists(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return S_ISREG(info.st_mode);
  if (errno != ENOENT) return false;
  // Without O_EXCL a dangling symbolic link gets its target created; O_NONBLOCK keeps a FIFO that
  // appears meanwhile from blocking.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  return ::close(fd) == 0 && regular;
}

std::string FailToCreateFileMessage(const std::string& path) {
  return "Fail to create file " + path + "." + "\r" + "Please make sure the disk is not full or corrupted.";
}

bool IsEventSection(std::string_view section) { return section.find("Event") != std::string_view::npos; }

std::string NextEventName(const std::vector<std::string>& eventSections) {
  // Trials p = 1 .. n + 1; a name outside that range can block no trial.
  const std::size_t trials = eventSections.size() + 1;
  std::vector<bool> taken(trials + 1, false);
  for (const std::string& name : eventSections) taken[EventNumber(name, trials)] = true;
  std::size_t candidate = trials;
  while (taken[candidate]) --candidate;  // n names block at most n of the n + 1 trials, so this stops at >= 1
  return "Event" + std::to_string(candidate);
}

std::string DisplayText(std::string_view raw) {
  if (IsValidUtf8(raw)) return std::string(raw);
  std::string out;
  out.reserve(raw.size() * 2);
  for (char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else if (byte < 0xA0) {
      AppendUtf8(out, kWindows1252High[byte - 0x80]);
    } else {
      AppendUtf8(out, byte);
    }
  }
  return out;
}

}  // namespace almanex
