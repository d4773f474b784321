// The atomic writer: every failing step leaves the old file byte for byte and no temporary file; the
// replaced file keeps its mode and owner; links are written through, but only links that are safe to follow.

#include "base/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/Trace.h"
#include "tests/common/StoreFakes.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TraceFakes.h"

namespace almanex {
namespace {

using Step = test::FaultyOperations::Step;
using test::FolderEntries;

constexpr std::string_view kOldBytes = "old bytes\r\nof the file\r\n";
const std::string kNewBytes(10000, 'n');  // several short writes when the writes are cut into chunks

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info;
}

mode_t ModeOf(const std::string& path) { return StatOf(path).st_mode & 07777; }

bool Write(const std::string& path, std::string_view bytes, FileOperations* operations = nullptr,
           std::string* error = nullptr) {
  AtomicWriteOptions options;
  options.operations = operations;
  return WriteFileAtomically(path, bytes, options, error);
}

struct FaultCase {
  const char* name;
  Step step;
  int call;
  std::size_t chunk;
};

void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

const FaultCase kFaultCases[] = {
    {"FirstWrite", Step::kWrite, 1, static_cast<std::size_t>(-1)},
    {"WriteAfterPartialWrites", Step::kWrite, 4, 5},
    {"FileSync", Step::kFsync, 1, static_cast<std::size_t>(-1)},
    {"Rename", Step::kRename, 1, static_cast<std::size_t>(-1)},
};

class AtomicFileFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AtomicFileFaultTest, LeavesTheOldFileAndNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = dir.File("file.ini");
  test::WriteFileBytes(path, kOldBytes);
  test::FaultyOperations operations;
  operations.failStep = GetParam().step;
  operations.failCall = GetParam().call;
  operations.chunk = GetParam().chunk;
  std::string error;
  EXPECT_FALSE(Write(path, kNewBytes, &operations, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::ReadFileBytes(path), kOldBytes);
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"file.ini"});

  // Once the fault is gone the same call replaces the file.
  operations.failStep = Step::kNone;
  EXPECT_TRUE(Write(path, kNewBytes, &operations));
  EXPECT_EQ(test::ReadFileBytes(path), kNewBytes);
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"file.ini"});
}

INSTANTIATE_TEST_SUITE_P(Steps, AtomicFileFaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AtomicFile, ShortWritesAreContinuedAndOneReplaceSyncsFileAndFolder) {
  test::TempDir dir;
  const std::string path = dir.File("file.ini");
  test::FaultyOperations operations;
  operations.chunk = 3;
  EXPECT_TRUE(Write(path, kNewBytes, &operations));
  EXPECT_EQ(test::ReadFileBytes(path), kNewBytes);
  EXPECT_GT(operations.writes, 3000);
  EXPECT_EQ(operations.fsyncs, 2);
  EXPECT_EQ(operations.renames, 1);
}

// After the rename the new bytes are the file: a failed folder sync cannot undo that, so it is no
// failed write (which promises an untouched old file), but it is not silent either.
TEST(AtomicFile, FailedFolderSyncAfterTheRenameIsTracedNotFailed) {
  test::RecordingTrace trace;
  test::TempDir dir;
  const std::string path = dir.File("file.ini");
  test::WriteFileBytes(path, kOldBytes);
  test::FaultyOperations operations;
  operations.failStep = Step::kFsync;
  operations.failCall = 2;
  EXPECT_TRUE(Write(path, kNewBytes, &operations));
  EXPECT_EQ(operations.fsyncs, 2);
  EXPECT_EQ(test::ReadFileBytes(path), kNewBytes);
  ASSERT_EQ(trace.lines.size(), 1u);
  EXPECT_EQ(trace.lines[0].source, "AtomicFile");
  EXPECT_NE(trace.lines[0].message.find(path + ": replaced, but the folder could not be synced"), std::string::npos)
      << trace.lines[0].message;
}

