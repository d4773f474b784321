#pragma once
// The advisory lock that keeps two processes from interleaving read-modify-write commits of one file
// (the profile file of the store, the settings store).
//
// The lock is flock(2) on the folder that holds the file, or its final target when the path is a symbolic
// link the atomic writer follows. The folder exists whenever the file can be written, and locking it
// leaves nothing behind in it. Only programs that take the same lock are held off; a hand edit is not,
// which is why a commit still re-reads a file that changed since it was read.
//
// Within one process the lock is shared: taking it again while it is held (an operation that holds it
// from its read to its commit, whose commit takes it once more) succeeds at once, and the flock is
// released when the last holder lets go. It orders processes, not threads; this program writes its files
// from one thread.
//
// The wait is bounded: a holder that does not let go within the wait makes Acquire fail with a reason,
// and the caller writes nothing (so nothing is lost).

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>

namespace almanex {

/// How long a commit waits for another process's commit before it gives up.
inline constexpr std::chrono::milliseconds kCommitLockWait{5000};

class CommitLock {
 public:
  /// Holds nothing.
  CommitLock() = default;
  /// Takes the lock that guards commits of the file at path, waiting at most `wait` for another process
  /// that holds it (zero: one try). Not held (see Held()) when the folder cannot be opened, the writer
  /// would refuse the path's symbolic link, or the wait ran out; error (when given) then tells why.
  static CommitLock Acquire(const std::string& path, std::chrono::milliseconds wait, std::string* error = nullptr);
  ~CommitLock() { Release(); }
  CommitLock(CommitLock&& other) noexcept : folder_(std::exchange(other.folder_, Folder{})) {}
  CommitLock& operator=(CommitLock&& other) noexcept;
  CommitLock(const CommitLock&) = delete;
  CommitLock& operator=(const CommitLock&) = delete;

  bool Held() const { return folder_.held; }
  /// Lets go (the flock itself goes with the process's last holder). Nothing when not held.
  void Release();

 private:
  struct Folder {
    bool held = false;
    dev_t device = 0;
    ino_t inode = 0;
  };
  explicit CommitLock(Folder folder) : folder_(folder) {}
  Folder folder_;
};

}  // namespace almanex
