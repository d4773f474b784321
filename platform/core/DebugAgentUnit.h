#pragma once
// The diagnostic trace channel: one line per call to a listening "Debug Server".
//
// The listener is a SOCK_SEQPACKET Unix socket at $XDG_RUNTIME_DIR/Debug Server. A packet is the trace
// line "computer TAB user TAB source TAB message" with its terminating NUL; the listener answers one
// byte when it has handled it, and the sender waits at most two seconds for that answer. Without a
// listener a call is one failed connect and nothing else: no name lookup, no string, no allocation.
// The listening side is almanex-debug-server (tools/debug-server/TraceListener.h).

#include <string>
#include <string_view>

#include "base/FunctionRef.h"
#include "base/Trace.h"

struct sockaddr_un;

namespace almanex {

/// Sends one trace line; false when no listener took it. The source is cut to 18 characters. Never throws.
bool SendDebugAgentMsg(std::string_view source, std::string_view message);
/// The same with a message built only once a listener is connected.
bool SendDebugAgentMsgLazy(std::string_view source, FunctionRef<std::string()> message);

inline constexpr int kTraceReplyTimeoutMilliseconds = 2000;
/// The one byte a listener answers when it has handled a line.
inline constexpr char kTraceReplyByte = 1;

/// The sending itself, with the socket path and the time to wait for the listener's answer given
/// (SendDebugAgentMsg uses DebugServerSocketPath() and kTraceReplyTimeoutMilliseconds).
/// False, with nothing sent, when no listener is connected, when the listener runs under another user,
/// when the path does not fit a socket address, or when the line could not be sent whole. `message`
/// is called only after the connection is made; if it throws, nothing is sent. Never throws.
bool SendDebugAgentMsgTo(std::string_view socketPath, std::string_view source, FunctionRef<std::string()> message,
                         int replyTimeoutMilliseconds);

/// What became of one line: not sent (no listener), answered in time, or sent but not answered in time.
enum class TraceDelivery { NotSent, Answered, TimedOut };
/// SendDebugAgentMsgTo telling whether the listener answered in time.
TraceDelivery DeliverDebugAgentMsgTo(std::string_view socketPath, std::string_view source,
                                     FunctionRef<std::string()> message, int replyTimeoutMilliseconds);

/// A listener that accepts lines but does not answer would cost the full wait on every line, on the
/// caller's thread. After a wait runs out, lines are dropped (as without a listener) for a pause that
/// starts at one second and doubles with each further time-out, up to a minute; an answer in time ends it.
class TraceBackOff {
 public:
  static constexpr long long kFirstPauseMilliseconds = 1000;
  static constexpr long long kLongestPauseMilliseconds = 60000;
  /// Whether a line may be sent at `nowMilliseconds` (a monotonic clock).
  bool MaySend(long long nowMilliseconds) const { return nowMilliseconds >= resumeAt_; }
  /// Records what became of a line sent at `nowMilliseconds`.
  void Record(TraceDelivery delivery, long long nowMilliseconds);

 private:
  long long pause_ = 0;
  long long resumeAt_ = 0;
};

/// The socket path: $XDG_RUNTIME_DIR/Debug Server (/tmp when the variable is unset or empty).
std::string DebugServerSocketPath();
/// The computer and user names of a trace line; "Unkown" when a lookup fails or exceeds 255 bytes.
std::string GetLocalComputerName();
std::string GetLocalUserName();
/// A name field: `name`, or "Unkown" when the lookup failed (nullptr) or the name is longer than 255 bytes.
std::string TraceNameField(const char* name);
/// The source as sent: its first 18 characters. A UTF-8 sequence is never split; ASCII counts bytes.
std::string_view CutTraceSource(std::string_view source);
/// The whole line without its NUL.
std::string BuildTraceLine(std::string_view source, std::string_view message);
/// Fills the Unix socket address of `path` without touching the heap; false when the path is empty (it
/// would name an abstract socket) or does not fit with its NUL. Shared by the sender and the listener.
bool MakeTraceSocketAddress(std::string_view path, sockaddr_un& address);

/// The sink that routes the core's Trace() calls over this channel.
class DebugAgentTraceSink final : public TraceSink {
 public:
  bool Send(std::string_view source, FunctionRef<std::string()> message) override;
};

}  // namespace almanex
