#pragma once
// The diagnostic trace channel: one line per call to a listening "Debug Server".
//
// The listener is a SOCK_SEQPACKET Unix socket at $XDG_RUNTIME_DIR/Debug Server. A packet is the trace
// line "computer TAB user TAB source TAB message" with its terminating NUL; the listener answers one
// byte when it has handled it, and the sender waits at most two seconds for that answer. Without a
// listener a call is one failed connect and nothing else: no name lookup, no string, no allocation.

#include <string>
#include <string_view>

#include "base/FunctionRef.h"
#include "base/Trace.h"

namespace almanex {

/// Sends one trace line; false when no listener took it. The source is cut to 18 characters. Never throws.
bool SendDebugAgentMsg(std::string_view source, std::string_view message);
/// The same with a message built only once a listener is connected.
bool SendDebugAgentMsgLazy(std::string_view source, FunctionRef<std::string()> message);

inline constexpr int kTraceReplyTimeoutMilliseconds = 2000;

/// The sending itself, with the socket path and the time to wait for the listener's answer given
/// (SendDebugAgentMsg uses DebugServerSocketPath() and kTraceReplyTimeoutMilliseconds).
/// False, with nothing sent, when no listener is connected, when the listener runs under another user,
/// when the path does not fit a socket address, or when the line could not be sent whole. `message`
/// is called only after the connection is made; if it throws, nothing is sent. Never throws.
bool SendDebugAgentMsgTo(std::string_view socketPath, std::string_view source, FunctionRef<std::string()> message,
                         int replyTimeoutMilliseconds);

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

/// The sink that routes the core's Trace() calls over this channel.
class DebugAgentTraceSink final : public TraceSink {
 public:
  bool Send(std::string_view source, FunctionRef<std::string()> message) override;
};

/// The listening side of the channel, used by almanex-debug-server and by tests.
///
/// It binds the socket (mode 0600), receives one packet per connection, hands the line to a callback
/// and answers one byte. The socket file is removed on Close() and by the destructor, unless another
/// listener has replaced it meanwhile.
class DebugServerListener {
 public:
  enum class OpenStatus {
    Listening,            ///< bound and listening
    AnotherListenerRuns,  ///< a listener already answers at the path; nothing was touched
    Failed,               ///< see Error()
  };

  DebugServerListener() = default;
  ~DebugServerListener();
  DebugServerListener(const DebugServerListener&) = delete;
  DebugServerListener& operator=(const DebugServerListener&) = delete;

  /// Listens at `path`. A stale socket file (nobody answers) is removed first; a path that exists and is
  /// not a socket is left alone and fails.
  OpenStatus Open(const std::string& path);
  /// Why Open or Serve failed, for the user.
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }

  /// Serves until `stopDescriptor` becomes readable (or reports end of file). Each packet is handed to
  /// `onLine` without its NUL (the line ends at the first NUL), then answered with one byte. Returns
  /// false when listening failed or `onLine` returned false (the caller's output broke).
  bool Serve(int stopDescriptor, FunctionRef<bool(std::string_view line)> onLine);

  /// Stops listening and removes the socket file if it is still ours.
  void Close();

 private:
  int listenDescriptor_ = -1;
  std::string path_;
  std::string error_;
  unsigned long long device_ = 0;  // identity of the socket file we bound, so we never remove another's
  unsigned long long inode_ = 0;
};

/// The line as almanex-debug-server prints it: the fields stay separated by TAB; inside them TAB, CR and
/// LF read "\t", "\r", "\n", a backslash "\\", other control bytes "\xHH". UTF-8 text passes unchanged.
std::string PrintableTraceLine(std::string_view line);

}  // namespace almanex
