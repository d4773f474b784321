// Committing writes: one atomic replace per Flush, and every failure leaves the old file as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "store/IniFile.h"
#include "tests/common/StoreFakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

using Step = test::FaultyOperations::Step;

constexpr std::string_view kOldBytes = "[Event1]\r\nTitle=Old\r\nReminded=1\r\n; kept\r\n";

mode_t ModeOf(const std::string& path) {
  struct stat info;
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// The sample record of a yearly event, keys in the order in which a new section receives them.
const std::vector<std::pair<std::string, std::string>> kSampleRecord = {
    {"Title", "Wedding anniversary"},
    {"Date", "6/14/2003"},
    {"Time", "4:00:00 PM"},
    {"DateChecked", "1"},
    {"TimeChecked", "1"},
    {"Type", "0"},
    {"TypeDesc", "Anniversary"},
    {"ForeGroundColor", "0"},
    {"BackGroundColor", "-16777211"},
    {"RemindMe", "1"},
    {"RemindTime", "9:00:00 AM"},
    {"Reminded", "0"},
    {"RPStartDate", "12/8/2026"},
    {"RPEndDate", "12/8/2026"},
    {"RPEndType", "0"},
    {"RPRecurrenceType", "5"},
    {"RPMonthOfYear", "5"},
    {"RPDayOfMonth", "14"},
    {"RemindOfYears", "1"},
    {"RemindOfMonths", "1"},
    {"RemindOfWeeks", "1"},
    {"RemindOfDays", "1"},
    {"RemindOfHours", "1"},
    {"RemindOfMinutes", "1"},
    {"RemindOfSeconds", "1"},
    {"LastSentence", ""},
    {"FirstSentence", ""},
};

void WriteSampleRecord(IniFile& file, const std::string& section) {
  for (const auto& [key, value] : kSampleRecord) file.WriteString(section, key, value);
}

std::string SampleRecordBytes(const std::string& section) {
  std::string bytes = "[" + section + "]\r\n";
  for (const auto& [key, value] : kSampleRecord) bytes += key + "=" + value + "\r\n";
  return bytes;
}

TEST(IniCommit, RecordSavedInOneOperationIsWrittenWholeWithOneReplace) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, kOldBytes);
  test::FaultyOperations operations;
  {
    IniFile file(path, &operations);
    WriteSampleRecord(file, "Event3");
    EXPECT_EQ(operations.renames, 0) << "writes are buffered until Flush";
    file.Flush();
    file.Flush();  // nothing left to commit
  }
  EXPECT_EQ(operations.renames, 1);
  EXPECT_EQ(test::ReadFileBytes(path), std::string(kOldBytes) + SampleRecordBytes("Event3"));
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
}

TEST(IniCommit, RecordSavedInOneOperationIsNotWrittenAtAllWhenTheCommitFails) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, kOldBytes);
  test::FaultyOperations operations;
  operations.failStep = Step::kRename;
  IniFile file(path, &operations);
  WriteSampleRecord(file, "Event1");
  EXPECT_THROW(file.Flush(), EIniWriteError);
  EXPECT_EQ(test::ReadFileBytes(path), kOldBytes);
}

// The writer's own tests (tests/base/AtomicFileTest.cpp) fail every step; here, what the store makes
// of a failed commit: the error names the file, and the writes stay pending for a retry.
TEST(IniCommit, FailedCommitReportsTheFileAndARetryCommitsTheSameWrites) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, kOldBytes);
  test::FaultyOperations operations;
  operations.failStep = Step::kFsync;
  IniFile file(path, &operations);
  file.WriteString("Event1", "Title", "New");
  file.WriteString("Event2", "Title", "Other");
  try {
    file.Flush();
    ADD_FAILURE() << "Flush succeeded";
  } catch (const EIniWriteError& error) {
    EXPECT_STREQ(error.what(), ("Unable to write to " + path).c_str());
    EXPECT_EQ(error.Path(), path);
  }
  EXPECT_EQ(test::ReadFileBytes(path), kOldBytes);
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});

  EXPECT_TRUE(file.HasPendingWrites());
  operations.failStep = Step::kNone;
  file.Flush();
  EXPECT_EQ(test::ReadFileBytes(path), "[Event1]\r\nTitle=New\r\nReminded=1\r\n; kept\r\n[Event2]\r\nTitle=Other\r\n");
}

