// The profile semantics on small files: one row per quirk, each with the file's bytes before, the
// operations, and the reads or the file's bytes after.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "store/IniFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using namespace std::string_literals;

struct Step {
  enum class Kind { kWrite, kErase, kRead, kNames };
  Kind kind;
  std::string section;
  std::string key;
  std::optional<std::string> value;  // written value, or expected read (nothing: absent)
};

Step Write(std::string section, std::string key, std::string value) {
  return {Step::Kind::kWrite, std::move(section), std::move(key), std::move(value)};
}
Step Erase(std::string section) { return {Step::Kind::kErase, std::move(section), {}, {}}; }
Step Read(std::string section, std::string key, std::string expected) {
  return {Step::Kind::kRead, std::move(section), std::move(key), std::move(expected)};
}
Step Absent(std::string section, std::string key) {
  return {Step::Kind::kRead, std::move(section), std::move(key), std::nullopt};
}
/// The section names in file order, joined by ",".
Step Names(std::string joined) { return {Step::Kind::kNames, {}, {}, std::move(joined)}; }

struct SemanticsCase {
  const char* name;
  std::optional<std::string> input;  // nothing: no file
  std::vector<Step> steps;
  std::optional<std::string> output;  // nothing: the bytes are not checked
};

void PrintTo(const SemanticsCase& row, std::ostream* out) { *out << row.name; }

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

void Check(const IniFile& file, const Step& step, const char* when) {
  if (step.kind == Step::Kind::kNames) {
    EXPECT_EQ(Joined(file.SectionNames()), *step.value) << when;
  } else if (step.kind == Step::Kind::kRead) {
    const auto value = file.ReadValue(step.section, step.key);
    EXPECT_EQ(value ? std::optional<std::string>(*value) : std::nullopt, step.value)
        << when << ": [" << step.section << "] " << step.key;
  }
}

