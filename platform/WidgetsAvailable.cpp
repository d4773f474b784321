#include "WidgetsAvailable.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace almanex {

namespace {

/// A stream connection to a Unix socket; `abstract` names one in the abstract namespace.
bool CanConnect(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.empty() || path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  // Non-blocking: a server whose backlog is full answers EAGAIN at once instead of holding the start.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 || errno == EAGAIN;
  ::close(fd);
  return connected;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool IsWaylandReachable() {
  const std::string display = Environment("WAYLAND_DISPLAY");
  if (display.empty()) return false;
  if (display.front() == '/') return CanConnect(display, false);
  const std::string runtime = Environment("XDG_RUNTIME_DIR");
  return !runtime.empty() && CanConnect(runtime + "/" + display, false);
}

/// DISPLAY is [host]:number[.screen]; a local display listens on X<number> below /tmp/.X11-unix, in the
/// abstract namespace, the file system or both.
bool IsX11Reachable() {
  const std::string display = Environment("DISPLAY");
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string_view host = std::string_view(display).substr(0, colon);
  if (!host.empty() && host != "unix" && host.front() != '/') return true;
  if (!host.empty() && host.front() == '/') return CanConnect(display.substr(0, colon), false);
  const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::string socket = "/tmp/.X11-unix/X" + number;
  return CanConnect(socket, true) || CanConnect(socket, false);
}

}  // namespace

bool CanShowWidgets() {
  const QCoreApplication* application = QCoreApplication::instance();
  return qobject_cast<const QApplication*>(application) != nullptr && QThread::currentThread() == application->thread();
}

}  // namespace almanex

namespace almanex {

bool IsDisplayReachable() {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  // The first entry of a ';'-separated list is tried first; any other platform plugin needs no server.
  const std::string first = platform.substr(0, platform.find(';'));
  if (!first.empty() && first.rfind("xcb", 0) != 0 && first.rfind("wayland", 0) != 0) return true;
  if (first.rfind("wayland", 0) == 0) return IsWaylandReachable() || (platform != first && IsX11Reachable());
  if (first.rfind("xcb", 0) == 0) return IsX11Reachable();
  return IsWaylandReachable() || IsX11Reachable();
}

}  // namespace almanex
