#pragma once
// A recording trace sink, for tests of any layer (it needs the base library only).

#include <string>
#include <string_view>
#include <vector>

#include "base/Trace.h"

namespace almanex::test {

/// A listener that takes every trace line; installed for its lifetime.
class RecordingTrace final : public TraceSink {
 public:
  struct Line {
    std::string source;
    std::string message;
  };
  RecordingTrace() { SetTracer(this); }
  ~RecordingTrace() override { SetTracer(nullptr); }
  RecordingTrace(const RecordingTrace&) = delete;
  RecordingTrace& operator=(const RecordingTrace&) = delete;

  bool Send(std::string_view source, FunctionRef<std::string()> message) override {
    lines.push_back({std::string(source), message()});
    return true;
  }

  /// Every line as "source TAB message", in the order sent.
  std::vector<std::string> Joined() const {
    std::vector<std::string> joined;
    for (const Line& line : lines) joined.push_back(line.source + "\t" + line.message);
    return joined;
  }
  /// The messages of one source, in the order sent.
  std::vector<std::string> MessagesFrom(std::string_view source) const {
    std::vector<std::string> messages;
    for (const Line& line : lines) {
      if (line.source == source) messages.push_back(line.message);
    }
    return messages;
  }

  std::vector<Line> lines;
};

}  // namespace almanex::test
