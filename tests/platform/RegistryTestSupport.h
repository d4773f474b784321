#pragma once
// Shared by the settings-store, registry-helper and autostart tests: a private environment per test.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <ostream>
#include <string>

#include "platform/Registry.h"
#include "tests/common/TestSupport.h"

namespace almanex {

/// Names the status in test failure messages.
inline void PrintTo(RegistryStatus status, std::ostream* out) {
  static constexpr const char* kNames[] = {"Ok",          "NotFound",    "WrongType", "Unreadable",
                                           "InvalidName", "WriteFailed", "NotOpen"};
  *out << kNames[static_cast<int>(status)];
}

}  // namespace almanex

namespace almanex::test {

/// Every test gets fresh, empty config folders: the user's (XDG_CONFIG_HOME) and the system-wide one
/// (XDG_CONFIG_DIRS). Neither exists yet, so the code under test has to create them.
class PrivateConfigTest : public ::testing::Test {
 protected:
  TempDir root_;
  const std::string configHome_ = root_.File("config");
  const std::string configDirs_ = root_.File("etc-xdg");
  ScopedEnvironment home_{"XDG_CONFIG_HOME", configHome_};
  ScopedEnvironment dirs_{"XDG_CONFIG_DIRS", configDirs_};
  ScopedEnvironment runtime_{"XDG_RUNTIME_DIR", root_.Path()};

  std::string RegistryFile() const { return configHome_ + "/Quorvel/Almanex/registry.reg"; }
};

}  // namespace almanex::test
