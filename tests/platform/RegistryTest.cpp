// The settings store as a user sees it: what it reads back, the bytes of registry.reg, and files it must
// leave alone (garbled, hand-edited, read-only, too large).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "tests/common/TraceFakes.h"
#include "tests/platform/RegistryTestSupport.h"

namespace almanex {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr const char* kPositionKey = "Software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\Position";

class RegistryTest : public test::PrivateConfigTest {
 protected:
  // Writes one value in its own open/close, as the helpers do.
  RegistryStatus WriteString(const std::string& key, const std::string& name, const std::string& value) {
    RegistryKey handle;
    if (RegistryStatus status = handle.Open(key, true); status != RegistryStatus::Ok) return status;
    handle.WriteString(name, value);
    return handle.Close();
  }
  RegistryStatus WriteDword(const std::string& key, const std::string& name, std::uint32_t value) {
    RegistryKey handle;
    if (RegistryStatus status = handle.Open(key, true); status != RegistryStatus::Ok) return status;
    handle.WriteDword(name, value);
    return handle.Close();
  }
  RegistryStatus ReadString(const std::string& key, const std::string& name, std::string& value) {
    RegistryKey handle;
    if (RegistryStatus status = handle.Open(key, false); status != RegistryStatus::Ok) return status;
    return handle.ReadString(name, value);
  }
  RegistryStatus ReadDword(const std::string& key, const std::string& name, std::uint32_t& value) {
    RegistryKey handle;
    if (RegistryStatus status = handle.Open(key, false); status != RegistryStatus::Ok) return status;
    return handle.ReadDword(name, value);
  }
  void SeedFile(std::string_view bytes) {
    std::filesystem::create_directories(std::filesystem::path(RegistryFile()).parent_path());
    WriteFileBytes(RegistryFile(), bytes);
  }
};

TEST_F(RegistryTest, StoreLivesBelowXdgConfigHome) { EXPECT_EQ(CurrentUserRegistryPath(), RegistryFile()); }

TEST_F(RegistryTest, FallsBackToDotConfigInHomeWhenConfigHomeIsUnsetOrRelative) {
  test::ScopedEnvironment home("HOME", root_.File("home"));
  for (const std::optional<std::string>& value :
       {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("relative/config")}) {
    test::ScopedEnvironment configHome("XDG_CONFIG_HOME", value);
    EXPECT_EQ(CurrentUserRegistryPath(), root_.File("home") + "/.config/Quorvel/Almanex/registry.reg");
  }
}

TEST_F(RegistryTest, WritesTheRegedit4Layout) {
  ASSERT_EQ(WriteDword(kPositionKey, "Height", 300), RegistryStatus::Ok);
  ASSERT_EQ(WriteDword(kPositionKey, "Left", 0xFFFFFF9C), RegistryStatus::Ok);
  ASSERT_EQ(WriteString("Software\\Quorvel\\Almanex\\2.0\\Almanex\\Event\\Event", "Type",
                        "Anniversary\r\nBirthday \"B\"\r\nC:\\Path\r\n"),
            RegistryStatus::Ok);
  EXPECT_EQ(ReadFileBytes(RegistryFile()),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\Position]\n"
            "\"Height\"=dword:0000012c\n"
            "\"Left\"=dword:ffffff9c\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Event\\Event]\n"
            "\"Type\"=\"Anniversary\\r\\nBirthday \\\"B\\\"\\r\\nC:\\\\Path\\r\\n\"\n");
}

struct StringCase {
  const char* name;
  std::string value;
};
void PrintTo(const StringCase& value, std::ostream* out) { *out << value.name; }

class StringRoundTrip : public RegistryTest, public ::testing::WithParamInterface<StringCase> {};

