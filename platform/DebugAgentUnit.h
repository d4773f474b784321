#pragma once
// The diagnostic trace channel: one line per call to a listening "Debug Server".
//
// The listener is a SOCK_SEQPACKET Unix socket at $XDG_RUNTIME_DIR/Debug Server. A packet is the trace
// line "computer TAB user TAB source TAB message" with its terminating NUL; the listener answers one
// byte when it has handled it, and the sender waits at most two seconds for that answer. Without a
// listener a call is one failed connect and nothing else: no name lookup, no string, no allocation.

#include <string>
#include <string_view>

#include "datetime/FunctionRef.h"
#include "datetime/Trace.h"

namespace almanex {

/// Sends one trace line; false when no listener took it. The source is cut to 18 characters. Never throws.
bool SendDebugAgentMsg(std::string_view source, std::string_view message);
/// The same with a message built only once a listener is connected.
bool SendDebugAgentMsgLazy(std::string_view source, FunctionRef<std::string()> message);

/// The socket path: $XDG_RUNTIME_DIR/Debug Server (/tmp when the variable is unset).
std::string DebugServerSocketPath();
/// The computer and user names of a trace line; "Unkown" when a lookup fails or exceeds 255 bytes.
std::string GetLocalComputerName();
std::string GetLocalUserName();
/// The whole line without its NUL.
std::string BuildTraceLine(std::string_view source, std::string_view message);

inline constexpr int kTraceReplyTimeoutMilliseconds = 2000;

/// The sink that routes the core's Trace() calls over this channel.
class DebugAgentTraceSink final : public TraceSink {
 public:
  bool Send(std::string_view source, FunctionRef<std::string()> message) override;
};

}  // namespace almanex
