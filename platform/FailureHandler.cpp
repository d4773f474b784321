#include "FailureHandler.h"

#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "WidgetsAvailable.h"
#include "platform/core/DebugAgentUnit.h"

namespace almanex {

namespace {

class DefaultFailureDialogPresenter final : public FailureDialogPresenter {
 public:
  FailureChoice Show(const std::string& message, const std::string& report) override {
    if (!CanShowWidgets()) {
      std::fwrite(report.data(), 1, report.size(), stderr);
      std::fflush(stderr);
      return FailureChoice::Continue;
    }
    QDialog dialog;
    dialog.setObjectName("UnexpectedFailureDialog");
    dialog.setWindowTitle("Almanex");
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(QString::fromStdString("An unexpected failure occurred:\n\n" + message), &dialog);
    text->setObjectName("FailureText");
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* copy = buttons->addButton("Copy report", QDialogButtonBox::ActionRole);
    QPushButton* proceed = buttons->addButton("Continue", QDialogButtonBox::AcceptRole);
    QPushButton* quit = buttons->addButton("Quit", QDialogButtonBox::RejectRole);
    proceed->setDefault(true);
    layout->addWidget(buttons);
    const QString reportText = QString::fromStdString(report);
    // Copying leaves the dialog open, so the user can still choose how to go on.
    QObject::connect(copy, &QPushButton::clicked, &dialog,
                     [reportText] { QGuiApplication::clipboard()->setText(reportText); });
    QObject::connect(proceed, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(1); });
    QObject::connect(quit, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(2); });
    // Closing the window by its frame means the same as Continue.
    return dialog.exec() == 2 ? FailureChoice::Quit : FailureChoice::Continue;
  }
};

std::atomic<FailureDialogPresenter*> installedPresenter{nullptr};

FailureDialogPresenter& CurrentPresenter() {
  static DefaultFailureDialogPresenter defaultPresenter;
  FailureDialogPresenter* presenter = installedPresenter.load();
  return presenter != nullptr ? *presenter : defaultPresenter;
}

std::string CurrentExceptionMessage() {
  const std::exception_ptr current = std::current_exception();
  if (!current) return "The program was terminated without an exception.";
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& exception) {
    return exception.what();
  } catch (...) {
    return "An exception of unknown type was not caught.";
  }
}

std::atomic<bool> terminating{false};
std::atomic<bool> programEnding{false};

[[noreturn]] void TerminateHandler() {
  // A failure while reporting one must not loop back here.
  if (!terminating.exchange(true)) {
    try {
      ReportUnexpectedFailure(CurrentExceptionMessage());
    } catch (...) {
    }
  }
  std::abort();
}

}  // namespace

void FailureDialogPresenter::Quit() {
  std::fflush(nullptr);
  std::_Exit(EXIT_FAILURE);
}

void SetFailureDialogPresenter(FailureDialogPresenter* presenter) { installedPresenter.store(presenter); }

FailureChoice ShowDefaultFailureDialog(const std::string& message, const std::string& report) {
  DefaultFailureDialogPresenter presenter;
  return presenter.Show(message, report);
}

std::string UnexpectedFailureReport(std::string_view message) {
  std::string report = "Almanex: unexpected failure\nError: ";
  report.append(message).append("\n");
  return report;
}

void SetProgramEnding(bool ending) { programEnding.store(ending); }

bool IsProgramEnding() { return programEnding.load(); }

void ReportUnexpectedFailure(const std::string& message) {
  FailureChoice choice = FailureChoice::Continue;
  FailureDialogPresenter& presenter = CurrentPresenter();
  try {
    SendDebugAgentMsgLazy("FailureHandler", [&message] { return "ReportUnexpectedFailure: " + message; });
    if (IsProgramEnding()) {
      const std::string report = UnexpectedFailureReport(message);
      std::fwrite(report.data(), 1, report.size(), stderr);
      std::fflush(stderr);
      return;
    }
    choice = presenter.Show(message, UnexpectedFailureReport(message));
  } catch (...) {
    // Without a dialog the program goes on, as if the user had chosen Continue.
  }
  if (choice == FailureChoice::Quit) presenter.Quit();
}

void InstallTerminateHandler() { std::set_terminate(&TerminateHandler); }

}  // namespace almanex
