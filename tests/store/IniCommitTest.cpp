// Committing writes: one atomic replace per Flush, and every failure leaves the old file as it was.

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
  file.WriteString("Event1", "Reminded", "0");
  EXPECT_NO_THROW(file.Flush());
  EXPECT_EQ(operations.fsyncs, 2);
  EXPECT_EQ(test::ReadFileBytes(path), "[Event1]\r\nTitle=Old\r\nReminded=0\r\n; kept\r\n");
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