TEST(IniCommit, FailedFolderSyncAfterTheRenameIsNotAFailure) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, kOldBytes);
  test::FaultyOperations operations;
  operations.failStep = Step::kFsync;
  operations.failCall = 2;
  IniFile file(path, &operations);
  file.WriteString("Event1", "Title", "Newer");  // a new length: the atomic way
  EXPECT_NO_THROW(file.Flush());
  EXPECT_EQ(operations.fsyncs, 2);
  EXPECT_EQ(test::ReadFileBytes(path), "[Event1]\r\nTitle=Newer\r\nReminded=1\r\n; kept\r\n");
  EXPECT_FALSE(file.HasPendingWrites());
}

TEST(IniCommit, ReadOnlyFileIsRefusedAndUntouched) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, kOldBytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  {
    IniFile file(path);
    file.WriteString("Event1", "Reminded", "0");
    try {
      file.Flush();
      ADD_FAILURE() << "a read-only file was written";
    } catch (const EIniWriteError& error) {
      EXPECT_STREQ(error.what(), ("Unable to write to " + path).c_str());
    }
    file.WriteString("Event1", "Title", "Again");
  }  // the destructor's commit fails silently
  {
    IniFile file(path);
    file.WriteString("Event1", "Title", "Never flushed");
  }
  EXPECT_EQ(test::ReadFileBytes(path), kOldBytes);
  EXPECT_EQ(ModeOf(path), 0444u);
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
}

TEST(IniCommit, MissingFolderIsAWriteError) {
  test::TempDir dir;
  const std::string path = dir.File("Config/Config.INI");
  IniFile file(path);
  EXPECT_TRUE(file.SectionNames().empty());
  file.WriteString("Event1", "Title", "x");
  EXPECT_THROW(file.Flush(), EIniWriteError);
  EXPECT_FALSE(test::FileExists(dir.File("Config")));
}

TEST(IniCommit, ModeOfTheFileIsKept) {
  for (const mode_t mode : {0600u, 0640u, 0604u, 0666u}) {
    test::TempDir dir;
    const std::string path = dir.File("Config.INI");
    test::WriteFileBytes(path, kOldBytes);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    IniFile file(path);
    file.WriteString("Event1", "Reminded", "0");
    file.Flush();
    EXPECT_EQ(ModeOf(path), mode);
    EXPECT_NE(test::ReadFileBytes(path), kOldBytes);
  }
}

TEST(IniCommit, NewFileTakesTheUmask) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  const mode_t previous = ::umask(027);
  {
    IniFile file(path);
    file.WriteString("S", "k", "v");
    file.Flush();
  }
  ::umask(previous);
  EXPECT_EQ(ModeOf(path), 0640u);
}

TEST(IniCommit, SymbolicLinkIsWrittenThroughToItsTarget) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  const std::string target = dir.File("real/Config.INI");
  test::WriteFileBytes(target, kOldBytes);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = dir.File("Config.INI");
  std::filesystem::create_symlink("real/Config.INI", link);  // relative to the link's folder
  const std::string linkToLink = dir.File("Second.INI");
  std::filesystem::create_symlink(link, linkToLink);
  {
    IniFile file(linkToLink);
    EXPECT_EQ(file.ReadString("Event1", "Title", ""), "Old");
    file.WriteString("Event1", "Title", "New");
    file.Flush();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_symlink(linkToLink));
  EXPECT_EQ(test::ReadFileBytes(target), "[Event1]\r\nTitle=New\r\nReminded=1\r\n; kept\r\n");
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(test::FolderEntries(dir.File("real")), std::set<std::string>{"Config.INI"});
}

