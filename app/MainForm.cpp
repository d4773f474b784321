#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>

#include "EventListModel.h"
#include "ReminderScheduler.h"
#include "base/Trace.h"
#include "datetime/DateFormat.h"
#include "datetime/DateTimeUnit.h"
#include "editor/EventForm.h"
#include "grid/GridView.h"
#include "platform/AutoStart.h"
#include "platform/CommRegistry.h"
#include "platform/CommUnit.h"
#include "platform/FailureHandler.h"
#include "platform/TrayIconUnit.h"
#include "store/ConfigFile.h"
#include "store/EventList.h"
#include "store/IniFile.h"

namespace almanex {
namespace {

constexpr const char* kGridSettingsSection = "GridSettings";

// The message kind of the "Fail to create file" box: 16 is the stop-icon flag of a Windows message box
// (0x10), passed where a kind is expected. It lies outside the kinds 1..7, so the box is captioned
// "Information" with the information icon.
constexpr int kFailToCreateFileMessageKind = 16;

std::string ColumnWidthKey(int column) { return "ColWidth" + std::to_string(column); }

QString Title() { return QString::fromLatin1(kApplicationTitle); }

}  // namespace

TFrmMain::TFrmMain(Services services, QWidget* parent) : QMainWindow(parent), services_(std::move(services)) {
  setWindowTitle(Title());
  setWindowIcon(TTrayIcon::BuiltInIcon());
  resize(900, 425);
  model_ = new EventListModel(services_.settings, this);
  StringGridMain = new GridView(this);
  StringGridMain->setObjectName(QStringLiteral("StringGridMain"));
  StringGridMain->setModel(model_);
  setCentralWidget(StringGridMain);
  statusBar();
  CreateActions();
  connect(model_, &EventListModel::CalculationFailed, this, &TFrmMain::ShowCalculationFailure);
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);
  FormCreate();
}

TFrmMain::~TFrmMain() { FormDestroy(); }

void TFrmMain::CreateActions() {
  ActionShow = new QAction(tr("&Show main window"), this);
  ActionShow->setStatusTip(tr("Show the main window"));
  connect(ActionShow, &QAction::triggered, this, &TFrmMain::ActionShowExecute);
  ActionHide = new QAction(tr("&Hide"), this);
  ActionHide->setStatusTip(tr("Hide the program"));
  connect(ActionHide, &QAction::triggered, this, &QWidget::close);
  ActionExit = new QAction(tr("E&xit"), this);
  ActionExit->setStatusTip(tr("Exit"));
  connect(ActionExit, &QAction::triggered, this, &TFrmMain::ActionExitExecute);
  // The links and the about box come with the shell launcher and the about dialog.
  ActionHomePage = new QAction(tr("Home &Page"), this);
  ActionHomePage->setStatusTip(tr("Visit home page"));
  ActionMailToAuthor = new QAction(tr("&Mail to Author"), this);
  ActionMailToAuthor->setStatusTip(tr("Write a mail to author"));
  ActionAbout = new QAction(tr("&About..."), this);
  ActionAbout->setStatusTip(tr("About this program"));

  PopupMenuTrayIcon = new QMenu(this);
  PopupMenuTrayIcon->setObjectName(QStringLiteral("PopupMenuTrayIcon"));
  PopupMenuTrayIcon->addAction(ActionShow);
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(ActionHomePage);
  PopupMenuTrayIcon->addAction(ActionMailToAuthor);
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(ActionAbout);
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(ActionExit);

  // Until the main window's commands land: File > New... (Ctrl+N) creates an event, and Enter or a
  // double-click on a row edits that row's event.
  ActionNewEvent = new QAction(tr("&New..."), this);
  ActionNewEvent->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  ActionNewEvent->setStatusTip(tr("Create a new event"));
  connect(ActionNewEvent, &QAction::triggered, this, [this] { OpenEventDialog(strNextEventName, false); });
  connect(StringGridMain, &GridView::RowDoubleClicked, this,
          [this](int row) { OpenEventDialog(model_->SectionAt(row).toStdString(), true); });
  connect(StringGridMain, &GridView::KeyPressed, this, [this](QChar key) {
    const int row = StringGridMain->CurrentSourceRow();
    if (key == QChar(u'\r') && row >= 0) OpenEventDialog(model_->SectionAt(row).toStdString(), true);
  });

  fileMenu_ = menuBar()->addMenu(tr("&File"));
  fileMenu_->addAction(ActionNewEvent);
  fileMenu_->addAction(ActionHide);
}

