#pragma once
// Helpers of the store tests: folder listings and the FileOperations that fails on request.

#include <filesystem>
#include <set>
#include <string>

#include "store/IniFile.h"
#include "tests/base/FaultyFileOperations.h"

namespace almanex::test {

/// The names in a folder, sorted.
inline std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace almanex::test