// Every string reads back byte for byte, and the file stays valid UTF-8 with one value per line.
TEST_P(StringRoundTrip, ReadsBackExactly) {
  const std::string& value = GetParam().value;
  ASSERT_EQ(WriteString("Software\\Test", "Before", "first"), RegistryStatus::Ok);
  ASSERT_EQ(WriteString("Software\\Test", "Value", value), RegistryStatus::Ok);
  ASSERT_EQ(WriteString("Software\\Test", "After", "last"), RegistryStatus::Ok);
  std::string read = "untouched";
  ASSERT_EQ(ReadString("Software\\Test", "Value", read), RegistryStatus::Ok);
  EXPECT_EQ(read, value);
  ASSERT_EQ(ReadString("Software\\Test", "After", read), RegistryStatus::Ok);
  EXPECT_EQ(read, "last");

  const std::string file = ReadFileBytes(RegistryFile());
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 6) << file;
  EXPECT_EQ(file.find('\r'), std::string::npos);
  EXPECT_EQ(file.find('\0'), std::string::npos);
  EXPECT_TRUE(QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size())).toUtf8() ==
              QByteArray(file.data(), static_cast<qsizetype>(file.size())));
}

const StringCase kStringCases[] = {
    {"Empty", ""},
    {"Plain", "Holiday"},
    {"DoubleQuotes", "say \"hi\" \"\""},
    {"Backslashes", "C:\\Program Files\\\\x\\"},
    {"EscapeLookalikes", "\\r\\n\\x41\\\""},
    {"CrLfList", "Anniversary\r\nBirthday\r\nHoliday\r\nImportant\r\nVacation\r\n"},
    {"LoneCrAndLf", "a\rb\nc\n\r"},
    {"Utf8", "J\xC3\xA4hrlich \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\x82"},
    {"ControlBytes", std::string("nul\0tab\tdel\x7F\x01", 13)},
    {"InvalidUtf8", "\xFF\xFE\xC3(\xED\xA0\x80 overlong \xC0\xAF"},
    {"LooksLikeSyntax", "\"=dword:00000001\n[HKEY_CURRENT_USER\\Evil]\n"},
    {"Blanks", "  padded  "},
};

INSTANTIATE_TEST_SUITE_P(Strings, StringRoundTrip, ::testing::ValuesIn(kStringCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, DwordsRoundTripOverTheWholeRangeOfBitPatterns) {
  RegistryKey key;
  ASSERT_EQ(key.Open("Software\\Numbers", true), RegistryStatus::Ok);
  std::vector<std::uint32_t> values;
  for (int bit = 0; bit < 32; ++bit) {
    values.push_back(std::uint32_t{1} << bit);
    values.push_back((std::uint32_t{1} << bit) - 1);
  }
  values.push_back(0xFFFFFFFF);
  for (std::size_t i = 0; i < values.size(); ++i) key.WriteDword("V" + std::to_string(i), values[i]);
  ASSERT_EQ(key.Close(), RegistryStatus::Ok);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t read = 0;
    ASSERT_EQ(ReadDword("Software\\Numbers", "V" + std::to_string(i), read), RegistryStatus::Ok);
    EXPECT_EQ(read, values[i]);
  }
}

TEST_F(RegistryTest, KeysAndValueNamesAreCaseInsensitive) {
  ASSERT_EQ(WriteDword(kPositionKey, "Height", 1), RegistryStatus::Ok);
  ASSERT_EQ(WriteDword("SOFTWARE\\quorvel\\ALMANEX\\2.0\\almanex\\ALMANEX\\position", "HEIGHT", 2), RegistryStatus::Ok);
  std::uint32_t read = 0;
  ASSERT_EQ(ReadDword("software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\POSITION", "height", read),
            RegistryStatus::Ok);
  EXPECT_EQ(read, 2u);
  // One key and one value in the file: the second write replaced the first, keeping the first spellings.
  const std::string file = ReadFileBytes(RegistryFile());
  EXPECT_EQ(file,
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\Position]\n"
            "\"Height\"=dword:00000002\n");

  // Beyond ASCII too.
  ASSERT_EQ(WriteString("Software\\\xC3\x84rger", "\xC3\x9C", "x"), RegistryStatus::Ok);
  std::string text;
  EXPECT_EQ(ReadString("software\\\xC3\xA4RGER", "\xC3\xBC", text), RegistryStatus::Ok);
  EXPECT_EQ(text, "x");
}

