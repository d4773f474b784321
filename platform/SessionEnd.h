#pragma once
// The end of the desktop session as the program sees it: the session manager's request to save
// (commitDataRequest), and SIGTERM, SIGHUP and SIGINT, which the system sends at logout or shutdown.
// A signal is turned into a Qt signal on the user-interface thread through a self-pipe, so the
// handler itself does nothing but write one byte.

#include <QObject>

class QSocketNotifier;

namespace almanex {

class SessionEndWatcher final : public QObject {
  Q_OBJECT

 public:
  /// Installs the signal handlers (one watcher per process) and listens for the session manager.
  explicit SessionEndWatcher(QObject* parent = nullptr);
  ~SessionEndWatcher() override;

 signals:
  /// The session is ending or the program was asked to stop: save and close.
  void EndRequested();

 private:
  void OnSignalByte();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace almanex
