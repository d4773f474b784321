#include "SessionEnd.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <cerrno>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <array>

namespace almanex {
namespace {

constexpr std::array<int, 3> kEndSignals{SIGTERM, SIGHUP, SIGINT};
int signalPipe[2] = {-1, -1};

extern "C" void OnEndSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

SessionEndWatcher::SessionEndWatcher(QObject* parent) : QObject(parent) {
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) signalPipe[0] = signalPipe[1] = -1;
  if (signalPipe[0] >= 0) {
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SessionEndWatcher::OnSignalByte);
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kEndSignals) ::sigaction(number, &action, nullptr);
  }
  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(application, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { emit EndRequested(); });
  }
}

SessionEndWatcher::~SessionEndWatcher() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int number : kEndSignals) ::sigaction(number, &action, nullptr);
}

void SessionEndWatcher::OnSignalByte() {
  char bytes[16];
  while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  emit EndRequested();
}

}  // namespace almanex