TEST_F(RegistryTest, ParentsOfAKeyExistButNotPrefixesOfItsName) {
  ASSERT_EQ(WriteDword(kPositionKey, "Height", 1), RegistryStatus::Ok);
  RegistryKey key;
  EXPECT_EQ(key.Open("Software\\Quorvel", false), RegistryStatus::Ok);
  EXPECT_EQ(key.Open("\\Software\\Quorvel\\", false), RegistryStatus::Ok);
  EXPECT_EQ(key.Open("", false), RegistryStatus::Ok);
  EXPECT_EQ(key.Open("Software\\Quorv", false), RegistryStatus::NotFound);
  EXPECT_EQ(key.Open(std::string(kPositionKey) + "\\Deeper", false), RegistryStatus::NotFound);
}

TEST_F(RegistryTest, OpeningAMissingKeyWithoutCreateWritesNothing) {
  RegistryKey key;
  EXPECT_EQ(key.Open(kPositionKey, false), RegistryStatus::NotFound);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(key.Close(), RegistryStatus::NotOpen);
  EXPECT_FALSE(FileExists(RegistryFile()));
  EXPECT_FALSE(FileExists(configHome_));
}

TEST_F(RegistryTest, CreatingAKeyWithoutValuesStillCreatesIt) {
  {
    RegistryKey key;
    ASSERT_EQ(key.Open(kPositionKey, true), RegistryStatus::Ok);
  }  // the destructor commits
  RegistryKey key;
  EXPECT_EQ(key.Open(kPositionKey, false), RegistryStatus::Ok);
  EXPECT_EQ(ReadFileBytes(RegistryFile()),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvel\\Almanex\\2.0\\Almanex\\Almanex\\Position]\n");
}

TEST_F(RegistryTest, WrongTypesAndMissingValuesFailAndLeaveTheOutputAlone) {
  SeedFile(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Mixed]\n"
      "\"Number\"=dword:0000002a\n\"Text\"=\"42\"\n\"Binary\"=hex:01,02\n\"Expand\"=hex(2):41,00\n");
  std::uint32_t number = 7;
  std::string text = "kept";
  EXPECT_EQ(ReadDword("Software\\Mixed", "Text", number), RegistryStatus::WrongType);
  EXPECT_EQ(ReadDword("Software\\Mixed", "Binary", number), RegistryStatus::WrongType);
  EXPECT_EQ(ReadDword("Software\\Mixed", "Missing", number), RegistryStatus::NotFound);
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(ReadString("Software\\Mixed", "Number", text), RegistryStatus::WrongType);
  EXPECT_EQ(ReadString("Software\\Mixed", "Expand", text), RegistryStatus::WrongType);
  EXPECT_EQ(ReadString("Software\\Mixed", "Missing", text), RegistryStatus::NotFound);
  EXPECT_EQ(text, "kept");
  ASSERT_EQ(ReadDword("Software\\Mixed", "Number", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 42u);

  // Writing another type replaces the value, as the registry does.
  ASSERT_EQ(WriteString("Software\\Mixed", "Number", "now text"), RegistryStatus::Ok);
  EXPECT_EQ(ReadDword("Software\\Mixed", "Number", number), RegistryStatus::WrongType);
  EXPECT_EQ(ReadString("Software\\Mixed", "Number", text), RegistryStatus::Ok);
  EXPECT_EQ(text, "now text");
}

TEST_F(RegistryTest, ACallOnAClosedKeyFails) {
  RegistryKey key;
  std::uint32_t number = 0;
  std::string text;
  EXPECT_EQ(key.ReadDword("x", number), RegistryStatus::NotOpen);
  EXPECT_EQ(key.ReadString("x", text), RegistryStatus::NotOpen);
  EXPECT_EQ(key.WriteDword("x", 1), RegistryStatus::NotOpen);
  EXPECT_EQ(key.WriteString("x", "y"), RegistryStatus::NotOpen);
}

TEST_F(RegistryTest, KeyPathsWithEmptyComponentsOrControlCharactersAreRefused) {
  for (const char* path : {"Software\\\\Quorvel", "\\\\Software", "Software\\\\", "Soft\nware", "Soft\rware",
                           "Tab\there", "Bad\xFFUtf8"}) {
    RegistryKey key;
    EXPECT_EQ(key.Open(path, true), RegistryStatus::InvalidName) << path;
  }
  EXPECT_FALSE(FileExists(RegistryFile()));
}