// A dangling link would have the commit create a file wherever the link points.
TEST(IniCommit, DanglingSymbolicLinkIsAWriteErrorAndItsTargetIsNotCreated) {
  test::TempDir dir;
  const std::string link = dir.File("Config.INI");
  std::filesystem::create_symlink("target.ini", link);
  IniFile file(link);
  file.WriteString("S", "k", "v");
  EXPECT_THROW(file.Flush(), EIniWriteError);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_FALSE(test::FileExists(dir.File("target.ini")));
}

TEST(IniCommit, DestructorCommitsPendingWrites) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::FaultyOperations operations;
  {
    IniFile file(path, &operations);
    file.WriteString("S", "k", "v");
  }
  EXPECT_EQ(test::ReadFileBytes(path), "[S]\r\nk=v\r\n");
  { IniFile file(path, &operations); }  // nothing pending: nothing written
  EXPECT_EQ(operations.renames, 1);
}

TEST(IniCommit, ReadsAndWritesGoOnAfterAFlush) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  IniFile file(path);
  file.WriteString("A", "k", "1");
  file.Flush();
  EXPECT_EQ(file.ReadString("A", "k", ""), "1");
  EXPECT_FALSE(file.HasPendingWrites());
  file.WriteString("A", "k", "2");
  file.WriteString("B", "k", "3");
  EXPECT_TRUE(file.HasPendingWrites());
  file.Flush();
  EXPECT_EQ(test::ReadFileBytes(path), "[A]\r\nk=2\r\n[B]\r\nk=3\r\n");
}

// Another program changed the file between this operation's read and its commit: its change stays.
TEST(IniCommit, ChangeByAnotherProgramIsNotOverwritten) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[A]\r\nk=1\r\n");
  IniFile file(path);
  test::WriteFileBytes(path, "[A]\r\nk=1\r\n[Other]\r\nx=2\r\n");
  file.WriteString("A", "k", "3");
  file.Flush();
  EXPECT_EQ(test::ReadFileBytes(path), "[A]\r\nk=3\r\n[Other]\r\nx=2\r\n");
}

TEST(IniCommit, ResetOfEverySectionWritesTheFileOnce) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  std::string bytes;
  for (int i = 1; i <= 500; ++i) bytes += "[Event" + std::to_string(i) + "]\r\nTitle=t\r\nReminded=1\r\n";
  test::WriteFileBytes(path, bytes);
  test::FaultyOperations operations;
  {
    IniFile file(path, &operations);
    for (const auto& section : file.SectionNames()) file.WriteBool(section, "Reminded", false);
    file.Flush();
  }
  EXPECT_EQ(operations.renames, 1);
  std::string expected;
  for (int i = 1; i <= 500; ++i) expected += "[Event" + std::to_string(i) + "]\r\nTitle=t\r\nReminded=0\r\n";
  EXPECT_EQ(test::ReadFileBytes(path), expected);
}

// A write whose line the file already holds, byte for byte, is no write: nothing is committed, and the
// file keeps its bytes and its modification time. A write that changes only a value's bytes, keeping
// its length, within one 512-byte block, is written in place (no replace); any other is committed by a
// replace. Either way the file ends as the writer's bytes.
enum class Way { kNone, kInPlace, kReplace };

struct UnchangingWriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  std::string value;
  /// The file after the write and Flush(); empty: exactly `before`, with no commit.
  std::string after;
  Way way;
};

void PrintTo(const UnchangingWriteCase& c, std::ostream* out) { *out << c.name; }

/// A file whose value of [Long] Value starts at byte 505, so that a change of its first and last of
/// 16 bytes spans two 512-byte blocks, and a change of its first byte alone does not.
std::string Padded(std::string_view value) {
  std::string padded = "[Pad]\r\nFill=" + std::string(505 - 30, 'x') + "\r\n[Long]\r\nValue=";
  return padded + std::string(value) + "\r\n";
}

