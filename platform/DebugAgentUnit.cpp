#include "DebugAgentUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace almanex {

namespace {

constexpr std::string_view kSocketName = "Debug Server";
constexpr std::string_view kUnknownName = "Unkown";  // the program's historical spelling, kept byte for byte
constexpr std::size_t kMaximumNameLength = 255;
constexpr std::size_t kMaximumSourceCharacters = 18;
constexpr char kAnswer = 1;

/// Closes a descriptor on every path out of a scope.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return descriptor_; }

 private:
  int descriptor_;
};

/// Fills a socket address from a path without touching the heap; false when the path does not fit.
bool MakeSocketAddress(std::string_view path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  // The path needs its NUL inside sun_path; an empty path would name an abstract socket.
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

/// Writes the default socket path into `buffer` and returns its length, 0 when it does not fit.
/// Kept free of std::string so that a call without a listener allocates nothing.
std::size_t DefaultSocketPath(char* buffer, std::size_t capacity) {
  const char* directory = std::getenv("XDG_RUNTIME_DIR");
  if (directory == nullptr || *directory == '\0') directory = "/tmp";
  const std::size_t directoryLength = std::strlen(directory);
  const std::size_t length = directoryLength + 1 + kSocketName.size();
  if (length >= capacity) return 0;
  std::memcpy(buffer, directory, directoryLength);
  buffer[directoryLength] = '/';
  std::memcpy(buffer + directoryLength + 1, kSocketName.data(), kSocketName.size());
  buffer[length] = '\0';
  return length;
}

long long MonotonicMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

/// Waits for `events` on `descriptor` until `deadline` (monotonic milliseconds). True when an event came.
bool WaitUntil(int descriptor, short events, long long deadline) {
  for (;;) {
    const long long remaining = std::max(0LL, deadline - MonotonicMilliseconds());
    pollfd entry{descriptor, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min(remaining, 1LL << 30)));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

/// Only a listener of our own user (or root) receives our lines: in the /tmp fallback anybody could
/// have bound the name.
bool ListenerIsTrusted(int descriptor) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
  return credentials.uid == ::geteuid() || credentials.uid == 0;
}

/// Sends one packet before `deadline`. A packet larger than the default send buffer gets a larger one;
/// what the kernel still refuses is not sent at all (a cut line would be a wrong line).
bool SendPacket(int descriptor, const char* data, std::size_t size, long long deadline) {
  constexpr std::size_t kHeadroom = 1024;
  int bufferSize = 0;
  socklen_t length = sizeof bufferSize;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_SNDBUF, &bufferSize, &length) == 0 &&
      size + kHeadroom > static_cast<std::size_t>(bufferSize) && size < (1U << 30)) {
    const int wanted = static_cast<int>(size + kHeadroom);
    ::setsockopt(descriptor, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
  }
  for (;;) {
    const ssize_t sent = ::send(descriptor, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) return static_cast<std::size_t>(sent) == size;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (!WaitUntil(descriptor, POLLOUT, deadline)) return false;
  }
}

}  // namespace

std::string DebugServerSocketPath() {
  char buffer[4096];
  const std::size_t length = DefaultSocketPath(buffer, sizeof buffer);
  if (length == 0) return {};
  return std::string(buffer, length);
}

std::string TraceNameField(const char* name) {
  if (name == nullptr) return std::string(kUnknownName);
  const std::size_t length = ::strnlen(name, kMaximumNameLength + 1);
  if (length > kMaximumNameLength) return std::string(kUnknownName);
  return std::string(name, length);
}

std::string GetLocalComputerName() {
  try {
    char buffer[kMaximumNameLength + 2] = {};
    // One byte more than a name may have, so that a too long name is seen as too long, not cut.
    if (::gethostname(buffer, kMaximumNameLength + 1) != 0) return TraceNameField(nullptr);
    buffer[kMaximumNameLength + 1] = '\0';
    return TraceNameField(buffer);
  } catch (...) {
    return std::string(kUnknownName);  // fits the small-string buffer: cannot throw again
  }
}