void TFrmMain::FormCreate() {
  bExitRequested = false;
  StringGridMain->SetPrintTitle(QStringLiteral("Created by ") + Title());
  ReadFormPosition(*this);
  if (!services_.executablePath.empty()) RegisterAutoStart(kApplicationTitle, services_.executablePath);
  TrayIcon = new TTrayIcon(this, this);
  if (services_.trayProbe) TrayIcon->SetTrayProbe(services_.trayProbe);
  if (services_.balloons != nullptr) TrayIcon->SetBalloonSink(services_.balloons);
  TrayIcon->SetContextMenu(PopupMenuTrayIcon);
  connect(TrayIcon, &TTrayIcon::DoubleClicked, this, &TFrmMain::ActionShowExecute);
  connect(TrayIcon, &TTrayIcon::TipAboutToShow, this, [this] { TrayIcon->ModifyIcon(GetTrayTipText()); });
  connect(TrayIcon, &TTrayIcon::TrayAppeared, this, &TFrmMain::UseTray);
  connect(TrayIcon, &TTrayIcon::TrayLost, this, &TFrmMain::UseNoTray);
  TrayIcon->AddIcon();
  hasTray_ = TrayIcon->IsTrayAvailable();
  // Without a tray there is nothing to double-click, and the window shows at start anyway.
  if (hasTray_) TrayIcon->ShowBalloon(QString::fromLatin1(kReopenNotice), Title());
  if (!hasTray_) fileMenu_->addAction(ActionExit);  // nothing else would offer it
  // Reminders go through the icon, which cuts them to the balloon's limits before delivery.
  scheduler_ =
      std::make_unique<ReminderScheduler>(services_.configPath, services_.clock, services_.settings, *TrayIcon);
  InitGridColumns();
  LoadEventList();
  FitColumnWidths();  // only where no width is stored: the stored ones are applied next
  LoadGridSettings();
  Timer1.start();
}

void TFrmMain::UseTray() {
  hasTray_ = true;
  fileMenu_->removeAction(ActionExit);
}

void TFrmMain::UseNoTray() {
  if (!hasTray_) return;
  hasTray_ = false;
  fileMenu_->addAction(ActionExit);
  // A window hidden behind the icon that went would be out of reach; it comes back as at a start
  // without a tray.
  if (!bExitRequested && isHidden()) show();
}

void TFrmMain::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  std::string failure;
  WriteFormPosition(*this);
  try {
    SaveGridSettings();
  } catch (const std::exception& error) {
    // The save does not catch its write failure; the window still finishes closing before it is shown.
    failure = error.what();
  }
  Timer1.stop();
  if (TrayIcon != nullptr) TrayIcon->DeleteIcon();
  if (!failure.empty()) ReportUnexpectedFailure(failure);
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  if (bExitRequested) {
    FormDestroy();
    event->accept();
    QCoreApplication::quit();
    return;
  }
  event->ignore();
  if (!hasTray_) {
    showMinimized();  // with no tray icon to come back from, the window must stay reachable
    return;
  }
  hide();
  TrayIcon->ShowBalloon(QString::fromLatin1(kReopenNotice), Title());
}

void TFrmMain::ActionShowExecute() {
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TFrmMain::ActionExitExecute() {
  bExitRequested = true;
  close();
}

void TFrmMain::WMQueryEndSession() {
  // Stays set even if the session end is cancelled: from now on closing the window ends the program.
  bExitRequested = true;
  // Nobody may be there to answer a dialog: failures now go to stderr and the trace channel, and the
  // dialogs already open are dismissed so that their loops give way to the end.
  SetProgramEnding();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) dialog->reject();
  }
  close();
}

void TFrmMain::InitGridColumns() {
  // The built-in widths were drawn for a 96-dots-per-inch screen; a denser one widens them alike.
  const double scale = std::max(1.0, StringGridMain->logicalDpiX() / 96.0);
  for (int column = 0; column < kColumnCount; ++column) {
    const int builtIn = kBuiltInColumnWidths[static_cast<std::size_t>(column)];
    StringGridMain->SetColumnWidth(column, static_cast<int>(std::lround(builtIn * scale)));
  }
}

