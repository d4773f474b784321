#include "TestSupport.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace almanex::test {

TempDir::TempDir() {
  const char* root = std::getenv("TMPDIR");
  std::string pattern = std::string(root != nullptr ? root : "/tmp") + "/almanex-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

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
