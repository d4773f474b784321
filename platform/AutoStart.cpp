#include "platform/AutoStart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cstdlib>
#include <optional>

#include "base/Ascii.h"
#include "base/AtomicFile.h"
#include "base/TextEncoding.h"
#include "base/UserFolders.h"

namespace almanex {

namespace {

bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

/// The general escapes of a string value: only the backslash can occur here (control characters are
/// refused before), and a leading blank would be dropped by readers, so it is written as \s.
std::string EscapeString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      out += "\\\\";
    } else if (i == 0 && text[i] == ' ') {
      out += "\\s";
    } else {
      out += text[i];
    }
  }
  return out;
}

/// The Exec value before the string escapes: the path as one quoted argument, '%' doubled so that it is
/// no field code.
std::string QuoteExecArgument(std::string_view path) {
  std::string out = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '%') {
      out += "%%";
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

/// The text of an existing regular file of at most kMaxEntrySize bytes; nothing for anything else (missing,
/// a FIFO, a folder, unreadable, huge).
std::optional<std::string> ReadExistingEntry(const std::string& path) {
  constexpr std::size_t kMaxEntrySize = 64 * 1024;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) <= kMaxEntrySize) {
    std::string buffer(kMaxEntrySize + 1, '\0');
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count >= 0) text = buffer.substr(0, static_cast<std::size_t>(count));
  }
  ::close(fd);
  return text;
}

}  // namespace

bool IsAutoStartEntrySwitchedOff(std::string_view entryText) {
  bool inMainGroup = false;
  for (std::size_t start = 0; start < entryText.size();) {
    std::size_t end = entryText.find('\n', start);
    if (end == std::string_view::npos) end = entryText.size();
    std::string_view line = entryText.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '[') {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inMainGroup || equals == std::string_view::npos) continue;
    // Blanks around the '=' are allowed; keys and the values true/false are case-sensitive.
    const std::string_view key = TrimSpaceOrTab(line.substr(0, equals));
    const std::string_view value = TrimSpaceOrTab(line.substr(equals + 1));
    if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) {
      return true;
    }
  }
  return false;
}

std::string UserAutoStartFolder() {
  const std::string configHome = XdgBaseFolder("XDG_CONFIG_HOME", ".config");
  return configHome.empty() ? std::string() : configHome + "/autostart";
}

std::string AutoStartEntryText(std::string_view valueName, std::string_view executablePath) {
  const std::string name = EscapeString(valueName);
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=" + name + "\n";
  text += "Comment=Starts " + name + " at logon\n";
  // TryExec lets the session skip the entry quietly while the executable is gone (moved, not yet
  // started from its new place); it is a plain string, so only the string escapes apply.
  text += "TryExec=" + EscapeString(executablePath) + "\n";
  text += "Exec=" + EscapeString(QuoteExecArgument(executablePath)) + "\n";
  text += "Terminal=false\n";
  text += "X-GNOME-Autostart-enabled=true\n";
  return text;
}

void RegisterAutoStart(std::string_view valueName, std::string_view executablePath) {
  try {
    if (valueName.empty() || valueName == "." || valueName == ".." || valueName.find('/') != std::string_view::npos ||
        HasControlCharacter(valueName) || !IsValidUtf8(valueName)) {
      return;
    }
    if (executablePath.empty() || executablePath.front() != '/' || HasControlCharacter(executablePath) ||
        !IsValidUtf8(executablePath)) {
      return;
    }
    const std::string text = AutoStartEntryText(valueName, executablePath);
    const std::string userFolder = UserAutoStartFolder();
    if (userFolder.empty()) return;
    const std::string path = userFolder + "/" + std::string(valueName) + ".desktop";
    // The user switched the entry off in the desktop's settings: that choice stays.
    const std::optional<std::string> existing = ReadExistingEntry(path);
    if (existing && IsAutoStartEntrySwitchedOff(*existing)) return;
    AtomicWriteOptions options;
    options.newFileMode = 0644;
    options.folderMode = 0700;
    WriteFileAtomically(path, text, options);
  } catch (...) {
    // Giving up silently is the documented outcome of every failure.
  }
}

}  // namespace almanex