std::string GetLocalUserName() {
  try {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
    for (;;) {
      passwd entry{};
      passwd* found = nullptr;
      const int error = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
      if (error == ERANGE && buffer.size() < (1U << 20)) {
        buffer.resize(buffer.size() * 2);
        continue;
      }
      if (error != 0 || found == nullptr) return TraceNameField(nullptr);
      return TraceNameField(found->pw_name);
    }
  } catch (...) {
    return std::string(kUnknownName);  // fits the small-string buffer: cannot throw again
  }
}

std::string_view CutTraceSource(std::string_view source) {
  std::size_t characters = 0;
  for (std::size_t index = 0; index < source.size(); ++index) {
    const auto byte = static_cast<unsigned char>(source[index]);
    const bool continuation = (byte & 0xC0) == 0x80;
    if (!continuation && ++characters > kMaximumSourceCharacters) return source.substr(0, index);
  }
  return source;
}

std::string BuildTraceLine(std::string_view source, std::string_view message) {
  const std::string computer = GetLocalComputerName();
  const std::string user = GetLocalUserName();
  const std::string_view cutSource = CutTraceSource(source);
  std::string line;
  line.reserve(computer.size() + user.size() + cutSource.size() + message.size() + 3);
  line.append(computer).append(1, '\t').append(user).append(1, '\t').append(cutSource).append(1, '\t').append(message);
  return line;
}

bool SendDebugAgentMsgTo(std::string_view socketPath, std::string_view source, FunctionRef<std::string()> message,
                         int replyTimeoutMilliseconds) {
  sockaddr_un address;
  if (!MakeSocketAddress(socketPath, address)) return false;
  // Non-blocking, so that a listener that no longer accepts (full backlog) cannot stall us in connect.
  const Descriptor socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (socket.Get() < 0) return false;
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
  // From here on a listener exists: the time limit covers sending and the answer together.
  const long long deadline = MonotonicMilliseconds() + std::max(0, replyTimeoutMilliseconds);
  if (!ListenerIsTrusted(socket.Get())) return false;
  try {
    const std::string line = BuildTraceLine(source, message());
    // c_str() holds the NUL that ends the packet.
    if (!SendPacket(socket.Get(), line.c_str(), line.size() + 1, deadline)) return false;
  } catch (...) {
    return false;
  }
  // The answer only tells that the listener is done with the line; its value carries nothing.
  if (WaitUntil(socket.Get(), POLLIN, deadline)) {
    char answer = 0;
    [[maybe_unused]] const ssize_t ignored = ::recv(socket.Get(), &answer, 1, MSG_DONTWAIT);
  }
  return true;
}

bool SendDebugAgentMsgLazy(std::string_view source, FunctionRef<std::string()> message) {
  char path[sizeof(sockaddr_un::sun_path)];
  const std::size_t length = DefaultSocketPath(path, sizeof path);
  if (length == 0) return false;
  return SendDebugAgentMsgTo(std::string_view(path, length), source, message, kTraceReplyTimeoutMilliseconds);
}

bool SendDebugAgentMsg(std::string_view source, std::string_view message) {
  return SendDebugAgentMsgLazy(source, [message] { return std::string(message); });
}

bool DebugAgentTraceSink::Send(std::string_view source, FunctionRef<std::string()> message) {
  return SendDebugAgentMsgLazy(source, message);
}

// ---- listener ----------------------------------------------------------------------------------------

DebugServerListener::~DebugServerListener() { Close(); }

DebugServerListener::OpenStatus DebugServerListener::Open(const std::string& path) {
  Close();
  error_.clear();
  sockaddr_un address;
  if (!MakeSocketAddress(path, address)) {
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
    const Descriptor probe(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (probe.Get() < 0) {
      error_ = std::string("socket: ") + std::strerror(errno);
      return OpenStatus::Failed;
    }
    if (::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || errno == EAGAIN) {
      return OpenStatus::AnotherListenerRuns;  // EAGAIN: alive, only its backlog is full
    }
    if (errno != ECONNREFUSED) {
      error_ = "Cannot probe " + path + ": " + std::strerror(errno);
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
      [[maybe_unused]] const ssize_t ignored = ::send(client, &kAnswer, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
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
