// Files that are damaged, huge or not files at all: no crash, no hang, what parses is read, and
// nothing in them is lost by a later write.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "store/ConfigFile.h"
#include "store/IniFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using namespace std::string_literals;

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

TEST(IniGarbledInput, BinaryBytesAreReadAndKept) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  // Random bytes with some structure sprinkled in, so that headers and entries do occur.
  std::string bytes = RandomBytes(1 << 20, 7);
  for (std::size_t i = 0; i + 8 < bytes.size(); i += 997) bytes.replace(i, 8, i % 2 ? "\n[Ev]x=\n" : "\r\nk=v\0\r"s);
  test::WriteFileBytes(path, bytes);
  {
    IniFile file(path);
    for (const std::string& name : file.SectionNames()) {
      EXPECT_TRUE(file.SectionExists(name));
      (void)file.ReadValue(name, "k");
    }
    file.WriteString("Probe Section", "Key", "Value");
    file.Flush();
  }
  const std::string after = test::ReadFileBytes(path);
  ASSERT_GT(after.size(), bytes.size());
  EXPECT_EQ(after.substr(0, bytes.size()), bytes);
  EXPECT_EQ(IniFile(path).ReadString("Probe Section", "Key", ""), "Value");
}

TEST(IniGarbledInput, NulBytesAreOrdinaryBytes) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[A]\r\nk=v\0w\r\n\0\0\0\r\n[B]\0\r\nk=2\r\n"s);
  const IniFile file(path);
  EXPECT_EQ(file.SectionNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(file.ReadString("A", "k", ""), "v\0w"s);
  EXPECT_EQ(file.ReadString("B", "k", ""), "2");
}

// A header holding a NUL lists under its name from the file; erasing the section by that name removes it
// from the listing at once, not only from the file at the commit.
TEST(IniGarbledInput, AnErasedSectionWithANulInItsHeaderIsNoLongerListed) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[A\0B]\r\nk=v\r\n[C]\r\nk=1\r\n[D\0\0e]\r\nk=2\r\n"s);
  {
    IniFile file(path);
    const std::vector<std::string> names = file.SectionNames();
    ASSERT_EQ(names, (std::vector<std::string>{"A\0B"s, "C", "D\0\0e"s}));
    file.EraseSection(names[0]);
    file.EraseSection(names[2]);
    EXPECT_EQ(file.SectionNames(), std::vector<std::string>{"C"});
    EXPECT_FALSE(file.SectionExists(names[0]));
    EXPECT_FALSE(file.ReadValue(names[0], "k").has_value());
    file.Flush();
    EXPECT_EQ(file.SectionNames(), std::vector<std::string>{"C"});
  }
  EXPECT_EQ(test::ReadFileBytes(path), "[C]\r\nk=1\r\n");
  EXPECT_EQ(IniFile(path).SectionNames(), std::vector<std::string>{"C"});
}

TEST(IniGarbledInput, TenMebibyteLineIsReadWhole) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  const std::string longValue(10u << 20, 'x');
  test::WriteFileBytes(path, "[A]\r\nLong=" + longValue + "\r\n[" + std::string(10u << 20, 'y') + "\r\n[B]\r\nk=1\r\n");
  IniFile file(path);
  EXPECT_EQ(file.ReadString("A", "Long", "").size(), longValue.size());
  EXPECT_EQ(file.SectionNames().size(), 3u);
  EXPECT_EQ(file.ReadString("B", "k", ""), "1");
  file.WriteString("A", "Long", "short");
  file.Flush();
  EXPECT_EQ(IniFile(path).ReadString("A", "Long", ""), "short");
}

TEST(IniGarbledInput, HundredThousandSectionsAreAllListed) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  std::string bytes;
  constexpr int kCount = 100000;
  for (int i = 1; i <= kCount; ++i) bytes += "[Event" + std::to_string(i) + "]\r\nTitle=" + std::to_string(i) + "\r\n";
  test::WriteFileBytes(path, bytes);
  const IniFile file(path);
  const std::vector<std::string> names = file.SectionNames();
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kCount));
  for (int i = 1; i <= kCount; ++i) ASSERT_EQ(names[i - 1], "Event" + std::to_string(i));
  EXPECT_EQ(file.ReadString("Event100000", "Title", ""), "100000");
  EXPECT_EQ(file.ReadString("event77777", "title", ""), "77777");
  EXPECT_EQ(NextEventName(names), "Event100001");
}

TEST(IniGarbledInput, StrayBracketsAndEqualsSigns) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[\r\n]\r\n[]\r\n=\r\n==\r\n[[]]\r\n]]=[[\r\n[ ]\r\n");
  const IniFile file(path);
  EXPECT_EQ(file.SectionNames(), (std::vector<std::string>{"", "[]"}));
  EXPECT_EQ(file.ReadString("", "", "none"), "none") << "the entries follow a repeated header, which the first shadows";
  EXPECT_EQ(file.ReadString("[]", "]]", "none"), "[[");
}

TEST(IniGarbledInput, FileWithoutPermissionsIsNeverReplaced) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nTitle=Kept\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  {
    IniFile file(path);
    // Root reads it anyway; anybody else sees an empty file.
    const std::size_t expected = ::geteuid() == 0 ? 1 : 0;
    EXPECT_EQ(file.SectionNames().size(), expected);
    file.WriteString("Event2", "Title", "New");
    EXPECT_THROW(file.Flush(), EIniWriteError);
  }
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(test::ReadFileBytes(path), "[Event1]\r\nTitle=Kept\r\n");
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
}

TEST(IniGarbledInput, FolderInPlaceOfTheFile) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  std::filesystem::create_directory(path);
  IniFile file(path);
  EXPECT_TRUE(file.SectionNames().empty());
  EXPECT_EQ(file.ReadString("Event1", "Title", "none"), "none");
  file.WriteString("Event1", "Title", "x");
  EXPECT_THROW(file.Flush(), EIniWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
  EXPECT_FALSE(EnsureFileExists(path));
}

TEST(IniGarbledInput, FifoInPlaceOfTheFileDoesNotHang) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  IniFile file(path);
  EXPECT_TRUE(file.SectionNames().empty());
  file.WriteString("Event1", "Title", "x");
  EXPECT_THROW(file.Flush(), EIniWriteError);
  EXPECT_FALSE(EnsureFileExists(path));
}

}  // namespace
}  // namespace almanex