TEST_F(RegistryTest, ReadsWhatAWindowsExportOrAHandEditLooksLike) {
  // CR LF line ends, a byte-order mark, comments, blank lines, loose blanks, an upper-case type, a
  // multi-line binary value, a key listed twice, a key under another root and the default value.
  SeedFile(
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "; exported by hand\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
      "\"Machine\"=\"wide\"\r\n"
      "\r\n"
      "[hkey_current_user\\Software\\Hand]\r\n"
      "  \"Count\" = DWORD:12C  \r\n"
      "; a note\r\n"
      "\"Blob\"=hex:00,01,02,\\\r\n"
      "  03,04\r\n"
      "@=\"default\"\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\HAND]\r\n"
      "\"Count\"=dword:7\r\n"
      "\"Later\"=\"yes\"\r\n");
  std::uint32_t number = 0;
  std::string text;
  ASSERT_EQ(ReadDword("Software\\Hand", "Count", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 7u);  // the later listing wins, as an import would apply it
  ASSERT_EQ(ReadString("Software\\Hand", "Later", text), RegistryStatus::Ok);
  EXPECT_EQ(text, "yes");
  ASSERT_EQ(ReadString("Software\\Hand", "", text), RegistryStatus::Ok);
  EXPECT_EQ(text, "default");
  EXPECT_EQ(ReadString("Software\\Hand", "Blob", text), RegistryStatus::WrongType);
  RegistryKey other;
  EXPECT_EQ(other.Open("SOFTWARE\\Other", false), RegistryStatus::NotFound);  // not below the current user

  // A write rewrites the file in our layout without losing anything it held.
  ASSERT_EQ(WriteString("Software\\Hand", "New", "value"), RegistryStatus::Ok);
  EXPECT_EQ(ReadFileBytes(RegistryFile()),
            "REGEDIT4\n"
            "; exported by hand\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
            "\"Machine\"=\"wide\"\n"
            "\n"
            "[hkey_current_user\\Software\\Hand]\n"
            "\"Count\"=dword:00000007\n"
            "; a note\n"
            "\"Blob\"=hex:00,01,02,\\\n"
            "  03,04\n"
            "@=\"default\"\n"
            "\"Later\"=\"yes\"\n"
            "\"New\"=\"value\"\n");
}

// Many keys, each listed twice in other letter cases with its values repeated: every key and value is
// one entry, the later listing's data wins, the first spellings and places stay, and a rewrite keeps
// them so.
TEST_F(RegistryTest, KeysAndValuesListedTwiceMergeIntoTheirFirstListing) {
  constexpr int kKeys = 200;
  constexpr int kValues = 20;
  const auto dword = [](int listing, int key, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", listing * 0x10000 + key * 0x100 + value);
    return std::string(text);
  };
  std::string seeded = "REGEDIT4\n";
  std::string expected = "REGEDIT4\n";
  for (int listing = 0; listing < 2; ++listing) {
    for (int k = 0; k < kKeys; ++k) {
      seeded += "\n[HKEY_CURRENT_USER\\" + std::string(listing == 0 ? "Software\\Many\\Key" : "SOFTWARE\\MANY\\KEY") +
                std::to_string(k) + "]\n";
      if (listing == 0) expected += "\n[HKEY_CURRENT_USER\\Software\\Many\\Key" + std::to_string(k) + "]\n";
      for (int v = 0; v < kValues; ++v) {
        seeded += "\"" + std::string(listing == 0 ? "Value" : "VALUE") + std::to_string(v) +
                  "\"=dword:" + dword(listing, k, v) + "\n";
        if (listing == 0) {
          const bool rewritten = k == kKeys - 1 && v == kValues - 1;
          expected += "\"Value" + std::to_string(v) + "\"=dword:" + (rewritten ? "00abcdef" : dword(1, k, v)) + "\n";
        }
      }
    }
  }
  SeedFile(seeded);
  std::uint32_t number = 0;
  ASSERT_EQ(ReadDword("Software\\Many\\Key123", "value7", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 0x17B07u);
  ASSERT_EQ(WriteDword("software\\many\\key199", "value19", 0xABCDEF), RegistryStatus::Ok);
  EXPECT_EQ(ReadFileBytes(RegistryFile()), expected);
}

TEST_F(RegistryTest, AFileInAWindowsCodePageIsReadAsWindows1252AndRewrittenAsUtf8) {
  SeedFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Event]\r\n\"Type\"=\"F\xFCr \x80 \x93q\x94\\r\\n\"\r\n");
  const std::string expected = "F\xC3\xBCr \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D\r\n";
  std::string text;
  ASSERT_EQ(ReadString("Software\\Event", "Type", text), RegistryStatus::Ok);
  EXPECT_EQ(text, expected);
  ASSERT_EQ(WriteDword("Software\\Event", "Other", 1), RegistryStatus::Ok);
  ASSERT_EQ(ReadString("Software\\Event", "Type", text), RegistryStatus::Ok);
  EXPECT_EQ(text, expected);
  EXPECT_NE(ReadFileBytes(RegistryFile()).find("\"Type\"=\"F\xC3\xBCr"), std::string::npos);
}

