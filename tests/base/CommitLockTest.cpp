// The commit lock: another process's holder keeps it for the bounded wait, then the caller gets a reason;
// holders in one process share it; it goes with the last one.

#include "base/CommitLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

/// A flock on the folder taken through a descriptor of its own, as another process would hold it.
class ForeignHolder {
 public:
  explicit ForeignHolder(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY)) {}
  ~ForeignHolder() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Lock() { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }
  void Unlock() { ::flock(fd_, LOCK_UN); }

 private:
  int fd_;
};

TEST(CommitLock, AnotherHolderMakesTheBoundedWaitFailWithAReason) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  ForeignHolder other(dir.Path());
  ASSERT_TRUE(other.Lock());
  std::string error;
  EXPECT_FALSE(CommitLock::Acquire(path, std::chrono::milliseconds(0), &error).Held());
  EXPECT_NE(error.find("another program is writing in " + dir.Path()), std::string::npos) << error;
  EXPECT_FALSE(CommitLock::Acquire(path, std::chrono::milliseconds(30), &error).Held());
  other.Unlock();
  // The waiter given up on above may take the lock for a moment as it goes, then lets go: a wait, not
  // none, gets it.
  EXPECT_TRUE(CommitLock::Acquire(path, std::chrono::seconds(5)).Held());
}

TEST(CommitLock, HoldersInOneProcessShareItAndTheLastOneLetsGo) {
  test::TempDir dir;
  const std::string path = dir.File("Config.INI");
  ForeignHolder other(dir.Path());
  CommitLock operation = CommitLock::Acquire(path, std::chrono::milliseconds(0));
  ASSERT_TRUE(operation.Held());
  {
    // The operation's commit takes it again at once, whatever the wait.
    const CommitLock commit = CommitLock::Acquire(dir.File("./Config.INI"), std::chrono::milliseconds(0));
    EXPECT_TRUE(commit.Held());
  }
  EXPECT_FALSE(other.Lock()) << "released with the inner holder";
  CommitLock moved = std::move(operation);
  EXPECT_FALSE(operation.Held());
  EXPECT_FALSE(other.Lock());
  moved.Release();
  EXPECT_TRUE(other.Lock());
}

TEST(CommitLock, ALinkIsLockedWhereItsTargetIsWritten) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  test::WriteFileBytes(dir.File("real/Config.INI"), "");
  ASSERT_EQ(::symlink("real/Config.INI", dir.File("Config.INI").c_str()), 0);
  ForeignHolder target(dir.File("real"));
  ASSERT_TRUE(target.Lock());
  EXPECT_FALSE(CommitLock::Acquire(dir.File("Config.INI"), std::chrono::milliseconds(0)).Held());
  // A dangling link is refused as the writer refuses it, and a missing folder cannot be locked.
  ASSERT_EQ(::symlink("nowhere/Config.INI", dir.File("Dangling.INI").c_str()), 0);
  std::string error;
  EXPECT_FALSE(CommitLock::Acquire(dir.File("Dangling.INI"), std::chrono::milliseconds(0), &error).Held());
  EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
  EXPECT_FALSE(CommitLock::Acquire(dir.File("missing/Config.INI"), std::chrono::milliseconds(0), &error).Held());
  EXPECT_NE(error.find("cannot open the folder"), std::string::npos) << error;
}

}  // namespace
}  // namespace almanex
