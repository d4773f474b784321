// The read-only mapped snapshot of almanex-cli: on a file far larger than the part it keeps resident,
// every read in any order answers what the copying snapshot answers, views stay valid after their pages
// were given back, and nothing is ever written.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "store/IniFile.h"
#include "store/MappedReadGuard.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using namespace std::string_view_literals;

/// About 12 MB: three times the resident window, with the quirks a section may have (blank and
/// comment lines, indented keys, a repeated key and a repeated section, CR LF and LF line breaks).
std::string LargeFile(int sections) {
  std::string text = "; leading comment\r\norphan=1\r\n";
  for (int i = 0; i < sections; ++i) {
    const std::string n = std::to_string(i);
    const char* lineBreak = i % 7 == 0 ? "\n" : "\r\n";
    text += "[Event" + n + "]" + lineBreak;
    text += "Title=Title " + n + std::string(static_cast<std::size_t>(i % 40), 'x') + lineBreak;
    text += "  \tIndented = \"quoted " + n + "\"" + lineBreak;
    text += std::string("; comment") + lineBreak + lineBreak;
    for (int k = 0; k < 25; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(i * 31 + k) + lineBreak;
    text += "Title=second title ignored" + std::string(lineBreak);
  }
  text += "[event5]\r\nTitle=repeated section ignored\r\nOnlyHere=1\r\n";
  return text;
}

class IniReadOnlyTest : public testing::Test {
 protected:
  static constexpr int kSections = 40000;
  test::TempDir dir;
  std::string path = dir.File("Config.INI");
  void SetUp() override { test::WriteFileBytes(path, LargeFile(kSections)); }

  /// Every read of one section, answered by both snapshots.
  static void ExpectSameSection(const IniFile& copied, const IniFile& mapped, const std::string& section) {
    for (const char* key : {"Title", "indented", "Key0", "Key24", "OnlyHere", "Missing", "comment"}) {
      const auto expected = copied.ReadValue(section, key);
      const auto actual = mapped.ReadValue(section, key);
      ASSERT_EQ(expected.has_value(), actual.has_value()) << section << "/" << key;
      if (expected) {
        ASSERT_EQ(*expected, *actual) << section << "/" << key;
      }
    }
  }
};

TEST_F(IniReadOnlyTest, ReadsInFileOrderAndAtRandomAnswerAsTheCopy) {
  const IniFile copied(path);
  const IniFile mapped(path, IniFile::ReadOnlyMapped{});
  ASSERT_EQ(mapped.SectionNames(), copied.SectionNames());
  mapped.ForEachSectionName([&](std::string_view name) { ExpectSameSection(copied, mapped, std::string(name)); });

  std::vector<int> order(kSections);
  for (int i = 0; i < kSections; ++i) order[static_cast<std::size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  order.resize(2000);
  for (const int i : order) ExpectSameSection(copied, mapped, "EVENT" + std::to_string(i));
  ExpectSameSection(copied, mapped, "event5");
  EXPECT_FALSE(mapped.SectionExists("Event" + std::to_string(kSections)));
  EXPECT_EQ(mapped.ReadInteger("Event39999", "Key24", -1), 39999 * 31 + 24);
}

TEST_F(IniReadOnlyTest, ViewsStayValidAfterTheirPagesWereGivenBack) {
  const IniFile mapped(path, IniFile::ReadOnlyMapped{});
  const std::string_view first = *mapped.ReadValue("Event0", "Key3");
  // Reading to the end gives back the pages of the first sections.
  mapped.ForEachSectionName([&](std::string_view name) { mapped.ReadValue(name, "Key3"); });
  EXPECT_EQ(first, "3");
  EXPECT_EQ(*mapped.ReadValue("Event0", "Indented"), "quoted 0");
}

TEST_F(IniReadOnlyTest, NeverWrites) {
  const std::string before = test::ReadFileBytes(path);
  {
    IniFile mapped(path, IniFile::ReadOnlyMapped{});
    mapped.WriteString("Event1", "Title", "changed");
    mapped.EraseSection("Event2");
    EXPECT_EQ(*mapped.ReadValue("Event1", "Title"), "changed");  // this operation sees its own writes
    EXPECT_THROW(mapped.Flush(), EIniWriteError);
  }  // the destructor does not write either
  EXPECT_EQ(test::ReadFileBytes(path), before);
}

struct SmallFile {
  const char* name;
  std::optional<std::string_view> bytes;  // nothing: no file
};

void PrintTo(const SmallFile& file, std::ostream* out) { *out << file.name; }

class IniReadOnlySmall : public testing::TestWithParam<SmallFile> {};

TEST_P(IniReadOnlySmall, ReadsAsTheCopy) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  if (GetParam().bytes) test::WriteFileBytes(path, *GetParam().bytes);
  const IniFile copied(path);
  const IniFile mapped(path, IniFile::ReadOnlyMapped{});
  EXPECT_EQ(mapped.SectionNames(), copied.SectionNames());
  for (const std::string& section : copied.SectionNames()) {
    for (const char* key : {"a", "b", "c"}) {
      EXPECT_EQ(mapped.ReadString(section, key, "(none)"), copied.ReadString(section, key, "(none)"))
          << section << "/" << key;
    }
  }
}

const SmallFile kSmallFiles[] = {
    {"Missing", std::nullopt},
    {"Empty", ""sv},
    {"ByteOrderMarkOnly", "\xEF\xBB\xBF"sv},
    {"ByteOrderMark", "\xEF\xBB\xBF[S]\na=1\n"sv},
    {"NoFinalLineBreak", "[S]\r\na=1\r\nb=2"sv},
    {"HeaderAtEnd", "[S]\na=1\n[T]"sv},
    {"BlanksAndNuls", "[S]\n \t\0a =1\n\nb\t= 2 \n"sv},
    {"OnlyBlanksAfter", "[S]\na=1\n   "sv},
    {"CrOnly", "[S]\ra=1\rb=2\r[T]\rc=3"sv},
};

INSTANTIATE_TEST_SUITE_P(Files, IniReadOnlySmall, testing::ValuesIn(kSmallFiles),
                         [](const testing::TestParamInfo<SmallFile>& info) { return std::string(info.param.name); });

// Another program cuts the mapped file short in place while it is read. Without the guard the next read
// of a page past the new end ends the process with SIGBUS; with it those pages read as zeros: the values
// fall back to their defaults, and the process goes on.
void ReadAfterTheFileIsCutShort(bool guarded) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, LargeFile(60000));
  if (guarded) GuardMappedReads();
  const IniFile mapped(path, IniFile::ReadOnlyMapped{});
  if (mapped.ReadString("Event10", "Title", "") != "Title 10xxxxxxxxxx") std::_Exit(2);
  if (::truncate(path.c_str(), 0) != 0) std::_Exit(3);
  const std::string late = mapped.ReadString("Event59000", "Title", "(gone)");
  const std::string early = mapped.ReadString("Event11", "Title", "(gone)");
  std::_Exit(late == "(gone)" && (early == "(gone)" || early == "Title 11xxxxxxxxxxx") ? 0 : 4);
}

TEST(IniReadOnlyCutShort, WithoutTheGuardAReadPastTheNewEndIsABusError) {
  EXPECT_EXIT(ReadAfterTheFileIsCutShort(false), testing::KilledBySignal(SIGBUS), "");
}

TEST(IniReadOnlyCutShort, WithTheGuardThePagesReadAsZeros) {
  EXPECT_EXIT(ReadAfterTheFileIsCutShort(true), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace almanex