struct DanglingCase {
  const char* name;
  const char* bytes;
  const char* kept;  // the binary value's line as the rewritten file holds it
};
void PrintTo(const DanglingCase& value, std::ostream* out) { *out << value.name; }

class DanglingContinuation : public RegistryTest, public ::testing::WithParamInterface<DanglingCase> {};

// A binary value continued on its file's last line has nothing left to continue with: it ends there.
// A save afterwards puts its lines after it, each on a line of its own, and reads back; the binary
// value stays as it was written.
TEST_P(DanglingContinuation, EndsAtTheEndOfTheFileAndASaveAfterItReadsBack) {
  SeedFile(GetParam().bytes);
  ASSERT_EQ(WriteDword("Software\\Test", "Saved", 42), RegistryStatus::Ok);
  ASSERT_EQ(WriteString("Software\\Later", "Next", "value"), RegistryStatus::Ok);
  std::uint32_t number = 0;
  ASSERT_EQ(ReadDword("Software\\Test", "Saved", number), RegistryStatus::Ok) << ReadFileBytes(RegistryFile());
  EXPECT_EQ(number, 42u);
  std::string text;
  ASSERT_EQ(ReadString("Software\\Later", "Next", text), RegistryStatus::Ok) << ReadFileBytes(RegistryFile());
  EXPECT_EQ(text, "value");
  EXPECT_EQ(ReadString("Software\\Test", "b", text), RegistryStatus::WrongType);  // still there, still binary
  EXPECT_EQ(ReadFileBytes(RegistryFile()), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n" +
                                               std::string(GetParam().kept) +
                                               "\"Saved\"=dword:0000002a\n\n"
                                               "[HKEY_CURRENT_USER\\Software\\Later]\n\"Next\"=\"value\"\n");
}

const DanglingCase kDanglingCases[] = {
    {"NoFinalLineBreak", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"b\"=hex(2):41,00,\\",
     "\"b\"=hex(2):41,00,\n"},
    {"FinalLineBreak", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"b\"=hex(2):41,00,\\\n",
     "\"b\"=hex(2):41,00,\n"},
    {"CrLf", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"b\"=hex(2):41,00,\\\r\n", "\"b\"=hex(2):41,00,\n"},
    {"OnAContinuationLine", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"b\"=hex:01,02,\\\n  03,04,\\\n",
     "\"b\"=hex:01,02,\\\n  03,04,\n"},
    {"BlanksAfterTheBackslash", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"b\"=hex:01,\\\n  02,\\  \t",
     "\"b\"=hex:01,\\\n  02,\n"},
};

