#pragma once
// What the fuzz targets share: a scratch folder of their own, splitting an input into fields, reading a
// file back, a trace sink that formats every line, and a check that aborts with a message, so that
// libFuzzer records the input as a finding.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "base/Trace.h"

namespace almanex::fuzz {

/// Aborts with the message when the condition does not hold; libFuzzer then keeps the input.
#define ALMANEX_FUZZ_CHECK(condition, message)                                        \
  do {                                                                                \
    if (!(condition)) ::almanex::fuzz::Fail(__FILE__, __LINE__, #condition, message); \
  } while (false)

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, std::string_view message) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n  %.*s\n", file, line, condition, static_cast<int>(message.size()),
               message.data());
  std::abort();
}

/// A folder of this process, in memory when /dev/shm is there (every input is written to a file, and the
/// writers sync), removed when the process ends normally.
inline const std::string& ScratchFolder() {
  // Never destroyed: the exit handler that removes the folder runs after static objects are gone.
  static const std::string* const folder = [] {
    auto* pattern =
        new std::string((::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/almanex-fuzz-XXXXXX"));
    if (::mkdtemp(pattern->data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return pattern;
  }();
  return *folder;
}

/// The input as text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

/// The parts of text between separators (an empty text gives one empty part).
inline std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

/// Seeds and findings keep their operations readable: records are separated by RS (0x1E) and their
/// fields by US (0x1F), bytes that no file format here gives a meaning to.
inline constexpr char kRecordSeparator = '\x1e';
inline constexpr char kFieldSeparator = '\x1f';

/// Printable form of bytes for a failure message.
inline std::string Escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      out += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out;
}

/// The whole file's bytes (none when it cannot be read).
inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Formats every trace line, as a listener would make the sender do, and drops it: the lines' code runs
/// under the sanitizers too.
class FormattingSink : public TraceSink {
 public:
  bool Send(std::string_view, FunctionRef<std::string()> message) override { return !message().empty(); }
};

}  // namespace almanex::fuzz
