#include "platform/core/SignalPipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace almanex {

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void WriteSignalByte(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);  // a full pipe already wakes the reader
  errno = saved;
}

}  // namespace

bool SignalPipe::Install(std::initializer_list<int> numbers) {
  if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
    pipeEnds[0] = pipeEnds[1] = -1;
    return false;
  }
  struct sigaction action {};
  action.sa_handler = WriteSignalByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // poll() and ppoll() still return EINTR, which their loops retry
  for (const int number : numbers) {
    if (::sigaction(number, &action, nullptr) != 0) return false;
  }
  return true;
}

void SignalPipe::Restore(std::initializer_list<int> numbers) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int number : numbers) ::sigaction(number, &action, nullptr);
}

int SignalPipe::ReadEnd() { return pipeEnds[0]; }

void SignalPipe::Drain() {
  char bytes[16];
  while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace almanex
