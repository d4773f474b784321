#include "TestTraceListener.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace almanex::test {

TestTraceListener::TestTraceListener(std::string path, Behaviour behaviour)
    : path_(std::move(path)), behaviour_(behaviour) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long");
  std::memcpy(address.sun_path, path_.data(), path_.size());
  listenDescriptor_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenDescriptor_ < 0 || ::bind(listenDescriptor_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenDescriptor_, 8) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("test listener: ") + std::strerror(errno));
  }
  thread_ = std::thread([this] { Run(); });
}

TestTraceListener::~TestTraceListener() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
  thread_.join();
  ::close(listenDescriptor_);
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
  ::unlink(path_.c_str());
}

std::vector<std::string> TestTraceListener::Packets() const {
  std::lock_guard lock(mutex_);
  return packets_;
}

void TestTraceListener::WaitForAccepted(int count) const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return accepted_ >= count; });
}

void TestTraceListener::Run() {
  std::vector<int> reading;  // accepted, packet not read yet
  std::vector<int> held;     // read, kept open without an answer
  std::vector<char> buffer(4 << 20);
  for (;;) {
    std::vector<pollfd> entries{{stopPipe_[0], POLLIN, 0}};
    if (behaviour_ != Behaviour::NeverAccept) entries.push_back({listenDescriptor_, POLLIN, 0});
    const std::size_t firstClient = entries.size();
    for (const int client : reading) entries.push_back({client, POLLIN, 0});
    if (::poll(entries.data(), entries.size(), -1) < 0) continue;
    if (entries[0].revents != 0) break;
    for (std::size_t index = reading.size(); index-- > 0;) {
      if (entries[firstClient + index].revents == 0) continue;
      const int client = reading[index];
      reading.erase(reading.begin() + static_cast<std::ptrdiff_t>(index));
      const ssize_t size = ::recv(client, buffer.data(), buffer.size(), MSG_TRUNC);
      if (size > 0) {
        std::lock_guard lock(mutex_);
        packets_.emplace_back(buffer.data(), static_cast<std::size_t>(size));
        changed_.notify_all();
      }
      if (behaviour_ == Behaviour::NeverAnswer) {
        held.push_back(client);
        continue;
      }
      const char answer = 1;
      [[maybe_unused]] const ssize_t ignored = ::send(client, &answer, 1, MSG_NOSIGNAL);
      ::close(client);
    }
    if (entries.size() > 1 && entries[1].revents != 0) {
      const int client = ::accept4(listenDescriptor_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      if (behaviour_ == Behaviour::CloseAtOnce) {
        ::close(client);
      } else {
        reading.push_back(client);
      }
      std::lock_guard lock(mutex_);
      ++accepted_;
      changed_.notify_all();
    }
  }
  for (const int client : reading) ::close(client);
  for (const int client : held) ::close(client);
}

std::string ExpectedComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "Unkown";
  return name;
}

std::string ExpectedUserName() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_name : "Unkown";
}

std::string ExpectedPacket(const std::string& source, const std::string& message) {
  std::string packet = ExpectedComputerName() + "\t" + ExpectedUserName() + "\t" + source + "\t" + message;
  packet.push_back('\0');
  return packet;
}

}  // namespace almanex::test