const UnchangingWriteCase kUnchangingWrites[] = {
    {"SameLineCrLf", "[Event1]\r\nTitle=t\r\nReminded=0\r\n", "Event1", "Reminded", "0", "", Way::kNone},
    {"SameLineLf", "[Event1]\nReminded=0\nTitle=t\n", "Event1", "Reminded", "0", "", Way::kNone},
    {"SectionNamedInAnotherCase", "[Event1]\r\nReminded=0\r\n", "EVENT1", "Reminded", "0", "", Way::kNone},
    {"OtherValue", "[Event1]\r\nReminded=1\r\n", "Event1", "Reminded", "0", "[Event1]\r\nReminded=0\r\n",
     Way::kInPlace},
    {"OtherValueLf", "[Event1]\nReminded=0\nTitle=t\n", "Event1", "Reminded", "1", "[Event1]\nReminded=1\nTitle=t\n",
     Way::kInPlace},
    {"OtherValueAfterAByteOrderMark", "\xEF\xBB\xBF[Event1]\r\nReminded=0\r\n", "Event1", "Reminded", "1",
     "\xEF\xBB\xBF[Event1]\r\nReminded=1\r\n", Way::kInPlace},
    {"OtherValueCr", "[Event1]\rReminded=0\r", "Event1", "Reminded", "1", "[Event1]\rReminded=1\r", Way::kInPlace},
    {"OtherValueOfTheSameLength", "[E]\r\nTime=9:00:00 AM\r\n", "E", "Time", "1:30:00 PM", "[E]\r\nTime=1:30:00 PM\r\n",
     Way::kInPlace},
    {"OtherLength", "[E]\r\nCounter=9\r\nEnd=1\r\n", "E", "Counter", "10", "[E]\r\nCounter=10\r\nEnd=1\r\n",
     Way::kReplace},
    {"KeySpeltOtherwise", "[Event1]\r\nreminded=0\r\n", "Event1", "Reminded", "0", "[Event1]\r\nReminded=0\r\n",
     Way::kReplace},
    {"KeySpeltOtherwiseAndAnotherValue", "[Event1]\r\nreminded=0\r\n", "Event1", "Reminded", "1",
     "[Event1]\r\nReminded=1\r\n", Way::kReplace},
    {"BlanksAroundTheValue", "[Event1]\r\nReminded = 0\r\n", "Event1", "Reminded", "0", "[Event1]\r\nReminded=0\r\n",
     Way::kReplace},
    {"QuotedValue", "[Event1]\r\nReminded=\"0\"\r\n", "Event1", "Reminded", "0", "[Event1]\r\nReminded=0\r\n",
     Way::kReplace},
    {"LastLineWithoutLineBreak", "[Event1]\r\nReminded=0", "Event1", "Reminded", "0", "[Event1]\r\nReminded=0\r\n",
     Way::kReplace},
    {"LastLineWithoutLineBreakAndAnotherValue", "[Event1]\r\nReminded=0", "Event1", "Reminded", "1",
     "[Event1]\r\nReminded=1\r\n", Way::kReplace},
    {"LineBreakOtherThanTheOneLinesAreAddedWith", "[Event1]\r\nReminded=0\nTitle=t\r\n", "Event1", "Reminded", "0",
     "[Event1]\r\nReminded=0\r\nTitle=t\r\n", Way::kReplace},  // a mixed file adds CR LF lines
    {"OnlyASecondSectionOfTheNameHoldsIt", "[Event1]\r\nTitle=t\r\n[Event1]\r\nReminded=0\r\n", "Event1", "Reminded",
     "0", "[Event1]\r\nTitle=t\r\nReminded=0\r\n[Event1]\r\nReminded=0\r\n", Way::kReplace},
    {"OnlyASecondLineOfTheKeyHoldsIt", "[Event1]\r\nReminded=1\r\nReminded=0\r\n", "Event1", "Reminded", "0",
     "[Event1]\r\nReminded=0\r\nReminded=0\r\n", Way::kInPlace},
    {"MissingKey", "[Event1]\r\nTitle=t\r\n", "Event1", "Reminded", "0", "[Event1]\r\nTitle=t\r\nReminded=0\r\n",
     Way::kReplace},
    {"ChangeWithinOneBlock", Padded("aaaaaaaaaaaaaaaa"), "Long", "Value", "baaaaaaaaaaaaaaa",
     Padded("baaaaaaaaaaaaaaa"), Way::kInPlace},
    {"ChangeAcrossTwoBlocks", Padded("aaaaaaaaaaaaaaaa"), "Long", "Value", "baaaaaaaaaaaaaab",
     Padded("baaaaaaaaaaaaaab"), Way::kReplace},
};
class UnchangingWrite : public ::testing::TestWithParam<UnchangingWriteCase> {};

