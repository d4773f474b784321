#pragma once
// The diagnostic trace channel as the core sees it. The platform installs the real sink at start;
// until then, and in tests that install none, every line is dropped.

#include <string>
#include <string_view>

#include "FunctionRef.h"

namespace almanex {

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  /// Sends one line when a listener exists. `message` is called only then, so a caller with no
  /// listener formats nothing. Returns whether a listener took the line. Never throws.
  virtual bool Send(std::string_view source, FunctionRef<std::string()> message) = 0;
};

/// The installed sink; a sink that drops everything when none is installed.
TraceSink& Tracer();
/// Installs a sink (nullptr restores the dropping one). The sink must outlive its use.
void SetTracer(TraceSink* sink);

/// Sends a ready-made message.
bool Trace(std::string_view source, std::string_view message);
/// Sends a message built only when a listener exists.
inline bool TraceLazy(std::string_view source, FunctionRef<std::string()> message) {
  return Tracer().Send(source, message);
}

}  // namespace almanex
