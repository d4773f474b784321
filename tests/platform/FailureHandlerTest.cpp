// The dialog for failures that nothing caught, and the terminate handler that leads to it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
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

TEST(ReportUnexpectedFailure, ShowsTheErrorAndQuitsOnlyWhenAsked) {
  const struct {
    FailureChoice choice;
    int quits;
  } cases[] = {{FailureChoice::Continue, 0}, {FailureChoice::Quit, 1}};
  for (const auto& testCase : cases) {
    test::TestTraceListener listener(DebugServerSocketPath());
    test::RecordingFailureDialogs presenter(testCase.choice);
    ReportUnexpectedFailure("Cannot write /opt/almanex/Config/Config.INI");
    ASSERT_EQ(presenter.messages.size(), 1U);
    EXPECT_EQ(presenter.messages[0], "Cannot write /opt/almanex/Config/Config.INI");
    EXPECT_EQ(presenter.reports[0],
              "Almanex: unexpected failure\nError: Cannot write /opt/almanex/Config/Config.INI\n");
    EXPECT_EQ(presenter.quits, testCase.quits);
    ASSERT_EQ(listener.Packets().size(), 1U);
    EXPECT_EQ(
        listener.Packets()[0],
        test::ExpectedPacket("FailureHandler", "ReportUnexpectedFailure: Cannot write /opt/almanex/Config/Config.INI"));
  }
}

class ThrowingFailurePresenter final : public FailureDialogPresenter {
 public:
  FailureChoice Show(const std::string&, const std::string&) override { throw std::runtime_error("no desktop"); }
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

TEST(DefaultFailureDialog, CopyReportCopiesAndKeepsTheDialogOpenThenContinue) {
  QGuiApplication::clipboard()->clear();
  std::vector<std::string> buttonTexts;
  std::string shownText;
  bool stillOpenAfterCopy = false;
  WithModalDialog([&](QDialog& dialog) {
    for (QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons()) {
      buttonTexts.push_back(button->text().toStdString());
    }
    shownText = dialog.findChild<QLabel*>("FailureText")->text().toStdString();
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    ButtonWithText(dialog, "Copy report")->click();
    stillOpenAfterCopy = dialog.isVisible();
    ButtonWithText(dialog, "Continue")->click();
  });
  EXPECT_EQ(ShowDefaultFailureDialog("boom", "the report"), FailureChoice::Continue);
  std::sort(buttonTexts.begin(), buttonTexts.end());
  EXPECT_EQ(buttonTexts, (std::vector<std::string>{"Continue", "Copy report", "Quit"}));
  EXPECT_EQ(shownText, "An unexpected failure occurred:\n\nboom");
  EXPECT_TRUE(stillOpenAfterCopy);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "the report");
}

TEST(DefaultFailureDialog, QuitButtonAnswersQuit) {
  WithModalDialog([](QDialog& dialog) { ButtonWithText(dialog, "Quit")->click(); });
  EXPECT_EQ(ShowDefaultFailureDialog("boom", "the report"), FailureChoice::Quit);
}

/// Writes what it is shown to stderr, where the death test can see it.
class StderrFailurePresenter final : public FailureDialogPresenter {
 public:
  FailureChoice Show(const std::string& message, const std::string&) override {
    std::fprintf(stderr, "reported: %s\n", message.c_str());
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
  EXPECT_DEATH(run(InFlight::StandardException), "reported: kaboom");
  EXPECT_DEATH(run(InFlight::OtherException), "reported: An exception of unknown type was not caught\\.");
  EXPECT_DEATH(run(InFlight::Nothing), "reported: The program was terminated without an exception\\.");
}

}  // namespace
}  // namespace almanex
