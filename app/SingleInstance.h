#pragma once
// One Almanex per user session: a lock file in the user's runtime folder.

#include <QLockFile>
#include <QString>
#include <memory>

namespace almanex {

/// Holds the instance lock for as long as it lives. The lock of an instance that died (crashed or
/// was killed) is taken over; a lock held by a running instance is never considered stale by age.
class SingleInstance {
 public:
  /// The lock lives in `folder` (default: the runtime folder, $XDG_RUNTIME_DIR).
  explicit SingleInstance(const QString& folder = {});
  /// True when another running instance holds the lock; this instance must then end at once.
  bool IsPreviousInstanceRunning();
  QString LockFilePath() const { return path_; }

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace almanex
