// Where the configuration file lives, creating it, naming event sections and display text.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/TextEncoding.h"
#include "base/UserFolders.h"
#include "store/ConfigFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using namespace std::string_literals;

TEST(ConfigFilePath, OneLevelAboveTheExecutablesFolder) {
  const struct {
    const char* executable;
    const char* expected;
  } rows[] = {
      {"/opt/almanex/bin/almanex", "/opt/almanex/Config/Config.INI"},
      {"/almanex", "/Config/Config.INI"},
      {"/bin/almanex", "/Config/Config.INI"},
      {"/home/ann/Apps/Almanex/Bin/almanex", "/home/ann/Apps/Almanex/Config/Config.INI"},
      {"/opt/my almanex/bin/almanex", "/opt/my almanex/Config/Config.INI"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PortableConfigFilePathFor(row.executable), row.expected) << row.executable;
  }
}

// The portable place holds while its Config folder exists; otherwise the user's data folder.
class ConfigFileLocation : public ::testing::Test {
 protected:
  test::TempDir root_;
  test::ScopedEnvironment home_{"HOME", root_.File("home")};
  test::ScopedEnvironment dataHome_{"XDG_DATA_HOME", std::nullopt};
  std::string executable_ = root_.File("opt/almanex/bin/almanex");
};

TEST_F(ConfigFileLocation, PortableWhileTheConfigFolderExists) {
  std::filesystem::create_directories(root_.File("opt/almanex/Config"));
  EXPECT_EQ(ConfigFilePathFor(executable_), root_.File("opt/almanex/Config/Config.INI"));
}

TEST_F(ConfigFileLocation, TheUsersDataFolderOtherwise) {
  const struct {
    const char* name;
    std::optional<std::string> dataHome;
    std::string expected;
  } rows[] = {
      {"unset", std::nullopt, root_.File("home/.local/share/Almanex/Config.INI")},
      {"empty", "", root_.File("home/.local/share/Almanex/Config.INI")},
      {"relative is ignored", "data", root_.File("home/.local/share/Almanex/Config.INI")},
      {"absolute", root_.File("data/"), root_.File("data/Almanex/Config.INI")},
  };
  for (const auto& row : rows) {
    test::ScopedEnvironment dataHome("XDG_DATA_HOME", row.dataHome);
    EXPECT_EQ(ConfigFilePathFor(executable_), row.expected) << row.name;
  }
  // A regular file named Config is no folder to keep events in.
  std::filesystem::create_directories(root_.File("opt/almanex"));
  test::WriteFileBytes(root_.File("opt/almanex/Config"), "");
  EXPECT_EQ(ConfigFilePathFor(executable_), root_.File("home/.local/share/Almanex/Config.INI"));
}

// The test executable's tree has no Config folder one level up, so the running program's file is in the
// user's data folder, which is created private for it.
TEST_F(ConfigFileLocation, TheRunningProgramCreatesItsPrivateDataFolder) {
  const std::string executable = ExecutablePath();
  ASSERT_FALSE(executable.empty());
  EXPECT_EQ(std::filesystem::path(executable).filename(), "test_store");
  ASSERT_FALSE(std::filesystem::exists(std::filesystem::path(executable).parent_path().parent_path() / "Config"));
  const std::string path = ConfigFilePath();
  EXPECT_EQ(path, root_.File("home/.local/share/Almanex/Config.INI"));
  for (const char* folder : {"home/.local/share/Almanex", "home/.local/share", "home/.local"}) {
    struct stat info {};
    ASSERT_EQ(::stat(root_.File(folder).c_str(), &info), 0) << folder;
    EXPECT_EQ(info.st_mode & 07777, 0700u) << folder;
  }
  EXPECT_TRUE(EnsureFileExists(path));
}

TEST(EnsureFileExists, CreatesAnEmptyFileInAnExistingFolder) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  EXPECT_TRUE(EnsureFileExists(path));
  EXPECT_TRUE(test::FileExists(path));
  EXPECT_EQ(test::ReadFileBytes(path), "");
}

TEST(EnsureFileExists, LeavesAnExistingFileAlone) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nTitle=x\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);  // read-only: exists, so the write reports the failure
  EXPECT_TRUE(EnsureFileExists(path));
  EXPECT_EQ(test::ReadFileBytes(path), "[Event1]\r\nTitle=x\r\n");
}

TEST(EnsureFileExists, NeverCreatesTheFolder) {
  test::TempDir dir;
  const std::string path = dir.File("Config/Config.INI");
  EXPECT_FALSE(EnsureFileExists(path));
  EXPECT_FALSE(test::FileExists(dir.File("Config")));
  EXPECT_EQ(FailToCreateFileMessage(path),
            "Fail to create file " + path + ".\rPlease make sure the disk is not full or corrupted.");
}

