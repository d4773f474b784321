#include "TraceListener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/core/DebugAgentUnit.h"

namespace almanex {

DebugServerListener::~DebugServerListener() { Close(); }

DebugServerListener::OpenStatus DebugServerListener::Open(const std::string& path) {
  Close();
  error_.clear();
  sockaddr_un address;
  if (!MakeTraceSocketAddress(path, address)) {
    error_ =
        "The socket path is empty or longer than " + std::to_string(sizeof address.sun_path - 1) + " bytes: " + path;
    return OpenStatus::Failed;
  }
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      error_ = "The path exists and is not a socket: " + path;
      return OpenStatus::Failed;
    }
    const int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) {
      error_ = std::string("socket: ") + std::strerror(errno);
      return OpenStatus::Failed;
    }
    const bool answered = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int probeError = errno;
    ::close(probe);
    if (answered || probeError == EAGAIN) {
      return OpenStatus::AnotherListenerRuns;  // EAGAIN: alive, only its backlog is full
    }
    if (probeError != ECONNREFUSED) {
      error_ = "Cannot probe " + path + ": " + std::strerror(probeError);
      return OpenStatus::Failed;
    }
    // Nobody answers: the file was left behind by a listener that died.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      error_ = "Cannot remove the stale socket " + path + ": " + std::strerror(errno);
      return OpenStatus::Failed;
    }
  }
  const int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (descriptor < 0) {
    error_ = std::string("socket: ") + std::strerror(errno);
    return OpenStatus::Failed;
  }
  if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int bindError = errno;
    ::close(descriptor);
    if (bindError == EADDRINUSE) return OpenStatus::AnotherListenerRuns;  // one started at the same moment
    error_ = "Cannot bind " + path + ": " + std::strerror(bindError);
    return OpenStatus::Failed;
  }
  struct stat bound {};
  if (::chmod(path.c_str(), 0600) != 0 || ::lstat(path.c_str(), &bound) != 0 || ::listen(descriptor, 16) != 0) {
    error_ = "Cannot listen at " + path + ": " + std::strerror(errno);
    ::close(descriptor);
    ::unlink(path.c_str());
    return OpenStatus::Failed;
  }
  listenDescriptor_ = descriptor;
  path_ = path;
  device_ = bound.st_dev;
  inode_ = bound.st_ino;
  return OpenStatus::Listening;
}

void DebugServerListener::Close() {
  if (listenDescriptor_ < 0) return;
  ::close(listenDescriptor_);
  listenDescriptor_ = -1;
  struct stat current {};
  if (::lstat(path_.c_str(), &current) == 0 && current.st_dev == device_ && current.st_ino == inode_) {
    ::unlink(path_.c_str());
  }
}

bool DebugServerListener::Serve(int stopDescriptor, FunctionRef<bool(std::string_view line)> onLine) {
  if (listenDescriptor_ < 0) {
    error_ = "Not listening.";
    return false;
  }
  // Connections accepted but not yet read. A client that connects and never sends is dropped once this
  // many newer ones wait, so it cannot exhaust our descriptors.
  constexpr std::size_t kMaximumPending = 32;
  std::vector<int> pending;
  const auto drop = [&pending](std::size_t index) {
    ::close(pending[index]);
    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(index));
  };
  const auto dropAll = [&pending] {
    for (const int descriptor : pending) ::close(descriptor);
    pending.clear();
  };
  std::vector<pollfd> entries;
  std::string packet;
  for (;;) {
    entries.clear();
    entries.push_back({stopDescriptor, POLLIN, 0});
    entries.push_back({listenDescriptor_, POLLIN, 0});
    for (const int descriptor : pending) entries.push_back({descriptor, POLLIN, 0});
    if (::poll(entries.data(), entries.size(), -1) < 0) {
      if (errno == EINTR) continue;
      error_ = std::string("poll: ") + std::strerror(errno);
      dropAll();
      return false;
    }
    if (entries[0].revents != 0) {
      dropAll();
      return true;
    }
    // Clients first, from the back, so that erasing keeps the remaining indexes valid.
    for (std::size_t index = pending.size(); index-- > 0;) {
      const short events = entries[index + 2].revents;
      if (events == 0) continue;
      const int client = pending[index];
      const ssize_t size = ::recv(client, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
      if (size < 0 && (errno == EAGAIN || errno == EINTR) && (events & POLLIN) != 0) continue;
      if (size <= 0) {
        drop(index);  // closed without sending, or broken
        continue;
      }
      try {
        packet.resize(static_cast<std::size_t>(size));
      } catch (...) {
        drop(index);
        continue;
      }
      const ssize_t received = ::recv(client, packet.data(), packet.size(), MSG_DONTWAIT);
      if (received <= 0) {
        drop(index);
        continue;
      }
      std::string_view line(packet.data(), static_cast<std::size_t>(received));
      line = line.substr(0, line.find('\0'));
      const bool written = onLine(line);
      [[maybe_unused]] const ssize_t ignored = ::send(client, &kTraceReplyByte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      drop(index);
      if (!written) {
        error_ = "Cannot write the received line.";
        dropAll();
        return false;
      }
    }
    if ((entries[1].revents & POLLIN) != 0) {
      for (;;) {
        const int client = ::accept4(listenDescriptor_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) break;  // EAGAIN: all taken; other errors (a client gone already) are its own
        if (pending.size() >= kMaximumPending) drop(0);
        pending.push_back(client);
      }
    }
  }
}

std::string PrintableTraceLine(std::string_view line) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string printable;
  printable.reserve(line.size() + 16);
  int separators = 0;  // the first three TABs separate the fields and stay as they are
  for (const char character : line) {
    const auto byte = static_cast<unsigned char>(character);
    if (character == '\t' && separators < 3) {
      ++separators;
      printable += '\t';
    } else if (character == '\t') {
      printable += "\\t";
    } else if (character == '\r') {
      printable += "\\r";
    } else if (character == '\n') {
      printable += "\\n";
    } else if (character == '\\') {
      printable += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      printable += "\\x";
      printable += kHex[byte >> 4];
      printable += kHex[byte & 0x0F];
    } else {
      printable += character;
    }
  }
  return printable;
}

}  // namespace almanex
