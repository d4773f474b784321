#include "ConfigFile.h"

#include "base/Ascii.h"
#include "base/AtomicFile.h"
#include "base/TextEncoding.h"
#include "base/UserFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

namespace almanex {

namespace {

/// The p of a name "Event<p>" (letters of "Event" in any case, p decimal without leading zeros);
/// 0 when the name has another shape or p exceeds limit.
std::size_t EventNumber(std::string_view name, std::size_t limit) {
  static constexpr std::string_view kPrefix = "event";
  if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 19) return 0;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    if (ToLowerAscii(name[i]) != kPrefix[i]) return 0;
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

}  // namespace

std::string PortableConfigFilePathFor(std::string_view executablePath) {
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

std::string ConfigFilePathFor(std::string_view executablePath) {
  std::string portable = PortableConfigFilePathFor(executablePath);
  const std::string folder = portable.substr(0, portable.size() - std::string_view("/Config.INI").size());
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return portable;
  const std::string dataHome = XdgBaseFolder("XDG_DATA_HOME", ".local/share");
  return dataHome.empty() ? std::string() : dataHome + "/Almanex/Config.INI";
}

std::string ConfigFilePath() {
  const std::string executable = ExecutablePath();
  std::string path = ConfigFilePathFor(executable);
  if (!path.empty() && path != PortableConfigFilePathFor(executable)) {
    // The user's data folder: private, as the base directory rules ask of folders a program creates.
    CreateFolderChain(path.substr(0, path.rfind('/')), 0700);
  }
  return path;
}

bool EnsureFileExists(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return S_ISREG(info.st_mode);
  if (errno != ENOENT) return false;
  // O_EXCL creates the name itself and never follows a symbolic link, so the target of a dangling link
  // is never created (the atomic writer refuses such a link as well); O_NONBLOCK keeps a FIFO that
  // appears meanwhile from blocking. A file that another program created meanwhile is taken as it is.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return errno == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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

std::string DisplayText(std::string_view raw) { return IsValidUtf8(raw) ? std::string(raw) : Windows1252ToUtf8(raw); }

}  // namespace almanex