// The creation follows the writer's rule for links: the target of a dangling link is never created (as
// root, a link into a root-only folder would otherwise create a file there); a link to an existing file
// is that file, which the writer then follows or refuses.
TEST(EnsureFileExists, NeverCreatesTheTargetOfADanglingLink) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("elsewhere"));
  const std::string path = dir.File("Config.INI");
  ASSERT_EQ(::symlink(dir.File("elsewhere/target").c_str(), path.c_str()), 0);
  EXPECT_FALSE(EnsureFileExists(path));
  EXPECT_FALSE(test::FileExists(dir.File("elsewhere/target")));
  EXPECT_TRUE(std::filesystem::is_symlink(path));

  test::WriteFileBytes(dir.File("elsewhere/target"), "[Event1]\r\n");
  EXPECT_TRUE(EnsureFileExists(path));
  EXPECT_EQ(test::ReadFileBytes(dir.File("elsewhere/target")), "[Event1]\r\n");
}

TEST(EventSection, NameContainsEventWithItsCase) {
  const struct {
    const char* name;
    bool expected;
  } rows[] = {
      {"Event1", true},        {"Event12", true}, {"Event7", true},  {"MyEvent", true},
      {"Events", true},        {"Event", true},   {"event7", false}, {"EVENT7", false},
      {"GridSettings", false}, {"", false},       {"Even t", false}, {"xEventx", true},
  };
  for (const auto& row : rows) EXPECT_EQ(IsEventSection(row.name), row.expected) << row.name;
}

TEST(NextEventName, LastFreeTrialOfOneToNPlusOne) {
  const struct {
    std::vector<std::string> names;
    const char* expected;
  } rows[] = {
      {{"Event1", "Event2", "Event3"}, "Event4"},
      {{"Event1", "Event3"}, "Event2"},
      {{"Event2", "Event5"}, "Event3"},  // trials 1 and 3 are free, the later wins
      {{"Event2", "Event5", "Event3"}, "Event4"},
      {{"Event1", "MyEvent"}, "Event3"},
      {{}, "Event1"},
      {{"EVENT1", "event2"}, "Event3"},  // letter case ignored
      {{"Event01"}, "Event2"},           // Event01 is not Event1: trials 1 and 2 are free
      {{"Event2"}, "Event1"},
      {{"Event02"}, "Event2"},            // the top trial is free too: Event02 is not Event2
      {{"Event1", "Event03"}, "Event3"},  // likewise on the top trial, after a taken one
      {{"Event1", "Event1x", "Event18446744073709551617"}, "Event4"},
  };
  for (const auto& row : rows) EXPECT_EQ(NextEventName(row.names), row.expected) << ::testing::PrintToString(row.names);
}

TEST(DisplayText, ValidUtf8IsUnchangedAndAnythingElseIsWindows1252) {
  const struct {
    std::string raw;
    std::string expected;
  } rows[] = {
      {"Wedding anniversary", "Wedding anniversary"},
      {"", ""},
      {"Gr\xC3\xB6\xC3\x9F"
       "e",
       "Gr\xC3\xB6\xC3\x9F"
       "e"},                                     // "Größe" in UTF-8
      {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},      // "€ 5" in UTF-8
      {"\xF0\x9F\x8E\x82", "\xF0\x9F\x8E\x82"},  // U+1F382
      {"Gr\xF6\xDF"
       "e",
       "Gr\xC3\xB6\xC3\x9F"
       "e"},  // "Größe" in Windows-1252
      {"\x80 5", "\xE2\x82\xAC 5"},
      {"\x93quoted\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined: the C1 controls
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                      // overlong form
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                      // surrogate
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},      // above U+10FFFF
      {"caf\xC3", "caf\xC3\x83"},                                            // cut short
      {"a\0b"s, "a\0b"s},
  };
  for (const auto& row : rows) EXPECT_EQ(DisplayText(row.raw), row.expected) << ::testing::PrintToString(row.raw);
}

std::string Utf8(char32_t code) {
  std::string out;
  AppendUtf8(out, code);
  return out;
}

TEST(DisplayText, EveryCodePointInUtf8IsKept) {
  for (char32_t code = 0; code <= 0x10FFFF; ++code) {
    const std::string text = Utf8(code);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (surrogate) {
      ASSERT_NE(DisplayText(text), text) << static_cast<unsigned>(code);
    } else {
      ASSERT_EQ(DisplayText(text), text) << static_cast<unsigned>(code);
    }
  }
}

TEST(DisplayText, EveryHighWindows1252ByteBecomesOneCharacter) {
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const std::string shown = DisplayText(std::string(1, static_cast<char>(byte)));
    EXPECT_EQ(DisplayText(shown), shown) << "not valid UTF-8 for byte " << byte;
    if (byte >= 0xA0) {
      EXPECT_EQ(shown, Utf8(static_cast<char32_t>(byte))) << byte;
    }
  }
}

}  // namespace
}  // namespace almanex
