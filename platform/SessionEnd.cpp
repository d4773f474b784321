#include "SessionEnd.h"

#include <signal.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include "platform/core/SignalPipe.h"

namespace almanex {

SessionEndWatcher::SessionEndWatcher(QObject* parent) : QObject(parent) {
  if (SignalPipe::Install({SIGTERM, SIGHUP, SIGINT})) {
    notifier_ = new QSocketNotifier(SignalPipe::ReadEnd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SessionEndWatcher::OnSignalByte);
  }
  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(application, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { emit EndRequested(); });
  }
}

SessionEndWatcher::~SessionEndWatcher() { SignalPipe::Restore({SIGTERM, SIGHUP, SIGINT}); }

void SessionEndWatcher::OnSignalByte() {
  SignalPipe::Drain();
  emit EndRequested();
}

}  // namespace almanex
