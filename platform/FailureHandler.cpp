#include "FailureHandler.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "CrashReport.h"
#include "WidgetsAvailable.h"
#include "base/UserFolders.h"
#include "platform/core/DebugAgentUnit.h"
#include "platform/core/VerInfoUnit.h"

namespace almanex {

namespace {

constexpr int kMaxFrames = 64;

void WriteToStderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

QPlainTextEdit* AddPage(QTabWidget& pages, const char* objectName, const char* title, const std::string& text) {
  auto* page = new QPlainTextEdit(QString::fromStdString(text), &pages);
  page->setObjectName(objectName);
  page->setReadOnly(true);
  page->setLineWrapMode(QPlainTextEdit::NoWrap);
  page->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  pages.addTab(page, title);
  return page;
}

class DefaultFailureDialogPresenter final : public FailureDialogPresenter {
 public:
  FailureChoice Show(const FailureReport& report) override {
    if (!CanShowWidgets()) {
      WriteToStderr(report.Text());
      return report.canContinue ? FailureChoice::Continue : FailureChoice::Quit;
    }
    QDialog dialog;
    dialog.setObjectName("UnexpectedFailureDialog");
    dialog.setWindowTitle("Almanex");
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.resize(720, 480);
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(QString::fromStdString("An unexpected failure occurred:\n\n" + report.message), &dialog);
    text->setObjectName("FailureText");
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* pages = new QTabWidget(&dialog);
    pages->setObjectName("FailurePages");
    AddPage(*pages, "GeneralPage", "General", report.general);
    AddPage(*pages, "CallStackPage", "Call Stack", report.callStack);
    AddPage(*pages, "ModulesPage", "Modules", report.modules);
    layout->addWidget(pages, 1);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* copy = buttons->addButton("Copy report", QDialogButtonBox::ActionRole);
    QPushButton* restart = buttons->addButton("Restart", QDialogButtonBox::ActionRole);
    QPushButton* quit = buttons->addButton("Quit", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    const QString reportText = QString::fromStdString(report.Text());
    // Copying leaves the dialog open, so the user can still choose how to go on.
    QObject::connect(copy, &QPushButton::clicked, &dialog,
                     [reportText] { QGuiApplication::clipboard()->setText(reportText); });
    if (report.canContinue) {
      QPushButton* proceed = buttons->addButton("Continue", QDialogButtonBox::AcceptRole);
      proceed->setDefault(true);
      QObject::connect(proceed, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(1); });
    } else {
      quit->setDefault(true);
    }
    QObject::connect(restart, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(3); });
    QObject::connect(quit, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(2); });
    // Closing the window by its frame means Continue, or Quit when the program cannot go on.
    switch (dialog.exec()) {
      case 2:
        return FailureChoice::Quit;
      case 3:
        return FailureChoice::Restart;
      default:
        return report.canContinue ? FailureChoice::Continue : FailureChoice::Quit;
    }
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
std::atomic<bool> restartRequested{false};

std::function<void()>& OrderlyEndFunction() {
  static std::function<void()> end;
  return end;
}

/// True off the thread of the application object, where no widget may be made.
bool IsOffUserInterfaceThread() {
  const QCoreApplication* application = QCoreApplication::instance();
  return application != nullptr && QThread::currentThread() != application->thread();
}

void ActOnChoice(FailureDialogPresenter& presenter, FailureChoice choice, RestartWay way) {
  if (choice == FailureChoice::Quit) presenter.Quit();
  if (choice == FailureChoice::Restart) presenter.Restart(way);
}

/// Shows a report on the user-interface thread and acts on the choice. Never throws.
void ShowAndAct(const FailureReport& report) {
  if (IsProgramEnding()) {
    WriteToStderr(report.Text());
    return;
  }
  FailureDialogPresenter& presenter = CurrentPresenter();
  FailureChoice choice = FailureChoice::Continue;
  try {
    choice = presenter.Show(report);
  } catch (...) {
    // Without a dialog the program goes on, as if the user had chosen Continue.
  }
  ActOnChoice(presenter, choice, RestartWay::Orderly);
}

/// The arguments this process was started with, from /proc/self/cmdline.
std::vector<std::string> StartArguments() {
  std::vector<std::string> arguments;
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string argument;
  while (std::getline(file, argument, '\0')) arguments.push_back(argument);
  if (arguments.empty()) arguments.emplace_back("almanex");
  return arguments;
}

/// Replaces the process image by a fresh start of the same executable; returns only when that failed.
void ExecuteSelfAgain() {
  std::vector<std::string> arguments = StartArguments();
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  execv("/proc/self/exe", argv.data());
  WriteToStderr("Almanex: the restart failed; start Almanex again by hand.\n");
}

void RestartAtExit() {
  if (restartRequested.exchange(false)) ExecuteSelfAgain();
}

/// Where the stack of a report was taken, as the first line of its page.
constexpr char kCaughtStackNote[] =
    "Taken where the failure was caught (for an event, where the program delivered it); the frames of the "
    "throw itself have been unwound.\n";
constexpr char kThrowStackNote[] =
    "Taken in the terminate handler: the innermost frames are those of the throw, nothing was unwound.\n";

/// A terminate in a worker thread: the dialog comes up on the user-interface thread while the worker
/// waits for the answer. False when the user-interface thread did not take the report up in time (it may
/// be the one waiting for the worker).
bool ShowOnUserInterfaceThread(const FailureReport& report, FailureChoice& choice) {
  struct Exchange {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool done = false;
    FailureChoice choice = FailureChoice::Quit;
  };
  auto exchange = std::make_shared<Exchange>();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [exchange, report] {
        {
          const std::lock_guard lock(exchange->mutex);
          exchange->started = true;
        }
        exchange->changed.notify_all();
        FailureChoice answer = FailureChoice::Quit;
        try {
          if (!IsProgramEnding()) answer = CurrentPresenter().Show(report);
        } catch (...) {
        }
        {
          const std::lock_guard lock(exchange->mutex);
          exchange->choice = answer;
          exchange->done = true;
        }
        exchange->changed.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(exchange->mutex);
  if (!exchange->changed.wait_for(lock, std::chrono::seconds(10), [&] { return exchange->started; })) return false;
  exchange->changed.wait(lock, [&] { return exchange->done; });
  choice = exchange->choice;
  return true;
}

[[noreturn]] void TerminateHandler() {
  // A failure while reporting one must not loop back here.
  if (!terminating.exchange(true)) {
    try {
      // Nothing has been unwound yet: this stack still holds the frames of the throw.
      const std::vector<void*> frames = CaptureStack();
      const std::string message = CurrentExceptionMessage();
      SendDebugAgentMsgLazy("FailureHandler", [&message] { return "ReportUnexpectedFailure: " + message; });
      FailureReport report = BuildFailureReport(message, kThrowStackNote + FormatStack(frames));
      report.canContinue = false;
      FailureChoice choice = FailureChoice::Quit;
      bool shown = false;
      if (IsProgramEnding()) {
        WriteToStderr(report.Text());
      } else if (IsOffUserInterfaceThread()) {
        shown = ShowOnUserInterfaceThread(report, choice);
        if (!shown) WriteToStderr(report.Text());
      } else {
        shown = true;
        choice = CurrentPresenter().Show(report);
      }
      if (shown) {
        // The user has seen this failure: the abort below need not leave a report for the next start.
        ForgoAbortReport();
        ActOnChoice(CurrentPresenter(), choice, RestartWay::AtOnce);
      }
    } catch (...) {
    }
  }
  std::abort();
}

std::string Hex(std::uintptr_t value) {
  char buffer[2 + 2 * sizeof value + 1] = "0x";
  const auto result = std::to_chars(buffer + 2, buffer + sizeof buffer, value, 16);
  return std::string(buffer, result.ptr);
}

std::string Demangled(const char* name) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                        &std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(name);
}

std::string ExecutableFile() {
  const std::string path = ExecutablePath();
  return path.empty() ? std::string("unknown") : path;
}

std::string VersionText(const std::string& executable) {
  try {
    const TVerInfoRes info(executable);
    int buildNumber = 0;
    const std::string build = info.GetBuildNumberText();
    std::from_chars(build.data(), build.data() + build.size(), buildNumber);
    return info.GetFileVersionText() + " (Build " + FormatBuildText(buildNumber) + ")";
  } catch (const std::exception& error) {
    return std::string("unknown (") + error.what() + ")";
  }
}

}  // namespace

std::string FailureReport::Text() const {
  std::string text = "Almanex: unexpected failure\nError: ";
  text.append(message).append("\n");
  const auto page = [&text](const char* title, const std::string& body) {
    text.append("\n").append(title).append("\n").append(body);
    if (!body.empty() && body.back() != '\n') text.append("\n");
  };
  page("General", general);
  page("Call Stack", callStack);
  page("Modules", modules);
  return text;
}

void FailureDialogPresenter::Quit() {
  std::fflush(nullptr);
  std::_Exit(EXIT_FAILURE);
}

void FailureDialogPresenter::Restart(RestartWay way) { RequestRestart(way); }

void SetFailureDialogPresenter(FailureDialogPresenter* presenter) { installedPresenter.store(presenter); }

FailureChoice ShowDefaultFailureDialog(const FailureReport& report) {
  DefaultFailureDialogPresenter presenter;
  return presenter.Show(report);
}

std::string GeneralFailureInformation(std::optional<std::chrono::system_clock::time_point> now) {
  const std::string executable = ExecutableFile();
  std::string text = "Program: " + executable + "\n";
  text += "Version: " + VersionText(executable) + "\n";
  if (now) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now->time_since_epoch()).count();
    text += "Time: " + QDateTime::fromMSecsSinceEpoch(milliseconds).toString(Qt::ISODateWithMs).toStdString() + "\n";
  }
  text += "User: " + GetLocalUserName() + "\n";
  text += "Computer: " + GetLocalComputerName() + "\n";
  text += std::string("Qt: ") + qVersion() + " (built with " + QT_VERSION_STR + ")\n";
  text += "Operating system: " + QSysInfo::prettyProductName().toStdString() + ", kernel " +
          QSysInfo::kernelType().toStdString() + " " + QSysInfo::kernelVersion().toStdString() + ", " +
          QSysInfo::currentCpuArchitecture().toStdString() + "\n";
  text += "Process: " + std::to_string(getpid()) + "\n";
  return text;
}

