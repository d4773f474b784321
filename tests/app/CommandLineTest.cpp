// The program's own command line and its start without a display, run as the real executable.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/WidgetsAvailable.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the real program with `arguments` in an environment of exactly `environment` (no display unless
/// it names one), its XDG folders private, and waits for it.
Outcome RunAlmanex(const std::vector<std::string>& arguments, std::vector<std::string> environment = {}) {
  test::TempDir dir;
  for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
    environment.push_back(std::string(name) + "=" + dir.File(name));
  }
  environment.push_back("HOME=" + dir.Path());
  std::vector<std::string> argv{ALMANEX_EXECUTABLE};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const std::string outPath = dir.File("out");
  const std::string errPath = dir.File("err");
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> args;
    for (std::string& argument : argv) args.push_back(argument.data());
    args.push_back(nullptr);
    std::vector<char*> env;
    for (std::string& variable : environment) env.push_back(variable.data());
    env.push_back(nullptr);
    ::execve(args[0], args.data(), env.data());
    ::_exit(127);
  }
  Outcome outcome;
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child) {
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  outcome.out = test::ReadFileBytes(outPath);
  outcome.err = test::ReadFileBytes(errPath);
  return outcome;
}

TEST(CommandLine, HelpAndVersionAnswerOnStdoutWithoutADisplay) {
  const Outcome help = RunAlmanex({"--help"});
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_EQ(help.out.rfind("usage: almanex [--help | --version]\n", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("$XDG_DATA_HOME/Almanex/Config.INI"), std::string::npos);
  EXPECT_EQ(help.err, "");

  const Outcome version = RunAlmanex({"--version"});
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(almanex \d+\.\d+ \(Build \d+\.\d+\)\n)"))) << version.out;
  EXPECT_EQ(version.err, "");
}

TEST(CommandLine, AnyOtherArgumentIsAUsageError) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"}, {"list"}, {"-platform", "offscreen"}, {"--help", "extra"}, {"--version", "--help"}, {""},
  };
  for (const auto& arguments : cases) {
    const Outcome outcome = RunAlmanex(arguments, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(outcome.status, 2) << arguments[0];
    EXPECT_EQ(outcome.out, "") << arguments[0];
    EXPECT_NE(outcome.err.find("usage: almanex"), std::string::npos) << outcome.err;
  }
}

TEST(CommandLine, WithoutADisplayOneClearLineAndStatusOne) {
  const std::vector<std::vector<std::string>> environments = {
      {},
      {"DISPLAY=:4711"},                           // no such local X server
      {"WAYLAND_DISPLAY=wayland-4711"},            // no such compositor socket
      {"QT_QPA_PLATFORM=xcb", "DISPLAY=garbage"},  // not a display name
  };
  for (const auto& environment : environments) {
    const Outcome outcome = RunAlmanex({}, environment);
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_NE(outcome.err.find("no display"), std::string::npos) << outcome.err;
  }
}

/// Sets the variables for the object's lifetime; every display variable not named is unset.
class DisplayEnvironment {
 public:
  DisplayEnvironment(std::optional<std::string> platform, std::optional<std::string> display,
                     std::optional<std::string> wayland)
      : platform_("QT_QPA_PLATFORM", std::move(platform)),
        display_("DISPLAY", std::move(display)),
        wayland_("WAYLAND_DISPLAY", std::move(wayland)) {}

 private:
  test::ScopedEnvironment platform_;
  test::ScopedEnvironment display_;
  test::ScopedEnvironment wayland_;
};

/// A listening Unix socket at a path, as a compositor's.
class ListeningSocket {
 public:
  explicit ListeningSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd_, 1), 0);
  }
  ~ListeningSocket() { ::close(fd_); }

 private:
  int fd_;
};

TEST(DisplayReachable, FromThePlatformAndTheDisplayVariables) {
  test::TempDir runtime;
  test::ScopedEnvironment runtimeDir("XDG_RUNTIME_DIR", runtime.Path());
  const ListeningSocket compositor(runtime.File("wayland-7"));
  const struct {
    const char* name;
    std::optional<std::string> platform, display, wayland;
    bool reachable;
  } rows[] = {
      {"nothing at all", std::nullopt, std::nullopt, std::nullopt, false},
      {"offscreen needs no server", "offscreen", std::nullopt, std::nullopt, true},
      {"a local X display without its socket", std::nullopt, ":4711", std::nullopt, false},
      {"another host's display is not probed", std::nullopt, "remote.example:0", std::nullopt, true},
      {"garbage", std::nullopt, "garbage", std::nullopt, false},
      {"a listening compositor", std::nullopt, std::nullopt, "wayland-7", true},
      {"the compositor by its full path", std::nullopt, std::nullopt, runtime.File("wayland-7"), true},
      {"a compositor that is gone", std::nullopt, std::nullopt, "wayland-8", false},
      {"xcb asked for, only Wayland there", "xcb", std::nullopt, "wayland-7", false},
      {"wayland asked for and there", "wayland", std::nullopt, "wayland-7", true},
  };
  for (const auto& row : rows) {
    const DisplayEnvironment environment(row.platform, row.display, row.wayland);
    EXPECT_EQ(IsDisplayReachable(), row.reachable) << row.name;
  }
}

}  // namespace
}  // namespace almanex
