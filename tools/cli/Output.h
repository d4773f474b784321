#pragma once
// Where almanex-cli's text goes: a file descriptor of the process, or a string for the tests.
//
// Not a std::ostream: a C++ stream builds the standard locale with some thirty facets when it is made,
// and the standard streams are made at start by every program that includes <iostream>. That cost two
// dozen page faults and 50,000 instructions at every run, against a `due` whose own work over a
// thousand events is a few hundred microseconds.

#include <cstddef>
#include <string>
#include <string_view>

namespace almanex::cli {

class Output {
 public:
  virtual ~Output() = default;

  Output& operator<<(std::string_view text) {
    Write(text);
    return *this;
  }
  Output& operator<<(char c) {
    Write(std::string_view(&c, 1));
    return *this;
  }
  Output& operator<<(std::size_t value) { return *this << std::string_view(std::to_string(value)); }

  virtual void Write(std::string_view text) = 0;
  /// Hands what is held back to the file (before the process becomes another program, or ends).
  virtual void Flush() {}
};

/// Collects the text.
class StringOutput final : public Output {
 public:
  void Write(std::string_view text) override { text_.append(text); }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

/// Writes to a file descriptor: in pieces of 64 KiB when `buffered`, else at once. Flushes when destroyed.
/// A write that fails (a closed pipe, a full disk) drops the rest, as a C++ stream that went bad does.
class FileOutput final : public Output {
 public:
  FileOutput(int fd, bool buffered) : fd_(fd), buffered_(buffered) {}
  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;
  ~FileOutput() override { Flush(); }

  void Write(std::string_view text) override;
  void Flush() override;
  /// Whether every write so far reached the file.
  bool Good() const { return good_; }

 private:
  int fd_;
  bool buffered_;
  bool good_ = true;
  std::string buffer_;
};

}  // namespace almanex::cli