TEST(AtomicFile, AnExistingFileKeepsItsModeAndANewOneTakesTheCallersOrTheUmask) {
  for (const mode_t mode : {0600u, 0640u, 0604u, 0666u, 0755u}) {
    test::TempDir dir;
    const std::string path = dir.File("file.ini");
    test::WriteFileBytes(path, kOldBytes);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    AtomicWriteOptions options;
    options.newFileMode = 0600;  // for a new file only
    ASSERT_TRUE(WriteFileAtomically(path, kNewBytes, options));
    EXPECT_EQ(ModeOf(path), mode);
  }
  test::TempDir dir;
  AtomicWriteOptions options;
  options.newFileMode = 0644;
  const mode_t previous = ::umask(077);
  ASSERT_TRUE(WriteFileAtomically(dir.File("given.ini"), kNewBytes, options));
  ::umask(027);
  ASSERT_TRUE(WriteFileAtomically(dir.File("umask.ini"), kNewBytes, AtomicWriteOptions{}));
  ::umask(previous);
  EXPECT_EQ(ModeOf(dir.File("given.ini")), 0644u);
  EXPECT_EQ(ModeOf(dir.File("umask.ini")), 0640u);
}

TEST(AtomicFile, AnExistingFileKeepsItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  test::TempDir dir;
  const std::string path = dir.File("file.ini");
  test::WriteFileBytes(path, kOldBytes);
  ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(Write(path, kNewBytes));
  const struct stat info = StatOf(path);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 8765u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(test::ReadFileBytes(path), kNewBytes);
}

TEST(AtomicFile, AChainOfLinksIsWrittenThroughToItsTarget) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  const std::string target = dir.File("real/file.ini");
  test::WriteFileBytes(target, kOldBytes);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  std::filesystem::create_symlink("real/file.ini", dir.File("link.ini"));  // relative to the link's folder
  std::filesystem::create_symlink(dir.File("link.ini"), dir.File("second.ini"));
  ASSERT_TRUE(Write(dir.File("second.ini"), kNewBytes));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("second.ini")));
  EXPECT_EQ(test::ReadFileBytes(target), kNewBytes);
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(FolderEntries(dir.File("real")), std::set<std::string>{"file.ini"});
}

// A dangling link would make the write create a file wherever the link points; a link of another user
// could aim the write at any file this process may write. Both are refused and nothing is created.
TEST(AtomicFile, DanglingAndForeignLinksAreRefused) {
  test::TempDir dir;
  std::filesystem::create_symlink("elsewhere.ini", dir.File("dangling.ini"));
  std::string error;
  EXPECT_FALSE(Write(dir.File("dangling.ini"), kNewBytes, nullptr, &error));
  EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
  EXPECT_FALSE(test::FileExists(dir.File("elsewhere.ini")));

  if (::geteuid() != 0) return;  // only root can make a link that belongs to another user
  test::WriteFileBytes(dir.File("victim.ini"), kOldBytes);
  std::filesystem::create_symlink("victim.ini", dir.File("foreign.ini"));
  ASSERT_EQ(::lchown(dir.File("foreign.ini").c_str(), 4321, 4321), 0);
  EXPECT_FALSE(Write(dir.File("foreign.ini"), kNewBytes, nullptr, &error));
  EXPECT_NE(error.find("belongs to another user"), std::string::npos) << error;
  EXPECT_EQ(test::ReadFileBytes(dir.File("victim.ini")), kOldBytes);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("foreign.ini")));
  EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"dangling.ini", "foreign.ini", "victim.ini"}));
}

// Root passes every access() check: the write bits of the mode are what keeps a read-only file.
TEST(AtomicFile, AReadOnlyFileOrAFolderInItsPlaceIsRefusedAndUntouched) {
  test::TempDir dir;
  const std::string path = dir.File("file.ini");
  test::WriteFileBytes(path, kOldBytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(Write(path, kNewBytes));
  EXPECT_EQ(test::ReadFileBytes(path), kOldBytes);
  EXPECT_EQ(ModeOf(path), 0444u);
  std::filesystem::create_directory(dir.File("folder.ini"));
  EXPECT_FALSE(Write(dir.File("folder.ini"), kNewBytes));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.ini")));
  EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"file.ini", "folder.ini"}));
}