TEST_P(UnchangingWrite, CommitsOnlyWhatChangesTheBytes) {
  const UnchangingWriteCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, c.before);
  // A modification time long past: a commit would replace it by the present one.
  const struct timespec past[2] = {{978307200, 0}, {978307200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), past, 0), 0);
  test::FaultyOperations operations;
  {
    IniFile file(path, &operations);
    file.WriteString(c.section, c.key, c.value);
    EXPECT_EQ(*file.ReadValue(c.section, c.key), c.value);
    file.Flush();
  }
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  if (c.way == Way::kNone) {
    EXPECT_EQ(operations.renames, 0);
    EXPECT_EQ(operations.writes, 0);
    EXPECT_EQ(test::ReadFileBytes(path), c.before);
    EXPECT_EQ(info.st_mtim.tv_sec, past[1].tv_sec);
  } else {
    EXPECT_EQ(operations.renames, c.way == Way::kReplace ? 1 : 0);
    EXPECT_EQ(operations.fsyncs, c.way == Way::kReplace ? 2 : 1);  // the file, and after a replace its folder
    EXPECT_EQ(test::ReadFileBytes(path), c.after);
    EXPECT_NE(info.st_mtim.tv_sec, past[1].tv_sec);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnchangingWrite, ::testing::ValuesIn(kUnchangingWrites),
                         [](const auto& info) { return std::string(info.param.name); });

// A value written and then written back within one operation leaves the file as it was; a pending
// erase is not undone by a write that matches the erased bytes.
TEST(IniCommit, PendingWritesOfTheSectionDecideOverTheFilesBytes) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, "[Event1]\r\nReminded=0\r\n[Event2]\r\nReminded=0\r\n");
  test::FaultyOperations operations;
  {
    IniFile file(path, &operations);
    file.WriteString("Event1", "Reminded", "1");
    file.WriteString("Event1", "Reminded", "0");
    file.EraseSection("Event2");
    file.WriteString("Event2", "Reminded", "0");
    file.Flush();
  }
  EXPECT_EQ(operations.renames, 1);
  EXPECT_EQ(test::ReadFileBytes(path), "[Event1]\r\nReminded=0\r\n[Event2]\r\nReminded=0\r\n");
}

// A write in place would reach every name of a file with more than one; a file reached through a link
// is written as the atomic writer decides. Both take the replace, and only the named file changes.
TEST(IniCommit, AFileWithAnotherNameIsReplacedNotWrittenInPlace) {
  test::TempDir dir;
  const std::string target = dir.File("Target.INI");
  const std::string before = "[Event1]\r\nReminded=0\r\n";
  const std::string after = "[Event1]\r\nReminded=1\r\n";
  for (const bool hardLink : {true, false}) {
    SCOPED_TRACE(hardLink ? "hard link" : "symbolic link");
    const std::string path = dir.File(hardLink ? "Hard.INI" : "Soft.INI");
    test::WriteFileBytes(target, before);
    ASSERT_EQ(hardLink ? ::link(target.c_str(), path.c_str()) : ::symlink(target.c_str(), path.c_str()), 0);
    test::FaultyOperations operations;
    IniFile file(path, &operations);
    file.WriteBool("Event1", "Reminded", true);
    file.Flush();
    EXPECT_EQ(operations.renames, 1);
    EXPECT_EQ(test::ReadFileBytes(path), after);
    EXPECT_EQ(test::ReadFileBytes(target), hardLink ? before : after);
    ASSERT_EQ(::unlink(path.c_str()), 0);
  }
}

