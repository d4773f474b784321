// Version information: the block's binary layout, reading it back from ELF files, the errors for files
// that lack it or hold a broken one, and the block the build stamps into almanex-cli.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/core/VerInfoUnit.h"
#include "tests/common/TestSupport.h"
#include "tests/platform/VersionTestSupport.h"

namespace almanex {
namespace {

using test::ElfImage;
using test::ElfShape;
using test::MakeElfWithVersionBlock;
using test::TempDir;
using test::TypicalContents;
using version_block::MakeVersionInfo;
using version_block::Serialize;
using version_block::VersionContents;
using version_block::VersionNode;

std::uint16_t WordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

/// Writes the image into a fresh file and returns its path.
class VersionFiles : public ::testing::Test {
 public:
  std::string Write(const ElfImage& image, const std::string& name = "program") {
    const std::string path = dir_.File(name);
    test::WriteFileBytes(path, image.bytes);
    return path;
  }
  std::string WriteBlock(const std::vector<std::uint8_t>& block, ElfShape shape = {}) {
    return Write(MakeElfWithVersionBlock(block, shape));
  }

 protected:
  TempDir dir_;
};

// ---- the layout the writer produces, checked byte by byte ----------------------------------------

TEST(VersionBlockLayout, OneTextBlockHasItsKeyValueAndPaddingWhereTheLayoutPutsThem) {
  const VersionNode node{"A", 1, std::string("BC"), {}, {}};
  // wLength 18: header 6, "A\0" 4, pad 2, "BC\0" 6; the padding after the value is not counted.
  const std::vector<std::uint8_t> expected = {18, 0, 3, 0, 1, 0, 'A', 0, 0, 0, 0, 0, 'B', 0, 'C', 0, 0, 0};
  EXPECT_EQ(Serialize(node), expected);
}

TEST(VersionBlockLayout, KeyWithANulIsRefusedBecauseTheReaderWouldEndItThere) {
  // Written as given, "Comp\0any" would read as "Comp", with its value looked for too early.
  VersionContents contents = TypicalContents({2, 0, 0, 1});
  contents.strings.emplace_back(std::string("Comp\0any", 8), "Quorvel");
  EXPECT_THROW(Serialize(MakeVersionInfo(contents)), std::invalid_argument);
  EXPECT_THROW(Serialize(VersionNode{std::string("A\0", 2), 1, std::string("B"), {}, {}}), std::invalid_argument);
}

TEST(VersionBlockLayout, RootHoldsSignedFixedInfoAndAlignedChildren) {
  const auto block = Serialize(MakeVersionInfo(TypicalContents({1, 2, 3, 1342})));
  ASSERT_GE(block.size(), 92U);
  EXPECT_EQ(WordAt(block, 0), block.size()) << "the root's length covers the whole block";
  EXPECT_EQ(WordAt(block, 2), 52) << "fixed file information";
  EXPECT_EQ(WordAt(block, 4), 0) << "binary value";
  std::u16string key;
  for (std::size_t at = 6; WordAt(block, at) != 0; at += 2) key += static_cast<char16_t>(WordAt(block, at));
  EXPECT_EQ(key, u"VS_VERSION_INFO");
  // Key and NUL end at 38; the value starts on the next 32-bit boundary.
  EXPECT_EQ(WordAt(block, 40) | (WordAt(block, 42) << 16), 0xFEEF04BD);
  EXPECT_EQ(WordAt(block, 48), 2) << "dwFileVersionMS low half: minor";
  EXPECT_EQ(WordAt(block, 50), 1) << "dwFileVersionMS high half: major";
  EXPECT_EQ(WordAt(block, 52), 1342) << "dwFileVersionLS low half: build";
  EXPECT_EQ(WordAt(block, 54), 3);
  EXPECT_EQ(WordAt(block, 92 + 6), u'S') << "StringFileInfo follows the fixed block at 92";
}

// ---- reading ------------------------------------------------------------------------------------

struct TranslationCase {
  const char* name;
  std::uint16_t language;
  std::uint16_t codePage;
  const char* tableName;
};

void PrintTo(const TranslationCase& testCase, std::ostream* out) { *out << testCase.name; }

class TranslationRead : public VersionFiles, public ::testing::WithParamInterface<TranslationCase> {};

TEST_P(TranslationRead, FindsTheStringTableOfTheFirstTranslation) {
  const TranslationCase& testCase = GetParam();
  const auto contents = TypicalContents({7, 0, 0, 174}, {testCase.language, testCase.codePage});
  EXPECT_EQ(version_block::TableName(contents.translations[0]), testCase.tableName);
  const TVerInfoRes info(WriteBlock(Serialize(MakeVersionInfo(contents))));
  EXPECT_EQ(info.GetVersionString("LegalCopyright"), "Copyright \xC2\xA9 2026 Quorvel");
  EXPECT_EQ(info.GetVersionString("legalcopyright"), "Copyright \xC2\xA9 2026 Quorvel") << "keys ignore case";
  EXPECT_EQ(info.GetVersionString("CompanyName"), "Quorvel");
}

const TranslationCase kTranslationCases[] = {
    {"UsEnglishWestern", 0x0409, 0x04E4, "040904E4"},
    {"GermanUtf8CodePageAbove7FFF", 0x0407, 0xFDE9, "0407FDE9"},
    {"Neutral", 0x0000, 0x0000, "00000000"},
    {"AllBitsSet", 0xFFFF, 0xFFFF, "FFFFFFFF"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TranslationRead, ::testing::ValuesIn(kTranslationCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct VersionCase {
  version_block::VersionParts parts;
  const char* fileVersion;
  const char* buildNumber;
};

class VersionRead : public VersionFiles, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionRead, GivesMajorMinorAndTheFourthPart) {
  const TVerInfoRes info(WriteBlock(Serialize(MakeVersionInfo(TypicalContents(GetParam().parts)))));
  EXPECT_EQ(info.GetFileVersionText(), GetParam().fileVersion);
  EXPECT_EQ(info.GetBuildNumberText(), GetParam().buildNumber);
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionRead,
                         ::testing::Values(VersionCase{{7, 0, 0, 174}, "7.0", "174"},
                                           VersionCase{{1, 2, 3, 1342}, "1.2", "1342"},
                                           VersionCase{{0, 0, 0, 0}, "0.0", "0"},
                                           VersionCase{{65535, 65535, 65535, 65535}, "65535.65535", "65535"}));

TEST_F(VersionFiles, AbsentKeyAndEmptyValueGiveEmptyText) {
  auto contents = TypicalContents();
  contents.strings.emplace_back("Comments", "");
  const TVerInfoRes info(WriteBlock(Serialize(MakeVersionInfo(contents))));
  EXPECT_EQ(info.GetVersionString("Comments"), "");
  EXPECT_EQ(info.GetVersionString("PrivateBuild"), "");
  EXPECT_EQ(info.GetVersionString(""), "") << "the table itself has no text";
  EXPECT_EQ(info.GetVersionString("ProductName"), "Almanex") << "the key after the empty one is still found";
}

TEST_F(VersionFiles, EmptyValueWithoutItsNulGivesEmptyText) {
  auto tree = MakeVersionInfo(TypicalContents());
  tree.children[0].children[0].children.push_back({"Comments", 1, std::nullopt, {}, {}});  // wValueLength 0
  const TVerInfoRes info(WriteBlock(Serialize(tree)));
  EXPECT_EQ(info.GetVersionString("Comments"), "");
}

TEST_F(VersionFiles, OnlyTheFirstTranslationCounts) {
  auto contents = TypicalContents();
  contents.translations.push_back({0x0407, 0x04E4});
  auto tree = MakeVersionInfo(contents);
  // Reorder the tables so that the second translation's table comes first in the file.
  auto& tables = tree.children[0].children;
  std::swap(tables[0], tables[1]);
  tables[0].children[2].textValue = "Urheberrecht";
  const TVerInfoRes info(WriteBlock(Serialize(tree)));
  EXPECT_EQ(info.GetVersionString("LegalCopyright"), "Copyright \xC2\xA9 2026 Quorvel");
}

TEST_F(VersionFiles, TextsOutsideTheBasicPlaneSurviveTheRoundTrip) {
  auto contents = TypicalContents();
  contents.strings.emplace_back("Comments", "\xF0\x9F\x93\x85 events, \xE6\x97\xA5\xE6\x9C\xAC");
  const TVerInfoRes info(WriteBlock(Serialize(MakeVersionInfo(contents))));
  EXPECT_EQ(info.GetVersionString("Comments"), "\xF0\x9F\x93\x85 events, \xE6\x97\xA5\xE6\x9C\xAC");
}

TEST_F(VersionFiles, EveryElfClassAndByteOrderIsRead) {
  const auto block = Serialize(MakeVersionInfo(TypicalContents({1, 2, 3, 1342})));
  for (const ElfShape shape :
       {ElfShape{true, false}, ElfShape{false, false}, ElfShape{true, true}, ElfShape{false, true}}) {
    const TVerInfoRes info(WriteBlock(block, shape));
    EXPECT_EQ(info.GetFileVersionText(), "1.2") << shape.wide << shape.bigEndian;
    EXPECT_EQ(info.GetBuildNumberText(), "1342");
  }
}

TEST(Utf16Value, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::vector<std::uint8_t> value = {'a', 0, 0x00, 0xD8, 'b', 0, 0x00, 0xDC, 0, 0, 'c', 0};
  EXPECT_EQ(Utf16ValueToUtf8(value),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD")
      << "stops at the NUL";
}

// ---- errors -------------------------------------------------------------------------------------

enum class ErrorKind { NoVersionInfo, CannotRead, NoLanguage, NoFixed };

struct ErrorCase {
  const char* name;
  std::function<std::string(VersionFiles&, TempDir&)> makeFile;
  ErrorKind kind;
  const char* message;
};

void PrintTo(const ErrorCase& testCase, std::ostream* out) { *out << testCase.name; }

class BrokenVersionInfo : public VersionFiles, public ::testing::WithParamInterface<ErrorCase> {
 public:
  std::string WriteTree(const VersionNode& tree) { return WriteBlock(Serialize(tree)); }
  TempDir& Dir() { return dir_; }
};

TEST_P(BrokenVersionInfo, ConstructorRaisesTheClassAndMessage) {
  const std::string path = GetParam().makeFile(*this, Dir());
  try {
    const TVerInfoRes info(path);
    FAIL() << "no error raised";
  } catch (const ENoVerInfoError& error) {
    EXPECT_EQ(GetParam().kind, ErrorKind::NoVersionInfo);
    EXPECT_STREQ(error.what(), GetParam().message);
  } catch (const EVerInfoError& error) {
    EXPECT_TRUE(GetParam().kind == ErrorKind::CannotRead || GetParam().kind == ErrorKind::NoLanguage);
    EXPECT_STREQ(error.what(), GetParam().message);
  } catch (const eNoFixeVerInfo& error) {
    EXPECT_EQ(GetParam().kind, ErrorKind::NoFixed);
    EXPECT_STREQ(error.what(), GetParam().message);
  }
}

std::string Typical(BrokenVersionInfo& test, const std::function<void(VersionNode&)>& edit) {
  auto tree = MakeVersionInfo(TypicalContents());
  edit(tree);
  return test.WriteTree(tree);
}

const ErrorCase kErrorCases[] = {
    {"ElfWithoutTheSection",
     [](VersionFiles& files, TempDir& dir) {
       const std::string path = dir.File("plain");
       test::WriteFileBytes(path, test::MakeElf({{".text", {0xC3}}, {".data", {1, 2}}}).bytes);
       (void)files;
       return path;
     },
     ErrorKind::NoVersionInfo, "No Version Info Available."},
    {"MissingFile", [](VersionFiles&, TempDir& dir) { return dir.File("nothing-here"); }, ErrorKind::NoVersionInfo,
     "No Version Info Available."},
    {"TextFile",
     [](VersionFiles&, TempDir& dir) {
       test::WriteFileBytes(dir.File("notes.txt"), "[Event1]\r\nTitle=x\r\n");
       return dir.File("notes.txt");
     },
     ErrorKind::NoVersionInfo, "No Version Info Available."},
    {"EmptyFile",
     [](VersionFiles&, TempDir& dir) {
       test::WriteFileBytes(dir.File("empty"), "");
       return dir.File("empty");
     },
     ErrorKind::NoVersionInfo, "No Version Info Available."},
    {"Folder", [](VersionFiles&, TempDir& dir) { return dir.Path(); }, ErrorKind::NoVersionInfo,
     "No Version Info Available."},
    {"EmptySection",
     [](VersionFiles&, TempDir& dir) {
       test::WriteFileBytes(dir.File("p"), MakeElfWithVersionBlock({}).bytes);
       return dir.File("p");
     },
     ErrorKind::NoVersionInfo, "No Version Info Available."},
    {"SectionWithoutBytesInTheFile",
     [](VersionFiles&, TempDir& dir) {
       ElfImage image = MakeElfWithVersionBlock(Serialize(MakeVersionInfo(TypicalContents())));
       image.PatchSectionField(2, 4, 4, 8);  // SHT_NOBITS
       test::WriteFileBytes(dir.File("p"), image.bytes);
       return dir.File("p");
     },
     ErrorKind::NoVersionInfo, "No Version Info Available."},
    {"SectionBeyondTheEndOfTheFile",
     [](VersionFiles&, TempDir& dir) {
       ElfImage image = MakeElfWithVersionBlock(Serialize(MakeVersionInfo(TypicalContents())));
       image.PatchSectionField(2, 0x18, 8, image.bytes.size() - 10);  // sh_offset: runs past the end
       test::WriteFileBytes(dir.File("p"), image.bytes);
       return dir.File("p");
     },
     ErrorKind::CannotRead, "Cannot obtain version info."},
    {"SectionTableBeyondTheEndOfTheFile",
     [](VersionFiles&, TempDir& dir) {
       ElfImage image = MakeElfWithVersionBlock(Serialize(MakeVersionInfo(TypicalContents())));
       image.bytes.resize(image.sectionTableOffset + 70);  // cut inside the second section header
       test::WriteFileBytes(dir.File("p"), image.bytes);
       return dir.File("p");
     },
     ErrorKind::CannotRead, "Cannot obtain version info."},
    {"NoVarFileInfo",
     [](VersionFiles& files, TempDir&) {
       return Typical(static_cast<BrokenVersionInfo&>(files), [](VersionNode& tree) { tree.children.pop_back(); });
     },
     ErrorKind::NoLanguage, "No language info."},
    {"TranslationShorterThanOneEntry",
     [](VersionFiles& files, TempDir&) {
       return Typical(static_cast<BrokenVersionInfo&>(files),
                      [](VersionNode& tree) { tree.children[1].children[0].binaryValue.resize(2); });
     },
     ErrorKind::NoLanguage, "No language info."},
    {"GarbageInTheSection",
     [](VersionFiles& files, TempDir&) { return files.WriteBlock(std::vector<std::uint8_t>(200, 0xA5)); },
     ErrorKind::NoLanguage, "No language info."},
    {"NoTranslationComesBeforeAShortFixedBlock",
     [](VersionFiles& files, TempDir&) {
       return Typical(static_cast<BrokenVersionInfo&>(files), [](VersionNode& tree) {
         tree.children.pop_back();
         tree.binaryValue.resize(48);
       });
     },
     ErrorKind::NoLanguage, "No language info."},
    {"ShortFixedBlock",
     [](VersionFiles& files, TempDir&) {
       return Typical(static_cast<BrokenVersionInfo&>(files), [](VersionNode& tree) { tree.binaryValue.resize(48); });
     },
     ErrorKind::NoFixed, "No fixed file info"},
    {"NoFixedBlock",
     [](VersionFiles& files, TempDir&) {
       return Typical(static_cast<BrokenVersionInfo&>(files), [](VersionNode& tree) { tree.binaryValue.clear(); });
     },
     ErrorKind::NoFixed, "No fixed file info"},
    {"FixedBlockWithoutItsSignature",
     [](VersionFiles& files, TempDir&) {
       return Typical(static_cast<BrokenVersionInfo&>(files), [](VersionNode& tree) { tree.binaryValue[0] = 0; });
     },
     ErrorKind::NoFixed, "No fixed file info"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BrokenVersionInfo, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

/// Every cut of a good block, and every byte of it overwritten, ends in a value or one of the three
/// error classes: lengths read from the file never lead outside it.
TEST_F(VersionFiles, EveryTruncationAndEveryGarbledByteEndsInAnAnswerOrAnError) {
  const auto block = Serialize(MakeVersionInfo(TypicalContents()));
  auto check = [&](const std::vector<std::uint8_t>& bytes) {
    try {
      const TVerInfoRes info(WriteBlock(bytes));
      (void)info.GetFileVersionText();
      (void)info.GetVersionString("LegalCopyright");
    } catch (const ENoVerInfoError&) {
    } catch (const EVerInfoError&) {
    } catch (const eNoFixeVerInfo&) {
    }
  };
  for (std::size_t size = 0; size < block.size(); ++size) {
    check(std::vector<std::uint8_t>(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size)));
  }
  for (std::size_t at = 0; at < block.size(); ++at) {
    for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x07}}) {
      auto garbled = block;
      garbled[at] = value;
      check(garbled);
    }
  }
}

TEST(FormatBuildText, ThousandsPointRest) {
  EXPECT_EQ(FormatBuildText(174), "0.174");
  EXPECT_EQ(FormatBuildText(1005), "1.5");
  EXPECT_EQ(FormatBuildText(1500), "1.500");
  EXPECT_EQ(FormatBuildText(0), "0.0");
  EXPECT_EQ(FormatBuildText(1342), "1.342");
  EXPECT_EQ(FormatBuildText(65535), "65.535");
}

// ---- the stamped executables --------------------------------------------------------------------

TEST(BuiltExecutable, AlmanexCliCarriesTheProjectVersionAndBuildNumber) {
  const TVerInfoRes info(ALMANEX_CLI_PATH);
  EXPECT_EQ(info.GetFileVersionText(), ALMANEX_EXPECTED_FILE_VERSION);
  EXPECT_EQ(info.GetBuildNumberText(), ALMANEX_EXPECTED_BUILD_NUMBER);
  EXPECT_EQ(info.GetVersionString("LegalCopyright"), ALMANEX_EXPECTED_COPYRIGHT);
  EXPECT_EQ(info.GetVersionString("OriginalFilename"), "almanex-cli");
  EXPECT_EQ(info.GetVersionString("FileVersion"), ALMANEX_EXPECTED_FULL_VERSION);
}

TEST(BuiltExecutable, ThisTestProgramHasNoVersionInformation) {
  EXPECT_THROW(TVerInfoRes("/proc/self/exe"), ENoVerInfoError);
}

TEST(BuiltExecutable, AlmanexCliPrintsItsVersion) {
  QProcess process;
  process.start(QStringLiteral(ALMANEX_CLI_PATH), QStringList{QStringLiteral("--version")});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0);
  const std::string expected = std::string("almanex-cli ") + ALMANEX_EXPECTED_FILE_VERSION + " (Build " +
                               FormatBuildText(std::stoi(ALMANEX_EXPECTED_BUILD_NUMBER)) + ")\n";
  EXPECT_EQ(process.readAllStandardOutput().toStdString(), expected);
  EXPECT_EQ(process.readAllStandardError().toStdString(), "");
}

TEST_F(VersionFiles, CliVersionReadsTheGivenExecutable) {
  const std::string path = WriteBlock(Serialize(MakeVersionInfo(TypicalContents({7, 0, 0, 174}))));
  const ManualClock clock(0);
  cli::StringOutput out, err;
  EXPECT_EQ(cli::Run({"--version"}, out, err, clock, path), cli::kExitOk);
  EXPECT_EQ(out.str(), "almanex-cli 7.0 (Build 0.174)\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(VersionFiles, CliVersionWithoutVersionInformationFailsWithTheReason) {
  const ManualClock clock(0);
  cli::StringOutput out, err;
  EXPECT_EQ(cli::Run({"--version"}, out, err, clock, dir_.File("missing")), cli::kExitFailure);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "almanex-cli: No Version Info Available.\n");
}

}  // namespace
}  // namespace almanex