std::string ModulesOfMaps(std::string_view maps) {
  struct Module {
    std::string path;
    std::string start;
    std::string end;
  };
  std::vector<Module> modules;
  std::istringstream lines{std::string(maps)};
  std::string line;
  while (std::getline(lines, line)) {
    // "start-end perms offset device inode   path"; only mapped files have a path that begins with "/".
    const std::size_t slash = line.find(" /");
    const std::size_t dash = line.find('-');
    const std::size_t blank = line.find(' ');
    if (slash == std::string::npos || dash == std::string::npos || dash > blank) continue;
    std::string path = line.substr(slash + 1);
    auto found = std::find_if(modules.begin(), modules.end(), [&](const Module& m) { return m.path == path; });
    if (found == modules.end()) {
      modules.push_back({std::move(path), line.substr(0, dash), line.substr(dash + 1, blank - dash - 1)});
    } else {
      found->end = line.substr(dash + 1, blank - dash - 1);
    }
  }
  std::string text;
  for (const Module& module : modules) text += module.start + "-" + module.end + " " + module.path + "\n";
  return text;
}

std::string LoadedModules() {
  std::ifstream file("/proc/self/maps");
  std::ostringstream maps;
  maps << file.rdbuf();
  return ModulesOfMaps(maps.str());
}

