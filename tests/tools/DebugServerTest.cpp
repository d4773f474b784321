// almanex-debug-server as a real process: it prints what a sender sends, refuses to run twice, takes
// over a stale socket and removes its socket when it is stopped by a signal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/DebugAgentUnit.h"
#include "tests/common/TestSupport.h"

extern char** environ;

namespace almanex {
namespace {

constexpr int kWaitMilliseconds = 20000;  // a bound for a hung tool, never reached when it works

std::string Names() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const passwd* user = ::getpwuid(::geteuid());
  return std::string(host) + "\t" + (user != nullptr ? user->pw_name : "Unkown") + "\t";
}

/// One run of the tool with its stdout and stderr on pipes.
class ServerProcess {
 public:
  explicit ServerProcess(const std::vector<std::string>& arguments) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> all{ALMANEX_DEBUG_SERVER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (error != 0) throw std::runtime_error("posix_spawn failed");
  }
  ~ServerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }

  /// The next line of stdout or stderr (without its LF); empty with `ok` false on timeout or end of file.
  std::string ReadOutLine(bool* ok = nullptr) { return ReadLine(out_, outBuffer_, ok); }
  std::string ReadErrLine(bool* ok = nullptr) { return ReadLine(err_, errBuffer_, ok); }

  /// Waits until stdout closes (the process ended), then reaps it. Returns the wait status.
  int WaitForExit() {
    char chunk[4096];
    for (;;) {
      pollfd entry{out_, POLLIN, 0};
      if (::poll(&entry, 1, kWaitMilliseconds) <= 0) {
        ADD_FAILURE() << "the tool did not end";
        return -1;
      }
      const ssize_t size = ::read(out_, chunk, sizeof chunk);
      if (size <= 0) break;
      outBuffer_.append(chunk, static_cast<std::size_t>(size));
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  void Signal(int signal) const { ::kill(pid_, signal); }
  std::string RemainingErr() {
    std::string all;
    bool ok = true;
    while (ok) all += ReadErrLine(&ok) + "\n";
    return all;
  }

 private:
  static std::string ReadLine(int descriptor, std::string& buffer, bool* ok) {
    for (;;) {
      const std::size_t end = buffer.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 1);
        if (ok != nullptr) *ok = true;
        return line;
      }
      pollfd entry{descriptor, POLLIN, 0};
      char chunk[4096];
      ssize_t size = 0;
      if (::poll(&entry, 1, kWaitMilliseconds) <= 0 || (size = ::read(descriptor, chunk, sizeof chunk)) <= 0) {
        if (ok != nullptr) *ok = false;
        return {};
      }
      buffer.append(chunk, static_cast<std::size_t>(size));
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outBuffer_;
  std::string errBuffer_;
};

class DebugServer : public ::testing::Test {
 protected:
  test::TempDir folder_;
  const std::string path_ = folder_.File("Debug Server");
};

class DebugServerStop : public DebugServer, public ::testing::WithParamInterface<int> {};

TEST_P(DebugServerStop, PrintsEachLineThenRemovesItsSocketOnTheSignal) {
  ServerProcess server({"--socket", path_});
  ASSERT_EQ(server.ReadErrLine(), "Listening at " + path_);

  EXPECT_TRUE(SendDebugAgentMsgTo(
      path_, "TFrmMain", [] { return std::string("SearchNextReminder: found"); }, 2000));
  EXPECT_EQ(server.ReadOutLine(), Names() + "TFrmMain\tSearchNextReminder: found");
  EXPECT_TRUE(SendDebugAgentMsgTo(
      path_, "Comm", [] { return std::string("CommShowException: a\r\nReason: b\tc \\ d\x01"); }, 2000));
  EXPECT_EQ(server.ReadOutLine(), Names() + "Comm\tCommShowException: a\\r\\nReason: b\\tc \\\\ d\\x01");
  EXPECT_TRUE(SendDebugAgentMsgTo(
      path_, "CommUnit", [] { return std::string(); }, 2000));
  EXPECT_EQ(server.ReadOutLine(), Names() + "CommUnit\t");

  server.Signal(GetParam());
  const int status = server.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_FALSE(test::FileExists(path_));
}

INSTANTIATE_TEST_SUITE_P(Signals, DebugServerStop, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT"); });

TEST_F(DebugServer, RefusesToRunBesideAnotherListener) {
  ServerProcess first({"--socket", path_});
  ASSERT_EQ(first.ReadErrLine(), "Listening at " + path_);

  ServerProcess second({"--socket", path_});
  const int status = second.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
  EXPECT_NE(second.RemainingErr().find("another listener already runs"), std::string::npos);

  // The first one is untouched and still serves.
  EXPECT_TRUE(SendDebugAgentMsgTo(
      path_, "Comm", [] { return std::string("still here"); }, 2000));
  EXPECT_EQ(first.ReadOutLine(), Names() + "Comm\tstill here");
}

TEST_F(DebugServer, TakesOverTheSocketFileOfADeadListener) {
  const int descriptor = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(descriptor);
  ASSERT_TRUE(test::FileExists(path_));

  ServerProcess server({"--socket", path_});
  ASSERT_EQ(server.ReadErrLine(), "Listening at " + path_);
  EXPECT_TRUE(SendDebugAgentMsgTo(
      path_, "Comm", [] { return std::string("hello"); }, 2000));
  EXPECT_EQ(server.ReadOutLine(), Names() + "Comm\thello");
}

TEST_F(DebugServer, LeavesAFileThatIsNotASocketAlone) {
  test::WriteFileBytes(path_, "keep me");
  ServerProcess server({"--socket", path_});
  const int status = server.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
  EXPECT_EQ(test::ReadFileBytes(path_), "keep me");
}

TEST_F(DebugServer, UnknownArgumentIsAUsageError) {
  ServerProcess server({"--bogus"});
  const int status = server.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "status " << status;
}

}  // namespace
}  // namespace almanex