// Writes made in place only (the day's reset of marks): each one that can go in place is written, the
// others stay pending, and the answer says whether any is left.
struct InPlaceOnlyCase {
  const char* name;
  std::string before;
  std::vector<std::pair<const char*, const char*>> marks;  // section, value of Reminded
  std::string after;
  bool allWritten;
};

void PrintTo(const InPlaceOnlyCase& c, std::ostream* out) { *out << c.name; }

const InPlaceOnlyCase kInPlaceOnly[] = {
    {"AfterAByteOrderMark",
     "\xEF\xBB\xBF[E1]\r\nReminded=1\r\n",
     {{"E1", "0"}},
     "\xEF\xBB\xBF[E1]\r\nReminded=0\r\n",
     true},
    {"EveryMark",
     "[E1]\r\nReminded=1\r\n[E2]\nReminded=1\r\n[E3]\r\nReminded=0\r\n",
     {{"E1", "0"}, {"E2", "0"}, {"E3", "0"}},
     "[E1]\r\nReminded=0\r\n[E2]\nReminded=0\r\n[E3]\r\nReminded=0\r\n",
     true},
    {"OneNotInTheWritersForm",
     "[E1]\r\nReminded=1\r\n[E2]\r\nreminded = 1\r\n",
     {{"E1", "0"}, {"E2", "0"}},
     "[E1]\r\nReminded=0\r\n[E2]\r\nreminded = 1\r\n",
     false},
    {"OneWithoutTheKey",
     "[E1]\r\nReminded=1\r\n[E2]\r\nTitle=t\r\n",
     {{"E2", "0"}, {"E1", "0"}},
     "[E1]\r\nReminded=0\r\n[E2]\r\nTitle=t\r\n",
     false},
    {"ANewSection", "[E1]\r\nReminded=1\r\n", {{"E9", "0"}}, "[E1]\r\nReminded=1\r\n", false},
    {"AnotherLength", "[E1]\r\nReminded=1\r\n", {{"E1", "10"}}, "[E1]\r\nReminded=1\r\n", false},
};

class InPlaceOnly : public ::testing::TestWithParam<InPlaceOnlyCase> {};

TEST_P(InPlaceOnly, WritesWhatCanGoInPlaceAndKeepsTheRestPending) {
  const InPlaceOnlyCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, c.before);
  test::FaultyOperations operations;
  {
    IniFile file(path, IniFile::InPlaceOnly{}, &operations);
    for (const auto& [section, value] : c.marks) file.WriteString(section, "Reminded", value);
    EXPECT_EQ(file.FlushInPlace(), c.allWritten);
    EXPECT_EQ(file.HasPendingWrites(), !c.allWritten);
    if (!c.allWritten) {
      EXPECT_THROW(file.Flush(), EIniWriteError);  // what is left is never committed
    }
  }  // nor by the destructor
  EXPECT_EQ(test::ReadFileBytes(path), c.after);
  EXPECT_EQ(operations.renames, 0);
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
}

INSTANTIATE_TEST_SUITE_P(Cases, InPlaceOnly, ::testing::ValuesIn(kInPlaceOnly),
                         [](const auto& info) { return std::string(info.param.name); });

