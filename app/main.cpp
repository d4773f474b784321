// Almanex: start-up. One instance per session; the main window lives until Exit.

#include <QApplication>

#include "MainForm.h"
#include "SingleInstance.h"
#include "platform/DebugAgentUnit.h"
#include "platform/LocaleBridge.h"
#include "platform/SystemClock.h"
#include "store/ConfigFile.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(almanex::kApplicationTitle));
  QApplication::setOrganizationName(QStringLiteral("Quorvel"));

  almanex::SingleInstance instance;
  if (instance.IsPreviousInstanceRunning()) return 0;

  almanex::DebugAgentTraceSink traceSink;
  almanex::SetTracer(&traceSink);

  const almanex::SystemClock clock;
  almanex::TFrmMain form({clock, almanex::UserFormatSettings(), [] { return almanex::ConfigFilePath(); }});
  form.show();
  const int status = QApplication::exec();
  almanex::SetTracer(nullptr);
  return status;
}
