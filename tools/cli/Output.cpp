#include "Output.h"

#include <unistd.h>

#include <cerrno>

namespace almanex::cli {
namespace {

constexpr std::size_t kPiece = 1 << 16;

/// Writes all of text, again after a signal or a short write; false when the file refuses it.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

void FileOutput::Write(std::string_view text) {
  if (!good_) return;
  if (!buffered_) {
    good_ = WriteAll(fd_, text);
    return;
  }
  if (buffer_.size() + text.size() > kPiece) {
    Flush();
    if (text.size() >= kPiece) {
      good_ = good_ && WriteAll(fd_, text);
      return;
    }
  }
  buffer_.append(text);  // grows as needed: a short output touches no more fresh memory than it fills
}

void FileOutput::Flush() {
  if (good_ && !buffer_.empty()) good_ = WriteAll(fd_, buffer_);
  buffer_.clear();
}

}  // namespace almanex::cli
