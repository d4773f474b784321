#include "base/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace almanex {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return WithoutTrailingSlashes(home);
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return WithoutTrailingSlashes(found->pw_dir);
  }
  return {};
}

std::string XdgBaseFolder(const char* variable, std::string_view defaultBelowHome) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return WithoutTrailingSlashes(value);
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return (home == "/" ? "" : home) + "/" + std::string(defaultBelowHome);
}

std::string ExecutablePath() {
  // readlink() rather than std::filesystem, whose paths bring the C++ locale machinery into almanex-cli.
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);  // perhaps cut short: again with more room
  }
}

}  // namespace almanex
