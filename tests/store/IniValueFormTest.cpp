// The value forms: integer (and colour), boolean, date and time, as written and as read back.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "datetime/FormatSettings.h"
#include "store/IniFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

struct IntegerCase {
  const char* text;
  std::optional<std::int32_t> expected;
};

const IntegerCase kIntegerCases[] = {
    {"0", 0},
    {"160", 160},
    {"-16777211", -16777211},
    {"+5", 5},
    {"007", 7},  // decimal, not octal
    {"2147483647", 2147483647},
    {"-2147483648", std::numeric_limits<std::int32_t>::min()},
    {"$A0", 160},
    {"$a0", 160},
    {"0x0000FF", 255},
    {"0X0000ff", 255},
    {"$FF000005", -16777211},
    {"0xFF000005", -16777211},
    {"$FFFFFFFF", -1},
    {"$80000000", std::numeric_limits<std::int32_t>::min()},
    {"$0000000001", 1},  // leading zeros do not count against the 32 bits
    {"-$10", -16},
    {" 42 ", 42},
    // No integer: the reader's default.
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"99999999999999999999", std::nullopt},
    {"$100000000", std::nullopt},
    {"", std::nullopt},
    {"-", std::nullopt},
    {"$", std::nullopt},
    {"0x", std::nullopt},
    {"0x-5", std::nullopt},
    {"12a", std::nullopt},
    {"1 2", std::nullopt},
    {"$G", std::nullopt},
    {"1e3", std::nullopt},
    {"1.0", std::nullopt},
    {"abc", std::nullopt},
    {"x10", std::nullopt},
};

TEST(IniIntegerForm, ParsesDecimalAndHexadecimal) {
  for (const auto& row : kIntegerCases) EXPECT_EQ(ParseIniInteger(row.text), row.expected) << '"' << row.text << '"';
}

// Every 32-bit pattern written in hexadecimal reads as that pattern, in each prefix and letter case.
TEST(IniIntegerForm, HexadecimalIsThe32BitPattern) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 200000; ++i) {
    bits = bits * 1664525u + 1013904223u;  // a full-period walk over 32-bit values
    char upper[16];
    char lower[16];
    std::snprintf(upper, sizeof upper, "$%X", static_cast<unsigned>(bits));
    std::snprintf(lower, sizeof lower, "0x%08x", static_cast<unsigned>(bits));
    const auto expected = static_cast<std::int32_t>(bits);
    ASSERT_EQ(ParseIniInteger(upper), expected) << upper;
    ASSERT_EQ(ParseIniInteger(lower), expected) << lower;
  }
}

struct ReadCase {
  const char* value;
  std::int32_t integer;  // ReadInteger with default 42
  bool whenTrue;         // ReadBool with default true
  bool whenFalse;        // ReadBool with default false
};

const ReadCase kReadCases[] = {
    {"1", 1, true, true},      {"0", 0, false, false},   {"-1", -1, true, true},   {"2", 2, true, true},
    {"$A0", 160, true, true},  {"0x0", 0, false, false}, {"\"7\"", 7, true, true}, {" 0x10 ", 16, true, true},
    {"junk", 42, true, false}, {"", 42, true, false},    {"yes", 42, true, false}, {"true", 42, true, false},
    {"1.5", 42, true, false},
};

TEST(IniIntegerForm, ReadIntegerAndBoolFallBackOnJunk) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  std::string bytes = "[Event1]\r\n";
  for (std::size_t i = 0; i < std::size(kReadCases); ++i) {
    bytes += "K" + std::to_string(i) + "=" + kReadCases[i].value + "\r\n";
  }
  test::WriteFileBytes(path, bytes);
  const IniFile file(path);
  for (std::size_t i = 0; i < std::size(kReadCases); ++i) {
    const std::string key = "K" + std::to_string(i);
    EXPECT_EQ(file.ReadInteger("Event1", key, 42), kReadCases[i].integer) << kReadCases[i].value;
    EXPECT_EQ(file.ReadBool("Event1", key, true), kReadCases[i].whenTrue) << kReadCases[i].value;
    EXPECT_EQ(file.ReadBool("Event1", key, false), kReadCases[i].whenFalse) << kReadCases[i].value;
  }
  EXPECT_EQ(file.ReadInteger("Event1", "Missing", -7), -7);
  EXPECT_TRUE(file.ReadBool("Event1", "Missing", true));
  EXPECT_EQ(file.ReadString("Event1", "Missing", "fallback"), "fallback");
  EXPECT_EQ(file.ReadInteger("NoSuchSection", "K0", 9), 9);
}