const SemanticsCase kCases[] = {
    // Where writes go.
    {"NewSectionInMissingFile", std::nullopt, {Write("S", "k", "v")}, "[S]\r\nk=v\r\n"},
    {"NewSectionInEmptyFile", "", {Write("S", "k", "v"), Read("S", "k", "v")}, "[S]\r\nk=v\r\n"},
    {"NewSectionAtEndOfFile", "[A]\r\na=1\r\n", {Write("B", "b", "2")}, "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
    {"NewSectionsInOrderOfFirstWrite",
     "",
     {Write("B", "k", "1"), Write("A", "k", "2"), Write("B", "j", "3"), Names("B,A")},
     "[B]\r\nk=1\r\nj=3\r\n[A]\r\nk=2\r\n"},
    {"NewSectionAfterUnterminatedLastLine", "[A]\r\na=1", {Write("B", "b", "2")}, "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
    {"NewKeyAfterUnterminatedLastLine", "[A]\r\na=1", {Write("A", "b", "2")}, "[A]\r\na=1\r\nb=2\r\n"},
    {"NewKeyAfterUnterminatedHeader", "[A]", {Write("A", "k", "1")}, "[A]\r\nk=1\r\n"},
    {"NewKeyAfterLastKeyBeforeBlankAndComment",
     "[A]\r\na=1\r\n\r\n; about B\r\n[B]\r\nb=1\r\n",
     {Write("A", "n", "2")},
     "[A]\r\na=1\r\nn=2\r\n\r\n; about B\r\n[B]\r\nb=1\r\n"},
    {"NewKeyInSectionWithoutKeysFollowsHeader",
     "[A]\r\n; nothing yet\r\n[B]\r\n",
     {Write("A", "k", "1")},
     "[A]\r\nk=1\r\n; nothing yet\r\n[B]\r\n"},
    {"NewKeysInOrderOfFirstWrite",
     "",
     {Write("S", "b", "1"), Write("S", "a", "2"), Write("S", "B", "3"), Read("S", "b", "3")},
     "[S]\r\nb=3\r\na=2\r\n"},
    {"RewrittenKeyKeepsItsLine",
     "[A]\r\na=1\r\nb=2\r\nc=3\r\n",
     {Write("A", "b", "9"), Read("A", "b", "9")},
     "[A]\r\na=1\r\nb=9\r\nc=3\r\n"},
    {"KeysNobodyReadsStay",
     "[E]\r\nTitle=x\r\nLegacy=7\r\n[GridSettings]\r\nColWidth0=5\r\n",
     {Write("E", "Title", "y")},
     "[E]\r\nTitle=y\r\nLegacy=7\r\n[GridSettings]\r\nColWidth0=5\r\n"},

    // Names.
    {"NamesIgnoreCase",
     "[event1]\r\ntitle=x\r\n",
     {Read("EVENT1", "TITLE", "x"), Write("Event1", "Title", "y"), Names("event1")},
     "[event1]\r\nTitle=y\r\n"},
    // Names of 8 to 16 bytes compare a word at a time; a capital and its small letter differ in bit 5
    // only, and so do '0' and 0x10, which must not match.
    {"NamesOfEightToSixteenBytesIgnoreCase",
     "[GridSettings]\r\nColWidth1=80\r\nColWidth10=120\r\n",
     {Read("GRIDSETTINGS", "colwidth10", "120"), Read("gridsettings", "COLWIDTH1", "80"),
      Absent("GridSettings", std::string("ColWidth1\x10", 10))},
     std::nullopt},
    {"DuplicateSectionsFirstWins",
     "[A]\r\nk=1\r\n[B]\r\n[a]\r\nk=2\r\nj=3\r\n",
     {Read("A", "k", "1"), Absent("A", "j"), Names("A,B"), Write("A", "k", "5")},
     "[A]\r\nk=5\r\n[B]\r\n[a]\r\nk=2\r\nj=3\r\n"},
    {"DuplicateKeysFirstWins",
     "[A]\r\nk=1\r\nK=2\r\n",
     {Read("A", "k", "1"), Write("A", "k", "3")},
     "[A]\r\nk=3\r\nK=2\r\n"},
    {"SectionNameWithBracket", "", {Write("A]B", "k", "1"), Names("A]B"), Read("A]B", "k", "1")}, "[A]B]\r\nk=1\r\n"},
    {"HeaderWithoutBracketNamesRestOfLine",
     "[Broken\r\nk=1\r\n[Next]\r\nk=2\r\n",
     {Names("Broken,Next"), Read("Broken", "k", "1"), Read("Next", "k", "2")},
     "[Broken\r\nk=1\r\n[Next]\r\nk=2\r\n"},
    {"TextAfterHeaderIgnored", "[A] ; note\r\nk=1\r\n", {Names("A"), Read("A", "k", "1")}, std::nullopt},

    // Lines that are not entries.
    {"CommentLinesKeptAndIgnored",
     "; head\r\n[A]\r\n;k=1\r\n k=2\r\n  ; indented\r\n",
     {Read("A", "k", "2"), Write("A", "k", "3")},
     "; head\r\n[A]\r\n;k=1\r\nk=3\r\n  ; indented\r\n"},
    {"LinesWithoutEqualsKeptAndIgnored",
     "[A]\r\njunk line\r\nk=1\r\n",
     {Read("A", "k", "1"), Absent("A", "junk line"), Write("A", "n", "2")},
     "[A]\r\njunk line\r\nk=1\r\nn=2\r\n"},
    {"EntriesBeforeFirstHeaderIgnored",
     "k=0\r\n[A]\r\nk=1\r\n",
     {Read("A", "k", "1"), Names("A"), Write("B", "k", "2")},
     "k=0\r\n[A]\r\nk=1\r\n[B]\r\nk=2\r\n"},

    // Values.
    {"BlanksAroundNamesAndValuesStripped",
     "[ A ]\r\n  k  =  v w  \r\n\tt\t=\tx\t\r\n",
     {Names("A"), Read("A", "k", "v w"), Read("A", "t", "x")},
     std::nullopt},
    {"OneMatchingPairOfQuotesStripped",
     "[A]\r\nd=\"v\"\r\ns='v'\r\nm=\"v'\r\ne=\"\"\r\no=\"\r\ni=\"a\"b\"\r\nb= \" v \" \r\nn=''x''\r\n",
     {Read("A", "d", "v"), Read("A", "s", "v"), Read("A", "m", "\"v'"), Read("A", "e", ""), Read("A", "o", "\""),
      Read("A", "i", "a\"b"), Read("A", "b", " v "), Read("A", "n", "'x'")},
     std::nullopt},
    {"EmptyValueIsPresent", "[A]\r\nk=\r\n", {Read("A", "k", ""), Absent("A", "j")}, std::nullopt},
    {"ValueWithEqualsSign", "[A]\r\nk=a=b\r\n", {Read("A", "k", "a=b")}, std::nullopt},
    {"ValuesWrittenAsEntered",
     "",
     {Write("S", "t", "\"Hi\""), Write("S", "l", "  lead"), Read("S", "t", "Hi"), Read("S", "l", "lead")},
     "[S]\r\nt=\"Hi\"\r\nl=  lead\r\n"},

    // Line breaks and encodings.
    {"LineFeeds", "[A]\na=1\nb=2\n", {Read("A", "b", "2"), Write("A", "a", "3")}, "[A]\na=3\nb=2\n"},
    {"CarriageReturns",
     "[A]\ra=1\rb=2\r",
     {Read("A", "a", "1"), Read("A", "b", "2"), Write("A", "c", "3")},
     "[A]\ra=1\rb=2\rc=3\r"},
    {"MixedLineBreaks",
     "[A]\r\na=1\nb=2\rc=3\n\r[B]\r\n",
     {Read("A", "a", "1"), Read("A", "b", "2"), Read("A", "c", "3"), Names("A,B")},
     std::nullopt},
    {"ByteOrderMarkSkippedAndKept",
     "\xEF\xBB\xBF[A]\r\nk=1\r\n",
     {Names("A"), Read("A", "k", "1"), Write("A", "k", "2")},
     "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
    {"UntouchedSectionsKeepTheirBytes",
     "[A]\r\nt=Caf\xE9\r\n[B]\r\nb=1\r\n",
     {Write("B", "b", "2")},
     "[A]\r\nt=Caf\xE9\r\n[B]\r\nb=2\r\n"},
    {"ReadingOnlyChangesNothing",
     "[A]\n  k = 1 \r\r\n\xFF\x00z"s,
     {Read("A", "k", "1"), Names("A")},
     "[A]\n  k = 1 \r\r\n\xFF\x00z"s},

    // Erasing.
    {"EraseRemovesHeaderKeysAndDuplicates",
     "[A]\r\na=1\r\n[B]\r\nb=1\r\n[a]\r\nx=1\r\n",
     {Erase("A"), Names("B"), Absent("A", "a")},
     "[B]\r\nb=1\r\n"},
    {"EraseThenWriteAppendsSection",
     "[A]\r\na=1\r\n[B]\r\nb=1\r\n",
     {Erase("A"), Write("A", "n", "2"), Names("B,A"), Absent("A", "a"), Read("A", "n", "2")},
     "[B]\r\nb=1\r\n[A]\r\nn=2\r\n"},
    {"WriteThenEraseOfNewSectionLeavesFile", "[A]\r\na=1\r\n", {Write("N", "k", "1"), Erase("N")}, "[A]\r\na=1\r\n"},
    {"EraseOfMissingSectionLeavesFile", "[A]\r\na=1\r\n", {Erase("Z"), Names("A")}, "[A]\r\na=1\r\n"},

    // Forged lines: nothing written can start a new line, header or comment.
    {"LineBreaksAndNulInValueBecomeBlanks",
     "[A]\r\n",
     {Write("A", "k", "a\r\n[Forged]\r\nx=1\0z"s), Names("A"), Read("A", "k", "a  [Forged]  x=1 z")},
     "[A]\r\nk=a  [Forged]  x=1 z\r\n"},
    {"LineBreaksInSectionNameBecomeBlanks",
     "",
     {Write("A\r\nk=evil", "k", "1"), Names("A  k=evil"), Read("A\r\nk=evil", "k", "1")},
     "[A  k=evil]\r\nk=1\r\n"},
    {"KeyNamesCleaned",
     "",
     {Write("S", "a=b", "1"), Write("S", "[x", "2"), Write("S", ";y", "3"), Write("S", "l\nf", "4"),
      Read("S", "a=b", "1"), Read("S", "a b", "1"), Read("S", "[x", "2"), Read("S", "x", "2"), Read("S", ";y", "3"),
      Read("S", "l\nf", "4"), Names("S")},
     "[S]\r\na b=1\r\nx=2\r\ny=3\r\nl f=4\r\n"},
};

class IniSemanticsTest : public ::testing::TestWithParam<SemanticsCase> {};

TEST_P(IniSemanticsTest, ReadsAndWrites) {
  const SemanticsCase& row = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  if (row.input) test::WriteFileBytes(path, *row.input);
  std::size_t afterLastWrite = 0;
  {
    IniFile file(path);
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
      const Step& step = row.steps[i];
      if (step.kind == Step::Kind::kWrite) {
        file.WriteString(step.section, step.key, *step.value);
        afterLastWrite = i + 1;
      } else if (step.kind == Step::Kind::kErase) {
        file.EraseSection(step.section);
        afterLastWrite = i + 1;
      } else {
        Check(file, step, "before Flush");
      }
    }
    file.Flush();
  }
  if (row.output) {
    EXPECT_EQ(test::ReadFileBytes(path), *row.output);
  }
  // What this operation read from its pending writes is what the next operation reads from the file.
  IniFile reopened(path);
  for (std::size_t i = afterLastWrite; i < row.steps.size(); ++i) Check(reopened, row.steps[i], "reopened");
  // A read-only mapped snapshot, which indexes keys one section at a time, reads the same.
  const IniFile mapped(path, IniFile::ReadOnlyMapped{});
  for (std::size_t i = afterLastWrite; i < row.steps.size(); ++i) Check(mapped, row.steps[i], "mapped");
}

INSTANTIATE_TEST_SUITE_P(Profile, IniSemanticsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The listing without copies goes through exactly the names SectionNames() lists, pending writes and
// erased sections included.
TEST(IniSectionListing, ForEachSectionNameListsWhatSectionNamesLists) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\na=1\r\n[GridSettings]\r\n[event1]\r\nb=2\r\n[Event3]\r\n");
  IniFile file(path);
  file.EraseSection("GridSettings");
  file.WriteString("Event9", "Title", "new");
  file.WriteString("EVENT3", "Title", "kept");
  std::vector<std::string> visited;
  file.ForEachSectionName([&](std::string_view name) { visited.emplace_back(name); });
  EXPECT_EQ(visited, file.SectionNames());
  EXPECT_EQ(visited, (std::vector<std::string>{"Event1", "Event3", "Event9"}));
}

}  // namespace
}  // namespace almanex
