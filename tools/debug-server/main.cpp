// almanex-debug-server: listens on the trace channel and prints every line it receives.

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "TraceListener.h"
#include "platform/core/DebugAgentUnit.h"
#include "platform/core/SignalPipe.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kHelp =
    "Usage: almanex-debug-server [--socket PATH]\n"
    "\n"
    "Listens on the Almanex trace channel and prints every trace line it receives on stdout,\n"
    "one line per message:\n"
    "\n"
    "  computer<TAB>user<TAB>source<TAB>message\n"
    "\n"
    "The three TABs between the fields are printed as they are, so `cut -f4` gives the message.\n"
    "Inside the fields a TAB is printed as \\t, CR as \\r, LF as \\n, a backslash as \\\\ and any\n"
    "other control byte as \\xHH, so that a message with line breaks still takes one line.\n"
    "\n"
    "  --socket PATH  listen at PATH instead of $XDG_RUNTIME_DIR/Debug Server\n"
    "  --help         show this text\n"
    "\n"
    "A stale socket file left by a listener that died is replaced. When another listener already\n"
    "answers at the path the program exits with status 1. SIGINT or SIGTERM ends it cleanly and\n"
    "removes the socket file. The line \"Listening at PATH\" on stderr tells that it is ready.\n";

bool InstallStopSignals() {
  if (!almanex::SignalPipe::Install({SIGINT, SIGTERM})) return false;
  // A closed stdout must end us through the write error, with the socket removed, not by SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  return true;
}

bool PrintLine(std::string_view line) {
  std::string printable = almanex::PrintableTraceLine(line);
  printable += '\n';
  return std::fwrite(printable.data(), 1, printable.size(), stdout) == printable.size() && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  for (int index = 1; index < argc; ++index) {
    const std::string_view argument = argv[index];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kHelp, stdout);
      return kExitOk;
    }
    if (argument == "--socket" && index + 1 < argc) {
      path = argv[++index];
    } else if (argument.rfind("--socket=", 0) == 0) {
      path = std::string(argument.substr(9));
    } else {
      std::fprintf(stderr, "almanex-debug-server: unknown argument: %s\nTry --help.\n", argv[index]);
      return kExitUsage;
    }
  }
  if (path.empty()) path = almanex::DebugServerSocketPath();

  if (!InstallStopSignals()) {
    std::fprintf(stderr, "almanex-debug-server: cannot install signal handlers: %s\n", std::strerror(errno));
    return kExitFailure;
  }
  try {
    almanex::DebugServerListener listener;
    switch (listener.Open(path)) {
      case almanex::DebugServerListener::OpenStatus::Listening:
        break;
      case almanex::DebugServerListener::OpenStatus::AnotherListenerRuns:
        std::fprintf(stderr, "almanex-debug-server: another listener already runs at %s\n", path.c_str());
        return kExitFailure;
      case almanex::DebugServerListener::OpenStatus::Failed:
        std::fprintf(stderr, "almanex-debug-server: %s\n", listener.Error().c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "Listening at %s\n", path.c_str());
    std::fflush(stderr);
    const bool served =
        listener.Serve(almanex::SignalPipe::ReadEnd(), [](std::string_view line) { return PrintLine(line); });
    listener.Close();
    if (!served) {
      std::fprintf(stderr, "almanex-debug-server: %s\n", listener.Error().c_str());
      return kExitFailure;
    }
  } catch (const std::exception& exception) {
    std::fprintf(stderr, "almanex-debug-server: %s\n", exception.what());
    return kExitFailure;
  }
  return kExitOk;
}
