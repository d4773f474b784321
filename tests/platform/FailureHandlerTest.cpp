// The dialog for failures that nothing caught, its pages, the way a failure in another thread reaches it, and
// the terminate handler that leads to it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestTraceListener.h"
#include "platform/FailureHandler.h"
#include "platform/core/DebugAgentUnit.h"
#include "tests/common/Fakes.h"

namespace almanex {
namespace {

class FailurePresenterScope {
 public:
  explicit FailurePresenterScope(FailureDialogPresenter& presenter) { SetFailureDialogPresenter(&presenter); }
  ~FailurePresenterScope() { SetFailureDialogPresenter(nullptr); }
};

TEST(ReportUnexpectedFailure, ShowsTheErrorAndActsOnTheChoice) {
  const struct {
    FailureChoice choice;
    int quits;
    std::vector<RestartWay> restarts;
  } cases[] = {{FailureChoice::Continue, 0, {}},
               {FailureChoice::Quit, 1, {}},
               {FailureChoice::Restart, 0, {RestartWay::Orderly}}};
  for (const auto& testCase : cases) {
    test::TestTraceListener listener(DebugServerSocketPath());
    test::RecordingFailureDialogs presenter(testCase.choice);
    ReportUnexpectedFailure("Cannot write /opt/almanex/Config/Config.INI");
    ASSERT_EQ(presenter.messages.size(), 1U);
    EXPECT_EQ(presenter.messages[0], "Cannot write /opt/almanex/Config/Config.INI");
    const std::string& report = presenter.reports[0];
    EXPECT_EQ(report.rfind("Almanex: unexpected failure\nError: Cannot write /opt/almanex/Config/Config.INI\n\n"
                           "General\nProgram: ",
                           0),
              0U)
        << report;
    EXPECT_NE(report.find("\nCall Stack\nTaken where the failure was caught"), std::string::npos);
    EXPECT_NE(report.find("\nModules\n"), std::string::npos);
    EXPECT_TRUE(presenter.shown[0].canContinue);
    EXPECT_EQ(presenter.quits, testCase.quits);
    EXPECT_EQ(presenter.restarts, testCase.restarts);
    ASSERT_EQ(listener.Packets().size(), 1U);
    EXPECT_EQ(
        listener.Packets()[0],
        test::ExpectedPacket("FailureHandler", "ReportUnexpectedFailure: Cannot write /opt/almanex/Config/Config.INI"));
  }
}

TEST(ReportUnexpectedFailure, OnceTheProgramEndsNoDialogHoldsItUp) {
  test::RecordingFailureDialogs presenter(FailureChoice::Quit);
  SetProgramEnding();
  ReportUnexpectedFailure("late failure");
  SetProgramEnding(false);
  EXPECT_TRUE(presenter.messages.empty());
  EXPECT_EQ(presenter.quits, 0);
}

TEST(ReportUnexpectedFailure, FailureInAWorkerThreadIsShownOnTheUserInterfaceThread) {
  test::RecordingFailureDialogs presenter;
  std::thread worker([] {
    try {
      throw std::runtime_error("worker failed");
    } catch (const std::exception& error) {
      ReportUnexpectedFailure(error.what());
    }
  });
  worker.join();
  EXPECT_TRUE(presenter.messages.empty()) << "no dialog may be made in the worker";
  QCoreApplication::sendPostedEvents();
  ASSERT_EQ(presenter.messages, std::vector<std::string>{"worker failed"});
  EXPECT_EQ(presenter.threads[0], std::this_thread::get_id());
}

/// The general page and the modules of this very process, as a failure now would report them.
TEST(FailureReportPages, DescribeThisProcess) {
  const FailureReport report = BuildFailureReport("boom", FormatStack(CaptureStack()));
  const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_NE(report.general.find("Program: " + executable + "\n"), std::string::npos) << report.general;
  EXPECT_NE(report.general.find("\nVersion: "), std::string::npos);
  EXPECT_NE(report.general.find("\nTime: "), std::string::npos);
  EXPECT_NE(report.general.find(std::string("\nQt: ") + qVersion()), std::string::npos);
  EXPECT_NE(report.general.find("\nProcess: " + std::to_string(getpid()) + "\n"), std::string::npos);
  EXPECT_NE(report.general.find("\nUser: "), std::string::npos);
  EXPECT_NE(report.general.find("\nOperating system: "), std::string::npos);
  EXPECT_NE(report.modules.find(" " + executable + "\n"), std::string::npos) << report.modules;
  EXPECT_NE(report.modules.find("libQt6Core.so"), std::string::npos);
  // Every frame a line of its own, numbered from the innermost, the test binary among the modules.
  EXPECT_EQ(report.callStack.rfind("#0 0x", 0), 0U) << report.callStack;
  EXPECT_NE(report.callStack.find("\n#2 0x"), std::string::npos);
  EXPECT_NE(report.callStack.find(" " + executable + "+0x"), std::string::npos);
}

TEST(FailureReportPages, ModulesListEachMappedFileOnceWithItsWholeRange) {
  const std::string maps =
      "55d0a000-55d0b000 r--p 00000000 08:01 42   /usr/bin/almanex\n"
      "55d0b000-55d0f000 r-xp 00001000 08:01 42   /usr/bin/almanex\n"
      "55d10000-55d31000 rw-p 00000000 00:00 0    [heap]\n"
      "7f0000000000-7f0000001000 rw-p 00000000 00:00 0 \n"
      "7f1000000000-7f1000200000 r-xp 00000000 08:01 77   /opt/my libs/libx.so (deleted)\n"
      "7ffd0000-7ffd1000 r-xp 00000000 00:00 0    [vdso]\n"
      "garbled line without a range /etc/passwd\n";
  EXPECT_EQ(ModulesOfMaps(maps),
            "55d0a000-55d0f000 /usr/bin/almanex\n"
            "7f1000000000-7f1000200000 /opt/my libs/libx.so (deleted)\n");
}

class ThrowingFailurePresenter final : public FailureDialogPresenter {
 public:
  FailureChoice Show(const FailureReport&) override { throw std::runtime_error("no desktop"); }
  void Quit() override { ++quits; }
  int quits = 0;
};

TEST(ReportUnexpectedFailure, DialogThatCannotBeShownMeansContinue) {
  ThrowingFailurePresenter presenter;
  const FailurePresenterScope scope(presenter);
  EXPECT_NO_THROW(ReportUnexpectedFailure("boom"));
  EXPECT_EQ(presenter.quits, 0);
}

/// Drives the default dialog once it is up.
void WithModalDialog(std::function<void(QDialog&)> act, int attemptsLeft = 1000) {
  QTimer::singleShot(0, [act, attemptsLeft] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      if (attemptsLeft > 0) {
        WithModalDialog(act, attemptsLeft - 1);
      } else {
        ADD_FAILURE() << "no modal dialog came up";
        for (QWidget* widget : QApplication::topLevelWidgets()) {
          if (auto* other = qobject_cast<QDialog*>(widget)) other->done(0);
        }
      }
      return;
    }
    act(*dialog);
  });
}

