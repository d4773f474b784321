// Reports of fatal signals, written by a child that really crashes, and the offer of the next start.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/CommUnit.h"
#include "platform/CrashReport.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

/// Points XDG_STATE_HOME at a fresh folder for the lifetime of the object.
class StateHomeScope {
 public:
  StateHomeScope() {
    if (const char* old = std::getenv("XDG_STATE_HOME")) old_ = old;
    setenv("XDG_STATE_HOME", state_.Path().c_str(), 1);
  }
  ~StateHomeScope() {
    if (old_) {
      setenv("XDG_STATE_HOME", old_->c_str(), 1);
    } else {
      unsetenv("XDG_STATE_HOME");
    }
  }
  std::string Folder() const { return state_.File("Almanex"); }

 private:
  test::TempDir state_;
  std::optional<std::string> old_;
};

struct ChildRun {
  int status = 0;
  std::string output;  // stdout and stderr together
};

/// Runs the crash child with `arguments`, with its output in a pipe, and waits for it to end.
ChildRun RunChild(const std::vector<std::string>& arguments) {
  std::vector<std::string> words{ALMANEX_CRASH_CHILD_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int pipeEnds[2];
  EXPECT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    dup2(pipeEnds[1], STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  ChildRun run;
  char buffer[4096];
  for (ssize_t count; (count = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) break;
    run.output.append(buffer, static_cast<std::size_t>(count));
  }
  close(pipeEnds[0]);
  waitpid(child, &run.status, 0);
  return run;
}

struct CrashCase {
  const char* mode;
  int signalNumber;
  const char* signalName;
};

void PrintTo(const CrashCase& testCase, std::ostream* out) { *out << testCase.mode; }

class FatalSignalReport : public ::testing::TestWithParam<CrashCase> {};

TEST_P(FatalSignalReport, IsWrittenAndTheProcessStillDiesOfTheSignal) {
  const CrashCase& testCase = GetParam();
  const StateHomeScope state;
  const ChildRun run = RunChild({testCase.mode});
  ASSERT_TRUE(WIFSIGNALED(run.status)) << run.output;
  EXPECT_EQ(WTERMSIG(run.status), testCase.signalNumber);

  struct stat folder {};
  ASSERT_EQ(stat(state.Folder().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700U);
  const std::vector<std::string> reports = UnseenCrashReports(state.Folder());
  ASSERT_EQ(reports.size(), 1U) << run.output;
  EXPECT_NE(run.output.find("report written to " + reports[0]), std::string::npos) << run.output;

  const std::string report = test::ReadFileBytes(reports[0]);
  const std::string head = std::string("Almanex crash report\nSignal: ") + std::to_string(testCase.signalNumber) +
                           " (" + testCase.signalName + ")\n";
  EXPECT_EQ(report.rfind(head, 0), 0U) << report.substr(0, 200);
  EXPECT_NE(report.find("\nProgram: " ALMANEX_CRASH_CHILD_PATH "\n"), std::string::npos);
  const std::size_t stack = report.find("\nCall Stack\n");
  const std::size_t modules = report.find("\nModules\n");
  ASSERT_NE(stack, std::string::npos);
  ASSERT_NE(modules, std::string::npos);
  ASSERT_LT(stack, modules);
  // The backtrace: frames of the child itself, each with its address.
  const std::string frames = report.substr(stack, modules - stack);
  std::size_t childFrames = 0;
  for (std::size_t at = frames.find(ALMANEX_CRASH_CHILD_PATH "("); at != std::string::npos;
       at = frames.find(ALMANEX_CRASH_CHILD_PATH "(", at + 1)) {
    ++childFrames;
  }
  EXPECT_GE(childFrames, 2U) << frames;
  EXPECT_NE(frames.find(")[0x"), std::string::npos) << frames;
  EXPECT_NE(report.find(" " ALMANEX_CRASH_CHILD_PATH "\n", modules), std::string::npos);
}

const CrashCase kCrashCases[] = {
    {"segv", SIGSEGV, "SIGSEGV"}, {"abort", SIGABRT, "SIGABRT"}, {"overflow", SIGSEGV, "SIGSEGV"},
    {"bus", SIGBUS, "SIGBUS"},    {"fpe", SIGFPE, "SIGFPE"},     {"ill", SIGILL, "SIGILL"},
};
INSTANTIATE_TEST_SUITE_P(Signals, FatalSignalReport, ::testing::ValuesIn(kCrashCases),
                         [](const ::testing::TestParamInfo<CrashCase>& info) { return info.param.mode; });

TEST(Restart, EndsInOrderThenStartsTheSameProgramWithTheSameArguments) {
  const ChildRun run = RunChild({"restart", "two words", "--third"});
  ASSERT_TRUE(WIFEXITED(run.status)) << run.output;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.output,
            "ended in order\n"
            "event loop left, restart requested: yes\n"
            "started again: restart two words --third\n");
}

/// What WriteUtcTime writes for `seconds`, read back through a pipe.
std::string UtcTimeText(long long seconds) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return "no pipe";
  WriteUtcTime(pipeEnds[1], seconds);
  close(pipeEnds[1]);
  std::string text;
  char buffer[64];
  for (ssize_t count; (count = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, count);
  close(pipeEnds[0]);
  return text;
}

TEST(CrashReportTime, AgreesWithGmtimeFrom1900To2200) {
  // Steps of 7 hours 13 minutes 11 seconds reach every day, every month end, leap days and the century
  // rules, at ever-changing times of day.
  constexpr long long kStep = 7 * 3600 + 13 * 60 + 11;
  for (long long seconds = -2208988800LL; seconds < 7258118400LL; seconds += kStep) {
    const time_t value = static_cast<time_t>(seconds);
    tm civil{};
    gmtime_r(&value, &civil);
    char expected[64];
    std::strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S UTC", &civil);
    ASSERT_EQ(UtcTimeText(seconds), expected) << seconds;
  }
  EXPECT_EQ(UtcTimeText(0), "1970-01-01 00:00:00 UTC");
  EXPECT_EQ(UtcTimeText(951782400), "2000-02-29 00:00:00 UTC");
}

TEST(CrashReportFolder, FollowsTheStateHomeAndIgnoresARelativeOne) {
  const char* old = std::getenv("XDG_STATE_HOME");
  const std::string saved = old != nullptr ? old : "";
  setenv("XDG_STATE_HOME", "/var/state-x", 1);
  EXPECT_EQ(CrashReportFolder(), "/var/state-x/Almanex");
  setenv("XDG_STATE_HOME", "relative/state", 1);
  EXPECT_EQ(CrashReportFolder(), std::string(std::getenv("HOME")) + "/.local/state/Almanex");
  if (old != nullptr) {
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_STATE_HOME");
  }
}

/// Records the reports it is asked to show.
class RecordingViewer final : public CrashReportViewer {
 public:
  RecordingViewer() { SetCrashReportViewer(this); }
  ~RecordingViewer() override { SetCrashReportViewer(nullptr); }
  RecordingViewer(const RecordingViewer&) = delete;
  RecordingViewer& operator=(const RecordingViewer&) = delete;
  void Show(const std::string& path, const std::string& text) override { shown.push_back({path, text}); }
  std::vector<std::pair<std::string, std::string>> shown;
};

class PreviousCrashOffer : public ::testing::Test {
 protected:
  /// Writes a report whose modification time is `age` seconds in the past.
  std::string WriteReport(const std::string& name, const std::string& text, int age) {
    std::filesystem::create_directories(state.Folder());
    const std::string path = state.Folder() + "/" + name;
    test::WriteFileBytes(path, text);
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(age));
    return path;
  }

  StateHomeScope state;
  test::RecordingMessageBoxes boxes;
  RecordingViewer viewer;
};

TEST_F(PreviousCrashOffer, NothingToOfferWithoutAFolderOrWithOnlySeenReports) {
  EXPECT_FALSE(OfferPreviousCrashReport());
  WriteReport("crash-100-1.txt.seen", "old", 100);
  WriteReport("notes.txt", "not a report", 10);
  EXPECT_FALSE(OfferPreviousCrashReport());
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(viewer.shown.empty());
}

TEST_F(PreviousCrashOffer, TheNewestReportIsOfferedOnceAndEveryReportFoundIsMarked) {
  const std::string older = WriteReport("crash-200-7.txt", "older report", 300);
  const std::string newer = WriteReport("crash-100-9.txt", "Almanex crash report\nSignal: 11 (SIGSEGV)\n", 5);
  EXPECT_TRUE(OfferPreviousCrashReport());
  ASSERT_EQ(boxes.boxes.size(), 1U);
  EXPECT_EQ(boxes.boxes[0], (MessageBoxRequest{"Almanex ended abnormally the last time it ran.\r\n\r\nA report of the "
                                               "failure was saved as\r\n" +
                                                   newer + ".seen\r\n\r\nPress OK to see it.",
                                               "Information", MessageIcon::Information}));
  ASSERT_EQ(viewer.shown.size(), 1U);
  EXPECT_EQ(viewer.shown[0].first, newer + ".seen");
  EXPECT_EQ(viewer.shown[0].second, "Almanex crash report\nSignal: 11 (SIGSEGV)\n");
  EXPECT_TRUE(test::FileExists(older + ".seen"));
  EXPECT_TRUE(test::FileExists(newer + ".seen"));

  // The next start has nothing new to offer; a later crash is offered again.
  EXPECT_FALSE(OfferPreviousCrashReport());
  EXPECT_EQ(boxes.boxes.size(), 1U);
  WriteReport("crash-300-4.txt", "third", 1);
  EXPECT_TRUE(OfferPreviousCrashReport());
  ASSERT_EQ(viewer.shown.size(), 2U);
  EXPECT_EQ(viewer.shown[1].second, "third");
}

TEST_F(PreviousCrashOffer, KeepsOnlyTheTenNewestReportsOfferedBefore) {
  for (int index = 0; index < 12; ++index) {
    WriteReport("crash-" + std::to_string(index) + "-1.txt.seen", "old", 1000 - index);
  }
  WriteReport("crash-99-1.txt", "new", 1);
  EXPECT_TRUE(OfferPreviousCrashReport());
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(state.Folder())) {
    kept.push_back(entry.path().filename().string());
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"crash-10-1.txt.seen", "crash-11-1.txt.seen", "crash-3-1.txt.seen",
                                            "crash-4-1.txt.seen", "crash-5-1.txt.seen", "crash-6-1.txt.seen",
                                            "crash-7-1.txt.seen", "crash-8-1.txt.seen", "crash-9-1.txt.seen",
                                            "crash-99-1.txt.seen"}));
}

}  // namespace
}  // namespace almanex
