#include "platform/core/DebugAgentUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace almanex {

namespace {

constexpr std::string_view kSocketName = "Debug Server";
constexpr std::string_view kUnknownName = "Unkown";  // the program's historical spelling, kept byte for byte
constexpr std::size_t kMaximumNameLength = 255;
constexpr std::size_t kMaximumSourceCharacters = 18;

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

bool MakeTraceSocketAddress(std::string_view path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

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

void TraceBackOff::Record(TraceDelivery delivery, long long nowMilliseconds) {
  if (delivery == TraceDelivery::Answered) {
    pause_ = 0;
    resumeAt_ = 0;
  } else if (delivery == TraceDelivery::TimedOut) {
    pause_ = pause_ == 0 ? kFirstPauseMilliseconds : std::min(pause_ * 2, kLongestPauseMilliseconds);
    resumeAt_ = nowMilliseconds + pause_;
  }
}

bool SendDebugAgentMsgTo(std::string_view socketPath, std::string_view source, FunctionRef<std::string()> message,
                         int replyTimeoutMilliseconds) {
  return DeliverDebugAgentMsgTo(socketPath, source, message, replyTimeoutMilliseconds) != TraceDelivery::NotSent;
}

TraceDelivery DeliverDebugAgentMsgTo(std::string_view socketPath, std::string_view source,
                                     FunctionRef<std::string()> message, int replyTimeoutMilliseconds) {
  constexpr TraceDelivery kNotSent = TraceDelivery::NotSent;
  sockaddr_un address;
  if (!MakeTraceSocketAddress(socketPath, address)) return kNotSent;
  // Non-blocking, so that a listener that no longer accepts (full backlog) cannot stall us in connect.
  const Descriptor socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (socket.Get() < 0) return kNotSent;
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return kNotSent;
  // From here on a listener exists: the time limit covers sending and the answer together.
  const long long deadline = MonotonicMilliseconds() + std::max(0, replyTimeoutMilliseconds);
  if (!ListenerIsTrusted(socket.Get())) return kNotSent;
  try {
    const std::string line = BuildTraceLine(source, message());
    // c_str() holds the NUL that ends the packet.
    if (!SendPacket(socket.Get(), line.c_str(), line.size() + 1, deadline)) return kNotSent;
  } catch (...) {
    return kNotSent;
  }
  // The answer only tells that the listener is done with the line; its value carries nothing.
  if (!WaitUntil(socket.Get(), POLLIN, deadline)) return TraceDelivery::TimedOut;
  char answer = 0;
  [[maybe_unused]] const ssize_t ignored = ::recv(socket.Get(), &answer, 1, MSG_DONTWAIT);
  return TraceDelivery::Answered;
}

bool SendDebugAgentMsgLazy(std::string_view source, FunctionRef<std::string()> message) {
  char path[sizeof(sockaddr_un::sun_path)];
  const std::size_t length = DefaultSocketPath(path, sizeof path);
  if (length == 0) return false;
  // One state for the process: a listener that stopped answering is the same for every thread.
  static std::mutex mutex;
  static TraceBackOff backOff;
  {
    const std::lock_guard lock(mutex);
    if (!backOff.MaySend(MonotonicMilliseconds())) return false;
  }
  const TraceDelivery delivery =
      DeliverDebugAgentMsgTo(std::string_view(path, length), source, message, kTraceReplyTimeoutMilliseconds);
  const std::lock_guard lock(mutex);
  backOff.Record(delivery, MonotonicMilliseconds());
  return delivery != TraceDelivery::NotSent;
}

bool SendDebugAgentMsg(std::string_view source, std::string_view message) {
  return SendDebugAgentMsgLazy(source, [message] { return std::string(message); });
}

bool DebugAgentTraceSink::Send(std::string_view source, FunctionRef<std::string()> message) {
  return SendDebugAgentMsgLazy(source, message);
}

}  // namespace almanex
