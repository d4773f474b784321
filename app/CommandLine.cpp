#include "app/CommandLine.h"

#include <exception>

#include "platform/core/VerInfoUnit.h"

namespace almanex {

namespace {

constexpr const char* kUsage = "usage: almanex [--help | --version]\n";
constexpr const char* kHelp =
    "Keeps dated events in the notification area: how long ago each was or how long is left, and a\n"
    "desktop notification on the days an event's pattern names. Started without arguments, it opens\n"
    "behind its tray icon; a second start shows the running one's window.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "The events are in Config/Config.INI one level above the program's folder when that Config folder\n"
    "exists, otherwise in $XDG_DATA_HOME/Almanex/Config.INI (default ~/.local/share/Almanex/Config.INI).\n"
    "almanex-cli reads the same file from a terminal.\n";

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

std::optional<int> AnswerCommandLine(const std::vector<std::string>& arguments, const std::string& executablePath,
                                     std::ostream& out, std::ostream& err) {
  if (arguments.empty()) return std::nullopt;
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    out << kUsage << '\n' << kHelp << std::flush;
    return kExitOk;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    try {
      out << VersionLine("almanex", executablePath) << '\n' << std::flush;
      return kExitOk;
    } catch (const std::exception& error) {
      err << "almanex: " << error.what() << '\n';
      return kExitFailure;
    }
  }
  const bool answeredFirst = arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "--version";
  const std::string& unexpected = answeredFirst ? arguments[1] : arguments[0];
  err << "almanex: unexpected argument '" << unexpected << "'\n" << kUsage;
  return kExitUsage;
}

}  // namespace almanex