void TFrmMain::FitColumnWidths() {
  // The widest figures the rows show now, and those of a span of a hundred years, so that an ordinary
  // event does not outgrow its column while the program runs. The rows are sampled as the grid samples
  // its own texts; the grid itself keeps showing empty spans until the first tick.
  std::array<QStringList, kColumnCount> figures;
  const DateTime now = services_.clock.Now();
  TTimeDeltaValueRecord century;
  if (!CalcTimeDelta(now, now - 36525.0, services_.settings, century)) {
    const auto texts = SpanColumnTexts(century);
    for (std::size_t unit = 0; unit < texts.size(); ++unit) {
      figures[kFirstSpanColumn + unit] << QString::fromStdString(*texts[unit]);
    }
  }
  const std::vector<EventRow>& rows = model_->Events().rows;
  const std::size_t sampled = std::min<std::size_t>(rows.size(), GridView::kFitSampleRows);
  for (std::size_t row = 0; row < sampled; ++row) {
    const std::array<std::string, kColumnCount> texts = RowTexts(rows[row], now, services_.settings);
    for (int column = kFirstSpanColumn; column < kColumnCount; ++column) {
      figures[static_cast<std::size_t>(column)] << QString::fromStdString(texts[static_cast<std::size_t>(column)]);
    }
  }
  for (int column = 0; column < kColumnCount; ++column) {
    const int fitting = StringGridMain->FittingColumnWidth(column, figures[static_cast<std::size_t>(column)]);
    if (fitting > StringGridMain->ColumnWidth(column)) StringGridMain->SetColumnWidth(column, fitting);
  }
}

void TFrmMain::LoadEventList() {
  const IniFile file(services_.configPath());
  EventList list = almanex::LoadEventList(file, services_.clock.Now(), services_.settings);
  strNextEventName = list.nextEventName;
  model_->SetEvents(std::move(list));
}

bool TFrmMain::OpenEventDialog(const std::string& section, bool existingEvent) {
  TFrmEvent dialog(TFrmEvent::Services{services_.clock, services_.settings, services_.configPath}, this);
  dialog.strSection = section;
  dialog.openMode = existingEvent ? TFrmEvent::OpenMode::ExistingEvent : TFrmEvent::OpenMode::NewEvent;
  dialog.firstPage = TFrmEvent::PageEvent;
  dialog.ShowModal();
  if (dialog.bCancelled) return false;
  LoadEventList();
  scheduler_->SearchNextReminder();
  return true;
}

void TFrmMain::LoadGridSettings() {
  const IniFile file(services_.configPath());
  for (int column = 0; column < model_->columnCount(); ++column) {
    const int width = file.ReadInteger(kGridSettingsSection, ColumnWidthKey(column), 0);
    if (width != 0) StringGridMain->SetColumnWidth(column, width);
  }
}

void TFrmMain::SaveGridSettings() {
  const std::string path = services_.configPath();
  if (!EnsureFileExists(path)) {
    if (IsProgramEnding()) {
      // No box can be answered now; the message goes where the session log keeps it.
      const std::string message = "SaveGridSettings: " + FailToCreateFileMessage(path);
      Trace("TFrmMain", message);
      std::cerr << message << '\n' << std::flush;
      return;
    }
    CommShowMessage(kFailToCreateFileMessageKind, FailToCreateFileMessage(path));
    return;
  }
  IniFile file(path);
  for (int column = 0; column < model_->columnCount(); ++column) {
    file.WriteInteger(kGridSettingsSection, ColumnWidthKey(column), StringGridMain->ColumnWidth(column));
  }
  file.Flush();
}

void TFrmMain::RefreshSpans() { model_->SetNow(services_.clock.Now()); }

void TFrmMain::Timer1Timer() {
  RefreshSpans();
  TrayIcon->CheckTrayAppeared();  // TrayAppeared and TrayLost switch the window's behaviour
  TrayIcon->RefreshTip();
  scheduler_->Tick();
}

QString TFrmMain::GetTrayTipText() const {
  const DateTime now = services_.clock.Now();
  return QString::fromLatin1(kTrayTipHead) + QString::fromStdString(DateTimeToText(now, services_.settings)) +
         QStringLiteral(", ") + QString::fromStdString(FullDayName(now, services_.settings));
}

void TFrmMain::ShowCalculationFailure(const QString& section, const QString& message) {
  Q_UNUSED(section);
  if (IsProgramEnding()) return;  // the end is not held up by a box; the row shows empty spans
  std::string report;
  CommShowException(message.toStdString(), kCalcFailureContext, kCalcFailureAdvice, true, report);
}

}  // namespace almanex
