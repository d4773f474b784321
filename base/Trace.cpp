#include "Trace.h"

namespace almanex {

namespace {

// Until the platform installs its sink every line is dropped, and no message is ever built.
class DroppingSink final : public TraceSink {
 public:
  bool Send(std::string_view, FunctionRef<std::string()>) override { return false; }
};

DroppingSink droppingSink;
TraceSink* installedSink = &droppingSink;

}  // namespace

TraceSink& Tracer() { return *installedSink; }

void SetTracer(TraceSink* sink) { installedSink = sink != nullptr ? sink : &droppingSink; }

bool Trace(std::string_view source, std::string_view message) {
  return Tracer().Send(source, [message] { return std::string(message); });
}

}  // namespace almanex