QPushButton* ButtonWithText(QDialog& dialog, const QString& text) {
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

FailureReport SampleReport(bool canContinue = true) {
  FailureReport report;
  report.message = "Unable to write to /home/u/Config.INI";
  report.general = "Program: /usr/bin/almanex\nVersion: 2.0 (Build 0.174)\n";
  report.callStack = "#0 0x1234 /usr/bin/almanex+0x234\n";
  report.modules = "55d0a000-55d0f000 /usr/bin/almanex\n";
  report.canContinue = canContinue;
  return report;
}

TEST(DefaultFailureDialog, ShowsTheErrorAndItsPagesAndCopyReportCopiesTheWholeReport) {
  QGuiApplication::clipboard()->clear();
  std::vector<std::string> buttonTexts;
  std::vector<std::string> pageTitles;
  std::vector<std::string> pageTexts;
  std::string shownText;
  bool stillOpenAfterCopy = false;
  WithModalDialog([&](QDialog& dialog) {
    for (QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons()) {
      buttonTexts.push_back(button->text().toStdString());
    }
    auto* pages = dialog.findChild<QTabWidget*>("FailurePages");
    for (int index = 0; pages != nullptr && index < pages->count(); ++index) {
      pageTitles.push_back(pages->tabText(index).toStdString());
      pageTexts.push_back(qobject_cast<QPlainTextEdit*>(pages->widget(index))->toPlainText().toStdString());
    }
    shownText = dialog.findChild<QLabel*>("FailureText")->text().toStdString();
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    ButtonWithText(dialog, "Copy report")->click();
    stillOpenAfterCopy = dialog.isVisible();
    ButtonWithText(dialog, "Continue")->click();
  });
  const FailureReport report = SampleReport();
  EXPECT_EQ(ShowDefaultFailureDialog(report), FailureChoice::Continue);
  std::sort(buttonTexts.begin(), buttonTexts.end());
  EXPECT_EQ(buttonTexts, (std::vector<std::string>{"Continue", "Copy report", "Quit", "Restart"}));
  EXPECT_EQ(shownText, "An unexpected failure occurred:\n\nUnable to write to /home/u/Config.INI");
  EXPECT_EQ(pageTitles, (std::vector<std::string>{"General", "Call Stack", "Modules"}));
  EXPECT_EQ(pageTexts,
            (std::vector<std::string>{"Program: /usr/bin/almanex\nVersion: 2.0 (Build 0.174)\n",
                                      "#0 0x1234 /usr/bin/almanex+0x234\n", "55d0a000-55d0f000 /usr/bin/almanex\n"}));
  EXPECT_TRUE(stillOpenAfterCopy);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "Almanex: unexpected failure\nError: Unable to write to /home/u/Config.INI\n"
            "\nGeneral\nProgram: /usr/bin/almanex\nVersion: 2.0 (Build 0.174)\n"
            "\nCall Stack\n#0 0x1234 /usr/bin/almanex+0x234\n"
            "\nModules\n55d0a000-55d0f000 /usr/bin/almanex\n");
}

