#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace almanex {

namespace {

// Each wait of a later start on the running instance; a hung instance costs the later start at most
// about twice this.
constexpr int kRequestWaitMilliseconds = 500;

}  // namespace

SingleInstance::SingleInstance(const QString& folder) {
  QString base = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
  if (base.isEmpty()) base = QDir::tempPath();
  path_ = base + QStringLiteral("/Almanex.lock");
  socketPath_ = base + QStringLiteral("/Almanex.socket");
  lock_ = std::make_unique<QLockFile>(path_);
  // Staleness by age would let a second instance start beside one that has run for a while.
  lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();  // removes the socket file
}

bool SingleInstance::IsPreviousInstanceRunning() {
  if (lock_->isLocked()) return false;
  bool running = true;
  if (lock_->tryLock(0)) {
    running = false;
  } else if (lock_->error() == QLockFile::LockFailedError && lock_->removeStaleLockFile() && lock_->tryLock(0)) {
    // The lock was held; a lock whose owner is gone is removed and taken over.
    running = false;
  } else {
    running = lock_->error() == QLockFile::LockFailedError;
  }
  if (running) {
    AskRunningInstanceToShow();
  } else if (lock_->isLocked()) {
    Listen();
  }
  return running;
}

void SingleInstance::Listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Holding the lock, this instance owns the name: a socket file left by a crashed instance goes.
  QLocalServer::removeServer(socketPath_);
  if (!server_->listen(socketPath_)) return;  // later starts then end without being heard
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    const auto read = [this, socket] {
      // Anything but the request is ignored; a request is acted on once per connection.
      if (socket->property("answered").toBool() || !socket->canReadLine()) return;
      if (socket->readLine() != QByteArray(kShowRequest)) return;
      socket->setProperty("answered", true);
      emit ShowRequested();
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    read();
  }
}

void SingleInstance::AskRunningInstanceToShow() const {
  QLocalSocket socket;
  socket.connectToServer(socketPath_, QIODevice::WriteOnly);
  if (!socket.waitForConnected(kRequestWaitMilliseconds)) return;
  socket.write(kShowRequest);
  socket.waitForBytesWritten(kRequestWaitMilliseconds);
  socket.disconnectFromServer();
}

}  // namespace almanex
