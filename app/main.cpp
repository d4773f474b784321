// Almanex: start-up. One instance per session; the main window lives behind its tray icon until Exit
// or the end of the session.

#include <QAction>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "AlmanexApplication.h"
#include "CommandLine.h"
#include "MainForm.h"
#include "SingleInstance.h"
#include "base/UserFolders.h"
#include "platform/ApplicationIdentity.h"
#include "platform/CrashReport.h"
#include "platform/FailureHandler.h"
#include "platform/QtTranslations.h"
#include "platform/SessionEnd.h"
#include "platform/WidgetsAvailable.h"
#include "platform/core/DebugAgentUnit.h"
#include "platform/core/SystemClock.h"
#include "platform/locale/LocaleBridge.h"
#include "store/ConfigFile.h"
#include "store/MappedReadGuard.h"

int main(int argc, char** argv) {
  // --help and --version answer before anything starts, so they work without a display and never meet
  // the single-instance lock.
  if (const std::optional<int> status = almanex::AnswerCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                                                   almanex::ExecutablePath(), std::cout, std::cerr)) {
    return *status;
  }
  // Qt would abort (status 134) without a display; one clear line is what a terminal or a log needs.
  if (!almanex::IsDisplayReachable()) {
    std::cerr << almanex::kNoDisplayMessage << '\n';
    return 1;
  }
  almanex::AlmanexApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(almanex::kApplicationTitle));
  QApplication::setOrganizationName(QStringLiteral("Quorvel"));
  QApplication::setDesktopFileName(QString::fromLatin1(almanex::kDesktopEntryId));
  almanex::InstallQtTranslations(application);
  // The window hides into the tray; only Exit or the end of the session ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  almanex::SingleInstance instance;
  if (instance.IsPreviousInstanceRunning()) return 0;

  almanex::InstallFailureHandlers();
  // After the crash reporter: the reads of the file's mapped snapshots survive another program cutting
  // the file short, and every other bus error still reaches the reporter.
  almanex::GuardMappedReads();
  almanex::DebugAgentTraceSink traceSink;
  almanex::SetTracer(&traceSink);

  const almanex::SystemClock clock;
  almanex::TFrmMain form({.clock = clock,
                          .settings = almanex::UserFormatSettings(),
                          .configPath = [] { return almanex::ConfigFilePath(); },
                          .executablePath = almanex::ExecutablePath()});
  almanex::SessionEndWatcher sessionEnd;
  QObject::connect(&sessionEnd, &almanex::SessionEndWatcher::EndRequested, &form,
                   &almanex::TFrmMain::WMQueryEndSession);
  // A later start asks for the window: shown, restored when minimised, raised.
  QObject::connect(&instance, &almanex::SingleInstance::ShowRequested, form.ActionShow, &QAction::trigger);
  // A restart after an unexpected failure first ends the program as at the end of the session.
  almanex::SetOrderlyEnd([&form] { form.WMQueryEndSession(); });
  if (!form.HasTray()) form.show();
  almanex::OfferPreviousCrashReport();
  const int status = QApplication::exec();
  almanex::SetTracer(nullptr);
  return status;
}
