#include "platform/AutoStart.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cstdlib>

#include "base/AtomicFile.h"
#include "base/TextEncoding.h"

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

/// An absolute entry of a colon-separated list, or `fallback` when the list has none (relative entries
/// are invalid and ignored).
std::string FirstAbsoluteEntry(const char* list, const std::string& fallback) {
  if (list == nullptr) return fallback;
  const std::string_view entries(list);
  for (std::size_t start = 0; start <= entries.size();) {
    std::size_t end = entries.find(':', start);
    if (end == std::string_view::npos) end = entries.size();
    const std::string_view entry = entries.substr(start, end - start);
    if (!entry.empty() && entry.front() == '/') return std::string(entry);
    start = end + 1;
  }
  return fallback;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* entry = ::getpwuid(::getuid());
  if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') return entry->pw_dir;
  return {};
}

}  // namespace

std::string SystemAutoStartFolder() {
  return WithoutTrailingSlashes(FirstAbsoluteEntry(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg")) + "/autostart";
}

std::string UserAutoStartFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') return WithoutTrailingSlashes(configHome) + "/autostart";
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return WithoutTrailingSlashes(home) + "/.config/autostart";
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
    const std::string fileName = "/" + std::string(valueName) + ".desktop";
    // The system-wide folder is read by every user's session, the user's own only by its owner.
    AtomicWriteOptions options;
    options.newFileMode = 0644;
    options.folderMode = 0755;
    if (WriteFileAtomically(SystemAutoStartFolder() + fileName, text, options)) return;
    const std::string userFolder = UserAutoStartFolder();
    if (userFolder.empty()) return;
    options.folderMode = 0700;
    WriteFileAtomically(userFolder + fileName, text, options);
  } catch (...) {
    // Giving up silently is the documented outcome of every failure.
  }
}

}  // namespace almanex