std::vector<void*> CaptureStack() {
  std::vector<void*> frames(kMaxFrames);
  const int count = backtrace(frames.data(), kMaxFrames);
  frames.resize(static_cast<std::size_t>(std::max(count, 0)));
  return frames;
}

std::string FormatStack(const std::vector<void*>& frames) {
  std::string text;
  for (std::size_t index = 0; index < frames.size(); ++index) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[index]);
    text += "#" + std::to_string(index) + " " + Hex(address);
    Dl_info info{};
    if (dladdr(frames[index], &info) != 0) {
      if (info.dli_fname != nullptr) {
        text +=
            " " + std::string(info.dli_fname) + "+" + Hex(address - reinterpret_cast<std::uintptr_t>(info.dli_fbase));
      }
      if (info.dli_sname != nullptr) {
        text += " (" + Demangled(info.dli_sname) + "+" +
                Hex(address - reinterpret_cast<std::uintptr_t>(info.dli_saddr)) + ")";
      }
    }
    text += "\n";
  }
  return text;
}

FailureReport BuildFailureReport(std::string message, std::string callStack,
                                 std::chrono::system_clock::time_point now) {
  FailureReport report;
  report.message = std::move(message);
  report.general = GeneralFailureInformation(now);
  report.callStack = std::move(callStack);
  report.modules = LoadedModules();
  return report;
}

void SetProgramEnding(bool ending) { programEnding.store(ending); }

bool IsProgramEnding() { return programEnding.load(); }

void ReportUnexpectedFailure(const std::string& message) {
  try {
    SendDebugAgentMsgLazy("FailureHandler", [&message] { return "ReportUnexpectedFailure: " + message; });
    FailureReport report = BuildFailureReport(message, kCaughtStackNote + FormatStack(CaptureStack()));
    if (IsOffUserInterfaceThread()) {
      // Widgets live on the user-interface thread only: the report waits there for its event loop.
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [report = std::move(report)] { ShowAndAct(report); }, Qt::QueuedConnection);
      return;
    }
    ShowAndAct(report);
  } catch (...) {
    // Reporting must never add a failure of its own.
  }
}

void InstallTerminateHandler() { std::set_terminate(&TerminateHandler); }

void InstallFailureHandlers() {
  InstallTerminateHandler();
  InstallFatalSignalHandler();
}

void SetOrderlyEnd(std::function<void()> end) { OrderlyEndFunction() = std::move(end); }

void RequestRestart(RestartWay way) {
  if (way == RestartWay::AtOnce) {
    ExecuteSelfAgain();
    return;
  }
  static const bool registered = std::atexit(&RestartAtExit) == 0;
  if (!registered) {
    WriteToStderr("Almanex: the restart cannot be prepared; start Almanex again by hand.\n");
    return;
  }
  restartRequested.store(true);
  if (QCoreApplication::instance() == nullptr) std::exit(EXIT_SUCCESS);
  // Queued, so that the dialog and the failed delivery have unwound before the program ends.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [] {
        if (const std::function<void()>& end = OrderlyEndFunction()) {
          end();
        } else {
          QCoreApplication::exit(0);
        }
      },
      Qt::QueuedConnection);
}

bool IsRestartRequested() { return restartRequested.load(); }

}  // namespace almanex
