// The main of every test binary: a fixed, private environment, then GoogleTest.
//
// Each process gets its own 0700 runtime folder and its own config and data folders, so that no test
// reads or writes the real home, /etc or another test's sockets. Qt runs offscreen unless told otherwise.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

namespace {

std::string MakePrivateFolder(const std::string& root, const char* name) {
  std::string path = root + "/" + name;
  std::filesystem::create_directories(path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string pattern = "/tmp/almanex-env-XXXXXX";
  char* root = mkdtemp(pattern.data());
  if (root != nullptr) {
    setenv("XDG_RUNTIME_DIR", MakePrivateFolder(root, "runtime").c_str(), 1);
    setenv("XDG_CONFIG_HOME", MakePrivateFolder(root, "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", MakePrivateFolder(root, "etc-xdg").c_str(), 1);
    setenv("XDG_DATA_HOME", MakePrivateFolder(root, "data").c_str(), 1);
    setenv("XDG_STATE_HOME", MakePrivateFolder(root, "state").c_str(), 1);
    setenv("XDG_CACHE_HOME", MakePrivateFolder(root, "cache").c_str(), 1);
    setenv("TMPDIR", MakePrivateFolder(root, "tmp").c_str(), 1);
  }
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (root != nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  return result;
}
