#pragma once
// The listening side of the trace channel (platform/core/DebugAgentUnit.h is the sending side), used by
// almanex-debug-server and its tests.

#include <string>
#include <string_view>

#include "base/FunctionRef.h"

namespace almanex {

/// The listener of the trace channel.
///
/// It binds the socket (mode 0600), receives one packet per connection, hands the line to a callback
/// and answers kTraceReplyByte. The socket file is removed on Close() and by the destructor, unless another
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