// Nothing is written in place into a file another program changed since the read, or one with a second
// name; a failing write or sync is an error.
TEST(InPlaceOnlyRefusals, ChangedFileSecondNameAndFailures) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  const std::string before = "[E1]\r\nReminded=1\r\n";
  {
    test::WriteFileBytes(path, before);
    IniFile file(path, IniFile::InPlaceOnly{});
    file.WriteString("E1", "Reminded", "0");
    test::WriteFileBytes(path, before + "; edited\r\n");
    EXPECT_FALSE(file.FlushInPlace());
    EXPECT_EQ(test::ReadFileBytes(path), before + "; edited\r\n");
  }
  {
    test::WriteFileBytes(path, before);
    ASSERT_EQ(::link(path.c_str(), dir.File("Second.INI").c_str()), 0);
    IniFile file(path, IniFile::InPlaceOnly{});
    file.WriteString("E1", "Reminded", "0");
    EXPECT_FALSE(file.FlushInPlace());
    EXPECT_EQ(test::ReadFileBytes(path), before);
    ASSERT_EQ(::unlink(dir.File("Second.INI").c_str()), 0);
  }
  for (const Step step : {Step::kWrite, Step::kFsync}) {
    test::WriteFileBytes(path, before);
    test::FaultyOperations operations;
    operations.failStep = step;
    IniFile file(path, IniFile::InPlaceOnly{}, &operations);
    file.WriteString("E1", "Reminded", "0");
    EXPECT_THROW(file.FlushInPlace(), EIniWriteError);
  }
}

// Each failing step of a commit leaves the old file whole, keeps the writes pending, and a retry on the
// same operation commits exactly the new bytes, which later reads of the operation then see; the same
// for a mark written in place ("1" over "0") and one that replaces the file ("11").
struct FailedStepCase {
  const char* name;
  test::FaultyOperations::Step step;
  const char* value;
};

void PrintTo(const FailedStepCase& c, std::ostream* out) { *out << c.name; }

const FailedStepCase kFailedSteps[] = {
    {"WriteInPlace", Step::kWrite, "1"},  {"FileSyncInPlace", Step::kFsync, "1"},
    {"WriteReplace", Step::kWrite, "11"}, {"FileSyncReplace", Step::kFsync, "11"},
    {"Rename", Step::kRename, "11"},
};

class MarkCommit : public ::testing::TestWithParam<FailedStepCase> {};

TEST_P(MarkCommit, FailingStepLeavesTheOldFileAndARetryWritesTheNewOne) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  std::string before;
  for (int i = 1; i <= 200; ++i) before += "[Event" + std::to_string(i) + "]\r\nTitle=t\r\nReminded=0\r\n";
  test::WriteFileBytes(path, before);
  std::string after = before;
  after.replace(after.find("Reminded=0", after.find("[Event77]")), 10, std::string("Reminded=") + GetParam().value);
  test::FaultyOperations operations;
  operations.failStep = GetParam().step;
  operations.chunk = 4096;  // several writes, so that a failing write is a torn one
  IniFile file(path, &operations);
  file.WriteString("Event77", "Reminded", GetParam().value);
  EXPECT_THROW(file.Flush(), EIniWriteError);
  EXPECT_EQ(test::ReadFileBytes(path), before);
  EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path().filename(), "Config.INI");
  EXPECT_TRUE(file.HasPendingWrites());
  EXPECT_TRUE(file.ReadBool("Event77", "Reminded", false));

  operations.failStep = test::FaultyOperations::Step::kNone;
  file.Flush();
  EXPECT_EQ(test::ReadFileBytes(path), after);
  EXPECT_FALSE(file.HasPendingWrites());
  EXPECT_TRUE(file.ReadBool("Event77", "Reminded", false));
  EXPECT_EQ(file.ReadString("Event200", "Title", ""), "t");
}

INSTANTIATE_TEST_SUITE_P(Steps, MarkCommit, ::testing::ValuesIn(kFailedSteps),
                         [](const auto& info) { return std::string(info.param.name); });

// Two processes that each read a count and write it plus one, 500 times, through the store's commit
// path: the commit lock keeps every step.
TEST(IniCommitLock, TwoProcessesIncrementingOneValueLoseNoStep) {
  test::TempDir dir{test::TempDir::InMemory{}};
  const std::string path = dir.File("Config.INI");
  const std::vector<std::string> writer = {ALMANEX_STORE_WRITER_PATH, "ini-increment", path, "500"};
  ASSERT_TRUE(test::RunTogether({writer, writer}));
  const IniFile file(path);
  EXPECT_EQ(file.ReadInteger("Counter", "Value", 0), 1000);
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"Config.INI"});
}

}  // namespace
}  // namespace almanex