INSTANTIATE_TEST_SUITE_P(Files, DanglingContinuation, ::testing::ValuesIn(kDanglingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// U+FEFF is a byte-order mark only as the file's first character; in a name it is a character like any
// other, so a name that starts with one is a name of its own.
TEST_F(RegistryTest, ANameStartingWithU_FEFFIsNotTheNameWithoutIt) {
  const std::string mark = "\xEF\xBB\xBF";
  ASSERT_EQ(WriteDword("Software\\Test", "Name", 1), RegistryStatus::Ok);
  ASSERT_EQ(WriteDword("Software\\Test", mark + "Name", 2), RegistryStatus::Ok);
  ASSERT_EQ(WriteDword("Software\\Test", mark + mark + "name", 3), RegistryStatus::Ok);
  ASSERT_EQ(WriteDword("Software\\" + mark + "Test", "Name", 4), RegistryStatus::Ok);
  ASSERT_EQ(WriteDword(mark + "Software\\Test", "Name", 5), RegistryStatus::Ok);
  std::uint32_t number = 0;
  ASSERT_EQ(ReadDword("Software\\Test", "name", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 1u);
  ASSERT_EQ(ReadDword("Software\\Test", mark + "NAME", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 2u);
  ASSERT_EQ(ReadDword("Software\\Test", mark + mark + "Name", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 3u);
  ASSERT_EQ(ReadDword("software\\" + mark + "test", "Name", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 4u);
  ASSERT_EQ(ReadDword(mark + "SOFTWARE\\Test", "Name", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 5u);
  RegistryKey key;
  EXPECT_EQ(key.Open("Software\\" + mark, false), RegistryStatus::NotFound);

  // The same from a file written by hand, which itself starts with a byte-order mark.
  SeedFile(mark + "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Hand]\n\"" + mark +
           "A\"=dword:00000001\n\"a\"=dword:00000002\n");
  ASSERT_EQ(ReadDword("Software\\Hand", mark + "a", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 1u);
  ASSERT_EQ(ReadDword("Software\\Hand", "A", number), RegistryStatus::Ok);
  EXPECT_EQ(number, 2u);
}

struct GarbledCase {
  const char* name;
  const char* bytes;
};
void PrintTo(const GarbledCase& value, std::ostream* out) { *out << value.name; }

class GarbledFile : public RegistryTest, public ::testing::WithParamInterface<GarbledCase> {};

// A file the store does not understand is neither read nor rewritten: every open fails, the bytes stay,
// and the refusal is traced.
TEST_P(GarbledFile, IsRefusedAndLeftUntouched) {
  SeedFile(GetParam().bytes);
  const std::string before = ReadFileBytes(RegistryFile());
  test::RecordingTrace tracer;
  RegistryKey key;
  EXPECT_EQ(key.Open("Software\\Test", false), RegistryStatus::Unreadable);
  EXPECT_EQ(key.Open("Software\\Test", true), RegistryStatus::Unreadable);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(ReadFileBytes(RegistryFile()), before);
  ASSERT_EQ(tracer.lines.size(), 2u);
  EXPECT_EQ(tracer.Joined()[0].rfind("Registry\tOpenKey: " + RegistryFile() + ": ", 0), 0u) << tracer.Joined()[0];
}

const GarbledCase kGarbledCases[] = {
    {"NoHeader", "[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=dword:00000001\n"},
    {"OtherHeader", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Test]\n"},
    {"ValueBeforeAnySection", "REGEDIT4\n\"A\"=dword:00000001\n"},
    {"UnterminatedString", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=\"open\n"},
    {"UnknownEscape", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=\"bad \\q\"\n"},
    {"ShortHexEscape", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=\"\\x4\"\n"},
    {"TextAfterString", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=\"x\" y\n"},
    {"DwordTooLong", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=dword:000000001\n"},
    {"DwordNotHex", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=dword:0000012g\n"},
    {"DwordEmpty", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=dword:\n"},
    {"UnknownData", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=42\n"},
    {"NoEqualsSign", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\" dword:00000001\n"},
    {"UnquotedName", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test]\nA=dword:00000001\n"},
    {"UnclosedSection", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Test\n"},
    {"EmptyKeyComponent", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\\\Test]\n"},
    {"BinaryNoise",
     "\x7F"
     "ELF\x02\x01\x01\x00\x00\x00\x00\x00"},
};

INSTANTIATE_TEST_SUITE_P(Files, GarbledFile, ::testing::ValuesIn(kGarbledCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, AnEmptyOrBlankFileIsAnEmptyStore) {
  for (const char* bytes : {"", "\n\r\n  \n"}) {
    SeedFile(bytes);
    RegistryKey key;
    EXPECT_EQ(key.Open("Software\\Test", false), RegistryStatus::NotFound);
    ASSERT_EQ(WriteDword("Software\\Test", "A", 1), RegistryStatus::Ok);
    EXPECT_EQ(ReadFileBytes(RegistryFile()), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=dword:00000001\n");
  }
}

TEST_F(RegistryTest, AFileThatTurnsGarbledBeforeTheCommitIsNotOverwritten) {
  RegistryKey key;
  ASSERT_EQ(key.Open("Software\\Test", true), RegistryStatus::Ok);
  key.WriteDword("A", 1);
  SeedFile("not a registry file\n");
  test::RecordingTrace tracer;
  EXPECT_EQ(key.Close(), RegistryStatus::Unreadable);
  EXPECT_EQ(ReadFileBytes(RegistryFile()), "not a registry file\n");
  EXPECT_EQ(tracer.lines.size(), 1u);
}

TEST_F(RegistryTest, AFolderOrAHugeFileInPlaceOfTheStoreIsRefused) {
  std::filesystem::create_directories(RegistryFile());
  RegistryKey key;
  EXPECT_EQ(key.Open("Software\\Test", true), RegistryStatus::Unreadable);
  std::filesystem::remove(RegistryFile());

  SeedFile("REGEDIT4\n");
  std::filesystem::resize_file(RegistryFile(), 17 * 1024 * 1024);
  EXPECT_EQ(key.Open("Software\\Test", true), RegistryStatus::Unreadable);
  EXPECT_EQ(std::filesystem::file_size(RegistryFile()), 17u * 1024 * 1024);
}

// A FIFO in place of the store must not block the open until some other program writes into it: it is
// refused at once, as any file that is not a regular file is, and left as it is. The open runs in a child
// process under a watchdog alarm, so that a hang shows as a failure instead of stalling the test run.
TEST_F(RegistryTest, AFifoInPlaceOfTheStoreIsRefusedWithoutWaiting) {
  std::filesystem::create_directories(std::filesystem::path(RegistryFile()).parent_path());
  ASSERT_EQ(::mkfifo(RegistryFile().c_str(), 0600), 0);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ::alarm(20);
        RegistryKey key;
        const bool refused = key.Open("Software\\Test", false) == RegistryStatus::Unreadable &&
                             key.Open("Software\\Test", true) == RegistryStatus::Unreadable && !key.IsOpen();
        std::_Exit(refused ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(std::filesystem::is_fifo(RegistryFile()));
}

// After every commit the file is complete and valid, no temporary file is left beside it, and each
// value written so far reads back.
TEST_F(RegistryTest, EveryCommitLeavesACompleteFileAndNoTemporaries) {
  std::string expected = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Steps]\n";
  for (int step = 0; step < 20; ++step) {
    const std::string name = "Step" + std::to_string(step);
    ASSERT_EQ(WriteString("Software\\Steps", name, std::string(static_cast<std::size_t>(step), 'x')),
              RegistryStatus::Ok);
    expected += "\"" + name + "\"=\"" + std::string(static_cast<std::size_t>(step), 'x') + "\"\n";
    ASSERT_EQ(ReadFileBytes(RegistryFile()), expected);
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(configHome_ + "/Quorvel/Almanex")) {
      entries.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(entries, std::vector<std::string>{"registry.reg"});
  }
  std::string text;
  ASSERT_EQ(ReadString("Software\\Steps", "Step19", text), RegistryStatus::Ok);
  EXPECT_EQ(text.size(), 19u);
}

TEST_F(RegistryTest, CreatesPrivateFoldersAndAPrivateFileAndKeepsAnExistingMode) {
  ASSERT_EQ(WriteDword("Software\\Test", "A", 1), RegistryStatus::Ok);
  struct stat info {};
  for (const std::string& folder : {configHome_, configHome_ + "/Quorvel", configHome_ + "/Quorvel/Almanex"}) {
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << folder;
  }
  ASSERT_EQ(::stat(RegistryFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  ::chmod(RegistryFile().c_str(), 0640);
  ASSERT_EQ(WriteDword("Software\\Test", "B", 2), RegistryStatus::Ok);
  ASSERT_EQ(::stat(RegistryFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(RegistryTest, AReadOnlyFileIsNotReplaced) {
  ASSERT_EQ(WriteDword("Software\\Test", "A", 1), RegistryStatus::Ok);
  const std::string before = ReadFileBytes(RegistryFile());
  ::chmod(RegistryFile().c_str(), 0444);
  EXPECT_EQ(WriteDword("Software\\Test", "A", 2), RegistryStatus::WriteFailed);
  EXPECT_EQ(ReadFileBytes(RegistryFile()), before);
  std::uint32_t number = 0;
  ASSERT_EQ(ReadDword("Software\\Test", "A", number), RegistryStatus::Ok);  // still readable
  EXPECT_EQ(number, 1u);
}

TEST_F(RegistryTest, AFolderThatCannotBeCreatedFailsTheCommit) {
  WriteFileBytes(root_.File("file"), "a regular file");
  test::ScopedEnvironment home("XDG_CONFIG_HOME", root_.File("file") + "/config");
  EXPECT_EQ(WriteDword("Software\\Test", "A", 1), RegistryStatus::WriteFailed);
  EXPECT_EQ(ReadFileBytes(root_.File("file")), "a regular file");
}

TEST_F(RegistryTest, ASymlinkedFileIsWrittenThroughToItsTarget) {
  WriteFileBytes(root_.File("real.reg"), "REGEDIT4\n");
  std::filesystem::create_directories(std::filesystem::path(RegistryFile()).parent_path());
  std::filesystem::create_symlink(root_.File("real.reg"), RegistryFile());
  ASSERT_EQ(WriteDword("Software\\Test", "A", 1), RegistryStatus::Ok);
  EXPECT_TRUE(std::filesystem::is_symlink(RegistryFile()));
  EXPECT_EQ(ReadFileBytes(root_.File("real.reg")),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=dword:00000001\n");
}

TEST_F(RegistryTest, TwoKeysOpenAtOnceKeepEachOthersWrites) {
  RegistryKey first;
  RegistryKey second;
  ASSERT_EQ(first.Open("Software\\One", true), RegistryStatus::Ok);
  ASSERT_EQ(second.Open("Software\\Two", true), RegistryStatus::Ok);
  first.WriteDword("A", 1);
  second.WriteDword("B", 2);
  ASSERT_EQ(first.Close(), RegistryStatus::Ok);
  ASSERT_EQ(second.Close(), RegistryStatus::Ok);
  std::uint32_t number = 0;
  EXPECT_EQ(ReadDword("Software\\One", "A", number), RegistryStatus::Ok);
  EXPECT_EQ(ReadDword("Software\\Two", "B", number), RegistryStatus::Ok);
}

TEST_F(RegistryTest, AnOpenKeyReadsItsOwnPendingWrites) {
  RegistryKey key;
  ASSERT_EQ(key.Open("Software\\Test", true), RegistryStatus::Ok);
  key.WriteString("A", "pending");
  std::string text;
  ASSERT_EQ(key.ReadString("a", text), RegistryStatus::Ok);
  EXPECT_EQ(text, "pending");
  EXPECT_FALSE(FileExists(RegistryFile()));  // nothing is written before the close
  ASSERT_EQ(key.Close(), RegistryStatus::Ok);
  EXPECT_TRUE(FileExists(RegistryFile()));
}

// Two processes that each read a DWORD and write it plus one, 500 times, through settings-store keys: the
// lock each key holds from its open to its commit keeps every step.
TEST_F(RegistryTest, TwoProcessesIncrementingOneValueLoseNoStep) {
  const test::TempDir dir{test::TempDir::InMemory{}};
  const std::string path = dir.File("Almanex/registry.reg");
  const std::vector<std::string> writer = {ALMANEX_STORE_WRITER_PATH, "registry-increment", path, "500"};
  ASSERT_TRUE(test::RunTogether({writer, writer}));
  RegistryKey key;
  ASSERT_EQ(key.Open("Software\\Counter", false, path), RegistryStatus::Ok);
  std::uint32_t value = 0;
  ASSERT_EQ(key.ReadDword("Value", value), RegistryStatus::Ok);
  EXPECT_EQ(value, 1000u);
}

}  // namespace
}  // namespace almanex