struct ButtonCase {
  const char* name;
  bool canContinue;
  const char* button;  // nullptr: the window is closed by its frame
  FailureChoice choice;
};

void PrintTo(const ButtonCase& testCase, std::ostream* out) { *out << testCase.name; }

class DefaultFailureDialogButtons : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(DefaultFailureDialogButtons, AnswerTheirChoice) {
  const ButtonCase& testCase = GetParam();
  bool continueOffered = true;
  WithModalDialog([&](QDialog& dialog) {
    continueOffered = ButtonWithText(dialog, "Continue") != nullptr;
    if (testCase.button != nullptr) {
      ButtonWithText(dialog, testCase.button)->click();
    } else {
      dialog.reject();
    }
  });
  EXPECT_EQ(ShowDefaultFailureDialog(SampleReport(testCase.canContinue)), testCase.choice);
  EXPECT_EQ(continueOffered, testCase.canContinue);
}

const ButtonCase kButtonCases[] = {
    {"Quit", true, "Quit", FailureChoice::Quit},
    {"Restart", true, "Restart", FailureChoice::Restart},
    {"ClosedMeansContinue", true, nullptr, FailureChoice::Continue},
    {"AfterTerminateRestart", false, "Restart", FailureChoice::Restart},
    {"AfterTerminateClosedMeansQuit", false, nullptr, FailureChoice::Quit},
};
INSTANTIATE_TEST_SUITE_P(Choices, DefaultFailureDialogButtons, ::testing::ValuesIn(kButtonCases),
                         [](const ::testing::TestParamInfo<ButtonCase>& info) { return info.param.name; });

/// Writes what it is shown to stderr, where the death test can see it.
class StderrFailurePresenter final : public FailureDialogPresenter {
 public:
  FailureChoice Show(const FailureReport& report) override {
    const bool onUserInterfaceThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    std::fprintf(stderr, "reported%s: %s\n", onUserInterfaceThread ? "" : " off the user-interface thread",
                 report.message.c_str());
    std::fprintf(stderr, "can continue: %s\n", report.canContinue ? "yes" : "no");
    return FailureChoice::Continue;
  }
};

enum class InFlight { StandardException, OtherException, Nothing };

[[noreturn]] void TerminateWith(InFlight inFlight) {
  try {
    if (inFlight == InFlight::StandardException) throw std::runtime_error("kaboom");
    if (inFlight == InFlight::OtherException) throw 42;
  } catch (...) {
    std::terminate();  // with the exception still being handled, as after an escape from noexcept code
  }
  std::terminate();
}

TEST(TerminateHandlerDeathTest, ReportsTheExceptionInFlightThenAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto run = [](InFlight inFlight) {
    static StderrFailurePresenter presenter;
    SetFailureDialogPresenter(&presenter);
    InstallTerminateHandler();
    TerminateWith(inFlight);
  };
  EXPECT_DEATH(run(InFlight::StandardException), "reported: kaboom\ncan continue: no");
  EXPECT_DEATH(run(InFlight::OtherException), "reported: An exception of unknown type was not caught\\.");
  EXPECT_DEATH(run(InFlight::Nothing), "reported: The program was terminated without an exception\\.");
}

TEST(TerminateHandlerDeathTest, UncaughtExceptionInAWorkerThreadIsShownOnTheUserInterfaceThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto run = [] {
    static StderrFailurePresenter presenter;
    SetFailureDialogPresenter(&presenter);
    InstallTerminateHandler();
    std::thread([] { throw std::runtime_error("worker kaboom"); }).detach();
    for (;;) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  };
  EXPECT_DEATH(run(), "reported: worker kaboom\ncan continue: no");
}

}  // namespace
}  // namespace almanex
