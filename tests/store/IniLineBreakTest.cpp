// Lines the store adds end like the file's own lines: a file written by hand with LF (or CR) line ends
// keeps them, and a new, empty or mixed file gets CR LF.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "datetime/FormatSettings.h"
#include "store/IniFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

struct LineBreakCase {
  const char* name;
  std::optional<std::string> before;  // nothing: no file
  std::string after;                  // once A.a is replaced, A.b added and section B added
};

void PrintTo(const LineBreakCase& row, std::ostream* out) { *out << row.name; }

const LineBreakCase kCases[] = {
    {"LineFeeds", "[A]\na=1\n; note\n", "[A]\na=2\nb=3\n; note\n[B]\nc=4\n"},
    {"CarriageReturnLineFeeds", "[A]\r\na=1\r\n; note\r\n", "[A]\r\na=2\r\nb=3\r\n; note\r\n[B]\r\nc=4\r\n"},
    {"CarriageReturns", "[A]\ra=1\r; note\r", "[A]\ra=2\rb=3\r; note\r[B]\rc=4\r"},
    {"LineFeedsLastLineUnterminated", "[A]\nz=0\na=1", "[A]\nz=0\na=2\nb=3\n[B]\nc=4\n"},
    {"LineFeedsNewKeyAfterUnterminatedLine", "[A]\na=1\nz=0", "[A]\na=2\nz=0\nb=3\n[B]\nc=4\n"},
    // Mixed: untouched lines keep their ends, every line written gets CR LF.
    {"Mixed", "[A]\na=1\r\n; note\r", "[A]\na=2\r\nb=3\r\n; note\r[B]\r\nc=4\r\n"},
    {"OneLineWithoutBreak", "; note", "; note\r\n[A]\r\na=2\r\nb=3\r\n[B]\r\nc=4\r\n"},
    {"Empty", "", "[A]\r\na=2\r\nb=3\r\n[B]\r\nc=4\r\n"},
    {"NoFile", std::nullopt, "[A]\r\na=2\r\nb=3\r\n[B]\r\nc=4\r\n"},
};

class IniLineBreak : public testing::TestWithParam<LineBreakCase> {};

TEST_P(IniLineBreak, AddedLinesEndLikeTheFile) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  if (GetParam().before) test::WriteFileBytes(path, *GetParam().before);
  {
    IniFile file(path);
    file.WriteString("A", "a", "2");
    file.WriteString("A", "b", "3");
    file.WriteString("B", "c", "4");
    file.Flush();
  }
  EXPECT_EQ(test::ReadFileBytes(path), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Files, IniLineBreak, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LineBreakCase>& info) {
                           return std::string(info.param.name);
                         });

// The formats section that the first date adds follows the file's line ends as well.
TEST(IniLineBreak, FormatsSectionOfAnLfFileHasLfLines) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\nTitle=Wedding\n");
  {
    IniFile file(path);
    file.WriteDate("Event1", "Date", test::MakeDateTime(2003, 6, 14), FormatSettings{});
    file.Flush();
  }
  const std::string bytes = test::ReadFileBytes(path);
  EXPECT_EQ(bytes.find('\r'), std::string::npos) << bytes;
  EXPECT_EQ(bytes.rfind("[Event1]\nTitle=Wedding\nDate=6/14/2003\n[Formats]\nShortDateFormat=", 0), 0u) << bytes;
}

}  // namespace
}  // namespace almanex
