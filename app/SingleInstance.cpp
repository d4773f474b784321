#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace almanex {

SingleInstance::SingleInstance(const QString& folder) {
  QString base = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
  if (base.isEmpty()) base = QDir::tempPath();
  path_ = base + QStringLiteral("/Almanex.lock");
  lock_ = std::make_unique<QLockFile>(path_);
  // Staleness by age would let a second instance start beside one that has run for a while.
  lock_->setStaleLockTime(0);
}

bool SingleInstance::IsPreviousInstanceRunning() {
  if (lock_->isLocked()) return false;
  if (lock_->tryLock(0)) return false;
  // The lock is held; a lock whose owner is gone is removed and taken over.
  if (lock_->error() == QLockFile::LockFailedError && lock_->removeStaleLockFile() && lock_->tryLock(0)) {
    return false;
  }
  return lock_->error() == QLockFile::LockFailedError;
}

}  // namespace almanex
