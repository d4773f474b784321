#pragma once
// One Almanex per user session: a lock file in the user's runtime folder, and beside it a local socket
// on which the running instance listens. A second start asks it, through the socket, to show and raise
// its window (without a tray and without a taskbar that is the only way back to a minimised window),
// then ends.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace almanex {

/// Holds the instance lock for as long as it lives. The lock of an instance that died (crashed or
/// was killed) is taken over; a lock held by a running instance is never considered stale by age.
class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  /// The lock and the socket live in `folder` (default: the runtime folder, $XDG_RUNTIME_DIR).
  explicit SingleInstance(const QString& folder = {});
  ~SingleInstance() override;
  /// True when another running instance holds the lock; it has then been asked to show its window
  /// (at most about a second is spent on that) and this instance must end at once. False: this
  /// instance holds the lock and listens for later starts.
  bool IsPreviousInstanceRunning();
  QString LockFilePath() const { return path_; }
  QString SocketPath() const { return socketPath_; }

  /// The request a later start sends.
  static constexpr char kShowRequest[] = "show\n";

 Q_SIGNALS:
  /// A later start asked this instance to show and raise its window.
  void ShowRequested();

 private:
  void Listen();
  void AskRunningInstanceToShow() const;
  void OnConnection();

  QString path_;
  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace almanex
