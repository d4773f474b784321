#include "MainForm.h"

#include <QApplication>
#include <QStatusBar>

#include "EventListModel.h"
#include "datetime/DateTimeUnit.h"
#include "grid/GridView.h"
#include "platform/CommUnit.h"
#include "store/EventList.h"
#include "store/IniFile.h"

namespace almanex {

TFrmMain::TFrmMain(Services services, QWidget* parent) : QMainWindow(parent), services_(std::move(services)) {
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  resize(900, 425);
  model_ = new EventListModel(services_.settings, this);
  StringGridMain = new GridView(this);
  StringGridMain->setObjectName(QStringLiteral("StringGridMain"));
  StringGridMain->setModel(model_);
  setCentralWidget(StringGridMain);
  statusBar();
  connect(model_, &EventListModel::CalculationFailed, this, &TFrmMain::ShowCalculationFailure);
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);
  FormCreate();
}

TFrmMain::~TFrmMain() { Timer1.stop(); }

void TFrmMain::FormCreate() {
  bExitRequested = false;
  InitGridColumns();
  LoadEventList();
  Timer1.start();
}

void TFrmMain::InitGridColumns() {
  for (int column = 0; column < kColumnCount; ++column) {
    StringGridMain->SetColumnWidth(column, kBuiltInColumnWidths[static_cast<std::size_t>(column)]);
  }
}

void TFrmMain::LoadEventList() {
  const IniFile file(services_.configPath());
  EventList list = almanex::LoadEventList(file, services_.clock.Now(), services_.settings);
  strNextEventName = list.nextEventName;
  model_->SetEvents(std::move(list));
}

void TFrmMain::RefreshSpans() { model_->SetNow(services_.clock.Now()); }

void TFrmMain::Timer1Timer() { RefreshSpans(); }

void TFrmMain::ShowCalculationFailure(const QString& section, const QString& message) {
  Q_UNUSED(section);
  std::string report;
  CommShowException(message.toStdString(), kCalcFailureContext, kCalcFailureAdvice, true, report);
}

}  // namespace almanex