TEST(IniIntegerForm, ColoursAreIntegers) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nBackGroundColor=-16777211\r\nRed=0x0000FF\r\nWindow=$FF000005\r\n");
  const IniFile file(path);
  EXPECT_EQ(file.ReadInteger("Event1", "BackGroundColor", 0), -16777211);
  EXPECT_EQ(file.ReadInteger("Event1", "Red", 0), 255);
  EXPECT_EQ(file.ReadInteger("Event1", "Window", 0), -16777211);
  EXPECT_EQ(file.ReadInteger("Event1", "ForeGroundColor", 0), 0);
}

TEST(IniIntegerForm, WrittenAsSignedDecimalAndReadBack) {
  const std::int32_t values[] = {0,
                                 1,
                                 -1,
                                 255,
                                 16777215,
                                 -16777211,
                                 std::numeric_limits<std::int32_t>::max(),
                                 std::numeric_limits<std::int32_t>::min()};
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  {
    IniFile file(path);
    for (std::size_t i = 0; i < std::size(values); ++i) file.WriteInteger("S", "I" + std::to_string(i), values[i]);
    file.WriteBool("S", "True", true);
    file.WriteBool("S", "False", false);
    file.Flush();
  }
  EXPECT_EQ(test::ReadFileBytes(path),
            "[S]\r\nI0=0\r\nI1=1\r\nI2=-1\r\nI3=255\r\nI4=16777215\r\nI5=-16777211\r\nI6=2147483647\r\n"
            "I7=-2147483648\r\nTrue=1\r\nFalse=0\r\n");
  const IniFile file(path);
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(file.ReadInteger("S", "I" + std::to_string(i), 3), values[i]);
  EXPECT_TRUE(file.ReadBool("S", "True", false));
  EXPECT_FALSE(file.ReadBool("S", "False", true));
}

// Date and time forms follow the user's short date and long time formats.
FormatSettings UnitedStates() { return FormatSettings{}; }
FormatSettings DayMonthYear() {
  FormatSettings settings;
  settings.shortDateFormat = "dd/mm/yyyy";
  settings.longTimeFormat = "hh:nn:ss";
  return settings;
}

TEST(IniDateTimeForm, WrittenInTheUserFormatsAndReadBack) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  const DateTime date = test::MakeDateTime(2003, 6, 14, 16, 0, 0);  // the time part is not written
  const DateTime time = test::MakeDateTime(1899, 12, 30, 16, 0, 0);
  {
    IniFile file(path);
    file.WriteDate("Event3", "Date", date, UnitedStates());
    file.WriteTime("Event3", "Time", time, UnitedStates());
    file.WriteTime("Event3", "RemindTime", test::MakeDateTime(1899, 12, 30, 9, 0, 0), UnitedStates());
    file.Flush();
  }
  // The formats they were written in follow the events, in a section of their own.
  EXPECT_EQ(test::ReadFileBytes(path),
            "[Event3]\r\nDate=6/14/2003\r\nTime=4:00:00 PM\r\nRemindTime=9:00:00 AM\r\n"
            "[Formats]\r\nShortDateFormat=\"m/d/yyyy\"\r\nLongTimeFormat=\"h:nn:ss ampm\"\r\nDateSeparator=\"/\"\r\n"
            "TimeSeparator=\":\"\r\nTimeAMString=\"AM\"\r\nTimePMString=\"PM\"\r\n");
  const IniFile file(path);
  EXPECT_DOUBLE_EQ(file.ReadDate("Event3", "Date", 0, UnitedStates()), test::MakeDateTime(2003, 6, 14));
  EXPECT_NEAR(file.ReadTime("Event3", "Time", 0, UnitedStates()), time, 1e-9);
}

TEST(IniDateTimeForm, UnparsableTextGivesTheDefault) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[E]\r\nUS=12/25/2005\r\nEmpty=\r\nJunk=soon\r\nTime=junk\r\n");
  const IniFile file(path);
  const DateTime fallback = test::MakeDateTime(2024, 1, 2, 3, 4, 5);
  EXPECT_DOUBLE_EQ(file.ReadDate("E", "US", fallback, UnitedStates()), test::MakeDateTime(2005, 12, 25));
  EXPECT_DOUBLE_EQ(file.ReadDate("E", "US", fallback, DayMonthYear()), fallback);  // month 25 is no month
  EXPECT_DOUBLE_EQ(file.ReadDate("E", "Empty", fallback, UnitedStates()), fallback);
  EXPECT_DOUBLE_EQ(file.ReadDate("E", "Junk", fallback, UnitedStates()), fallback);
  EXPECT_DOUBLE_EQ(file.ReadDate("E", "Missing", fallback, UnitedStates()), fallback);
  EXPECT_DOUBLE_EQ(file.ReadTime("E", "Time", fallback, UnitedStates()), fallback);
  EXPECT_DOUBLE_EQ(file.ReadTime("E", "Empty", fallback, UnitedStates()), fallback);
}

}  // namespace
}  // namespace almanex
