#include "TestSupport.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace almanex::test {

namespace {

std::string MakeTemporaryFolder(const std::string& root) {
  std::string pattern = root + "/almanex-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return buffer.data();
}

std::string TemporaryRoot() {
  const char* root = std::getenv("TMPDIR");
  return root != nullptr ? root : "/tmp";
}

}  // namespace

TempDir::TempDir() : path_(MakeTemporaryFolder(TemporaryRoot())) {}

TempDir::TempDir(InMemory)
    : path_(MakeTemporaryFolder(::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : TemporaryRoot())) {}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only files or folders behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool RunTogether(const std::vector<std::vector<std::string>>& commands) {
  std::vector<pid_t> children;
  bool allStarted = true;
  for (const std::vector<std::string>& command : commands) {
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0) {
      children.push_back(child);
    } else {
      allStarted = false;
    }
  }
  bool allSucceeded = allStarted;
  for (const pid_t child : children) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) allSucceeded = false;
  }
  return allSucceeded;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::string SectionBytes(const std::string& file, const std::string& header) {
  const std::size_t begin = file.find(header + "\r\n");
  if (begin == std::string::npos) return "";
  std::size_t end = file.find("\r\n[", begin);
  end = end == std::string::npos ? file.size() : end + 2;
  return file.substr(begin, end - begin);
}

double MakeDateTime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
                    unsigned millisecond) {
  using namespace std::chrono;
  const sys_days date = year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  const sys_days epoch = year_month_day{std::chrono::year{1899}, December, std::chrono::day{30}};
  const double days = static_cast<double>((date - epoch).count());
  return days + ((hour * 60.0 + minute) * 60.0 + second + millisecond / 1000.0) / 86400.0;
}

}  // namespace almanex::test