TEST(AtomicFile, AMissingFolderFailsUnlessTheCallerAsksForItsCreation) {
  test::TempDir dir;
  EXPECT_FALSE(Write(dir.File("a/b/file.ini"), kNewBytes));
  EXPECT_FALSE(test::FileExists(dir.File("a")));
  AtomicWriteOptions options;
  options.folderMode = 0700;
  ASSERT_TRUE(WriteFileAtomically(dir.File("a/b/file.ini"), kNewBytes, options));
  EXPECT_EQ(test::ReadFileBytes(dir.File("a/b/file.ini")), kNewBytes);
  EXPECT_EQ(ModeOf(dir.File("a")), 0700u);
  EXPECT_EQ(ModeOf(dir.File("a/b")), 0700u);
}

// Left-over temporary files: a writer killed between its create and its rename leaves one. Each replace
// removes those of its own file that are over a minute old, and nothing else in the folder.
struct LeftoverCase {
  const char* name;
  const char* entry;  // in the folder of Config.INI
  enum class Kind { kFile, kLink, kFolder } kind;
  int ageSeconds;  // since its last change, on the writer's clock
  bool removed;
};

void PrintTo(const LeftoverCase& row, std::ostream* out) { *out << row.name; }

using LeftoverKind = LeftoverCase::Kind;
const LeftoverCase kLeftoverCases[] = {
    {"StaleTemporary", ".Config.INI.almanex-tmp-a1b2c3", LeftoverKind::kFile, 61, true},
    {"DayOldTemporary", ".Config.INI.almanex-tmp-zzzzzz", LeftoverKind::kFile, 86400, true},
    {"TemporaryOfAWriteInProgress", ".Config.INI.almanex-tmp-a1b2c3", LeftoverKind::kFile, 59, false},
    {"AnotherFilesTemporary", ".Other.INI.almanex-tmp-a1b2c3", LeftoverKind::kFile, 3600, false},
    {"NotHidden", "Config.INI.almanex-tmp-a1b2c3", LeftoverKind::kFile, 3600, false},
    {"CapitalLetters", ".Config.INI.almanex-tmp-A1B2C3", LeftoverKind::kFile, 3600, false},
    {"SevenCharacters", ".Config.INI.almanex-tmp-a1b2c3d", LeftoverKind::kFile, 3600, false},
    {"AnotherProgramsNaming", ".Config.INI.tmpa1b2c3", LeftoverKind::kFile, 3600, false},
    {"LinkUnderOurName", ".Config.INI.almanex-tmp-a1b2c3", LeftoverKind::kLink, 3600, false},
    {"FolderUnderOurName", ".Config.INI.almanex-tmp-a1b2c3", LeftoverKind::kFolder, 3600, false},
};

class LeftoverTemporaryTest : public ::testing::TestWithParam<LeftoverCase> {};

TEST_P(LeftoverTemporaryTest, OnlyOurStaleTemporariesAreRemovedByTheNextReplace) {
  const LeftoverCase& row = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  test::WriteFileBytes(path, kOldBytes);
  const std::string entry = dir.File(row.entry);
  const std::string outside = dir.File("outside");
  test::WriteFileBytes(outside, "keep");
  switch (row.kind) {
    case LeftoverKind::kFile:
      test::WriteFileBytes(entry, "partial");
      break;
    case LeftoverKind::kLink:
      ASSERT_EQ(::symlink(outside.c_str(), entry.c_str()), 0);
      break;
    case LeftoverKind::kFolder:
      ASSERT_TRUE(std::filesystem::create_directory(entry));
      break;
  }
  const std::chrono::system_clock::time_point changed{std::chrono::seconds(1700000000)};
  const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, entry.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);

  test::FaultyOperations operations;
  operations.now = changed + std::chrono::seconds(row.ageSeconds);
  ASSERT_TRUE(Write(path, kNewBytes, &operations));
  EXPECT_EQ(test::ReadFileBytes(path), kNewBytes);
  EXPECT_EQ(!std::filesystem::exists(std::filesystem::symlink_status(entry)), row.removed);
  EXPECT_EQ(test::ReadFileBytes(outside), "keep");
  // The replace's own temporary file is hidden and carries our mark.
  const std::string temporary = std::filesystem::path(operations.lastRenamedFrom).filename().string();
  EXPECT_TRUE(IsTemporaryNameOf(temporary, "Config.INI")) << temporary;
}

INSTANTIATE_TEST_SUITE_P(Table, LeftoverTemporaryTest, ::testing::ValuesIn(kLeftoverCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace almanex
