#pragma once
// A trace listener served by a thread inside the test, independent of the listener we ship, so that the
// sender is checked against plain socket calls. Its behaviour can be that of a broken listener.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace almanex::test {

class TestTraceListener {
 public:
  enum class Behaviour {
    Answer,       ///< reads the packet, answers one byte, closes
    NeverAnswer,  ///< reads the packet and keeps the connection open without a word
    NeverAccept,  ///< listens but never accepts a connection
    CloseAtOnce,  ///< accepts and closes before reading anything
  };

  /// Bound and listening when the constructor returns.
  explicit TestTraceListener(std::string path, Behaviour behaviour = Behaviour::Answer);
  ~TestTraceListener();
  TestTraceListener(const TestTraceListener&) = delete;
  TestTraceListener& operator=(const TestTraceListener&) = delete;

  /// The packets received so far, byte for byte (the NUL included).
  std::vector<std::string> Packets() const;
  /// Blocks until `count` connections were accepted (CloseAtOnce: accepted and closed).
  void WaitForAccepted(int count) const;

 private:
  void Run();

  std::string path_;
  Behaviour behaviour_;
  int listenDescriptor_ = -1;
  int stopPipe_[2] = {-1, -1};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> packets_;
  int accepted_ = 0;
  std::thread thread_;
};

/// The computer and user names as the trace line must carry them, looked up independently.
std::string ExpectedComputerName();
std::string ExpectedUserName();
/// computer TAB user TAB source TAB message NUL.
std::string ExpectedPacket(const std::string& source, const std::string& message);

}  // namespace almanex::test
