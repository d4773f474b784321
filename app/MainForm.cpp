#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>

#include "EventListModel.h"
#include "ReminderFollowUp.h"
#include "ReminderScheduler.h"
#include "base/AtomicFile.h"
#include "base/Trace.h"
#include "calendar/IcsExport.h"
#include "calendar/IcsImport.h"
#include "datetime/DateFormat.h"
#include "datetime/DateTime.h"
#include "datetime/DateTimeUnit.h"
#include "editor/EventForm.h"
#include "grid/GridPrintPreview.h"
#include "grid/GridView.h"
#include "grid/PrintSettingsDialog.h"
#include "platform/AboutForm.h"
#include "platform/AutoStart.h"
#include "platform/CommRegistry.h"
#include "platform/CommUnit.h"
#include "platform/FailureHandler.h"
#include "platform/ShellUnit.h"
#include "platform/TrayIconUnit.h"
#include "platform/core/FreedMemory.h"
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
/// The "Error" box with the stop icon.
constexpr int kErrorMessageKind = 6;

std::string ColumnWidthKey(int column) { return "ColWidth" + std::to_string(column); }

QString Title() { return QString::fromLatin1(kApplicationTitle); }

}  // namespace

TFrmMain::TFrmMain(Services services, QWidget* parent) : QMainWindow(parent), services_(std::move(services)) {
  setWindowTitle(Title());
  setWindowIcon(TTrayIcon::ApplicationIcon());
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

namespace {

/// An envelope, for a desktop whose icon theme has no mail icon.
QIcon DrawnMailIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 1.5));
  painter.setBrush(QColor(250, 246, 230));
  painter.drawRect(QRectF(3.5, 7.5, 25, 17));
  painter.drawPolyline(QPolygonF{QPointF(3.5, 7.5), QPointF(16, 17), QPointF(28.5, 7.5)});
  return QIcon(pixmap);
}

}  // namespace

void TFrmMain::CreateActions() {
  // One command object per user command; its hint is both the status bar text and the tool tip.
  const auto makeAction = [this](const char* caption, const char* hint, void (TFrmMain::*execute)()) {
    auto* action = new QAction(tr(caption), this);
    action->setStatusTip(tr(hint));
    action->setToolTip(tr(hint));
    connect(action, &QAction::triggered, this, execute);
    return action;
  };
  const auto themeIcon = [this](const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), style()->standardIcon(fallback));
  };
  ActionNewEvent = makeAction("&New...", "Create an event", &TFrmMain::ActionNewEventExecute);
  ActionNewEvent->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  ActionNewEvent->setIcon(themeIcon("document-new", QStyle::SP_FileIcon));
  ActionEditEvent = makeAction("&Edit...", "Edit the selected event", &TFrmMain::ActionEditEventExecute);
  ActionEditEvent->setIcon(themeIcon("document-properties", QStyle::SP_FileDialogDetailedView));
  ActionDelEvent = makeAction("&Delete", "Delete the selected event", &TFrmMain::ActionDelEventExecute);
  ActionDelEvent->setShortcut(QKeySequence(Qt::Key_Delete));
  ActionDelEvent->setIcon(themeIcon("edit-delete", QStyle::SP_TrashIcon));
  ActionEventDetails =
      makeAction("Details...", "The details of the selected event.", &TFrmMain::ActionEventDetailsExecute);
  ActionCopyToClipboard = makeAction("Copy to Clipboard", "Copy to clipboard", &TFrmMain::ActionCopyToClipboardExecute);
  ActionPrintSettings = makeAction("Print Settings", "Print settings", &TFrmMain::ActionPrintSettingsExecute);
  ActionPrintPreview = makeAction("Print Preview", "Print preview", &TFrmMain::ActionPrintPreviewExecute);
  ActionPrint = makeAction("Print", "Print", &TFrmMain::ActionPrintExecute);
  ActionExportIcs =
      makeAction("Export iCalendar...", "Save the events as an iCalendar file", &TFrmMain::ActionExportIcsExecute);
  ActionImportIcs =
      makeAction("Import iCalendar...", "Add the events of an iCalendar file", &TFrmMain::ActionImportIcsExecute);
  ActionHide = makeAction("&Hide", "Hide the program", &TFrmMain::ActionHideExecute);
  ActionShow = makeAction("&Show main window", "Show the main window", &TFrmMain::ActionShowExecute);
  ActionExit = makeAction("E&xit", "Exit", &TFrmMain::ActionExitExecute);
  ActionHomePage = makeAction("Home &Page", "Visit home page", &TFrmMain::ActionHomePageExecute);
  ActionMailToAuthor = makeAction("&Mail to Author", "Write a mail to author", &TFrmMain::ActionMailToAuthorExecute);
  ActionMailToAuthor->setIcon(QIcon::fromTheme(QStringLiteral("mail-message-new"), DrawnMailIcon()));
  ActionAbout = makeAction("&About...", "About this program", &TFrmMain::ActionAboutExecute);

  connect(StringGridMain, &GridView::RowDoubleClicked, this, &TFrmMain::StringGridMainDblClick);
  connect(StringGridMain, &GridView::KeyPressed, this, &TFrmMain::StringGridMainKeyPress);
  CreateMenus();
}

void TFrmMain::CreateMenus() {
  const auto fill = [](QWidget* menu, const std::initializer_list<QAction*> entries) {
    for (QAction* entry : entries) {
      if (entry == nullptr) {
        auto* separator = new QAction(menu);
        separator->setSeparator(true);
        menu->addAction(separator);
      } else {
        menu->addAction(entry);
      }
    }
  };
  QAction* const separator = nullptr;

  MainMenu1 = menuBar();
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  fileMenu_ = MainMenu1->addMenu(tr("&File"));
  fill(fileMenu_, {ActionNewEvent, ActionEditEvent, separator, ActionDelEvent, separator, ActionEventDetails,
                   ActionCopyToClipboard, separator, ActionPrintSettings, ActionPrintPreview, ActionPrint,
                   ActionExportIcs, ActionImportIcs, separator, ActionHide});
  QMenu* helpMenu = MainMenu1->addMenu(tr("&Help"));
  fill(helpMenu, {ActionHomePage, ActionMailToAuthor, separator, ActionAbout});

  ToolBar1 = addToolBar(tr("Toolbar"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setIconSize(QSize(32, 32));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  fill(ToolBar1, {ActionNewEvent, ActionEditEvent, separator, ActionDelEvent, separator, ActionMailToAuthor});

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  fill(PopupMenu1, {ActionNewEvent, ActionEditEvent, separator, ActionDelEvent, separator, ActionEventDetails,
                    ActionCopyToClipboard, separator, ActionHide, separator, ActionPrintSettings, ActionPrintPreview,
                    ActionPrint, separator, ActionMailToAuthor});
  // The frozen first column is a view of its own over the grid; a right click on it opens the same menu.
  for (QAbstractScrollArea* view : {static_cast<QAbstractScrollArea*>(StringGridMain),
                                    static_cast<QAbstractScrollArea*>(StringGridMain->FrozenColumnView())}) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& at) { PopupMenu1->popup(view->viewport()->mapToGlobal(at)); });
  }

  PopupMenuTrayIcon = new QMenu(this);
  PopupMenuTrayIcon->setObjectName(QStringLiteral("PopupMenuTrayIcon"));
  fill(PopupMenuTrayIcon,
       {ActionShow, separator, ActionHomePage, ActionMailToAuthor, separator, ActionAbout, separator, ActionExit});
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
  // Snoozes and missed reminders; "Open Almanex" shows and raises this window.
  if (services_.reminderMemory == nullptr) ownReminderMemory_ = std::make_unique<RegistryReminderMemory>();
  reminderFollowUp_ = std::make_unique<ReminderFollowUp>(
      services_.configPath, services_.clock, services_.settings, *TrayIcon,
      services_.reminderMemory != nullptr ? *services_.reminderMemory : *ownReminderMemory_,
      [this] { ActionShowExecute(); });
  scheduler_->SetFollowUp(reminderFollowUp_.get());
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
  EventList list;
  {
    // Mapped, not copied: a list of many events is not loaded beside a copy of the whole file.
    const IniFile file(services_.configPath(), IniFile::ReadOnlyMapped{});
    list = almanex::LoadEventList(file, services_.clock.Now(), services_.settings);
  }
  ReturnFreedMemory();  // the snapshot's megabytes are not kept for the next load
  strNextEventName = list.nextEventName;
  const int current = StringGridMain->CurrentSourceRow();
  model_->SetEvents(std::move(list));
  const int rows = model_->rowCount();
  if (rows > 0) StringGridMain->SetCurrentSourceRow(current < 0 ? 0 : std::min(current, rows - 1));
}

std::string TFrmMain::SelectedEventSection() const {
  const int row = StringGridMain->CurrentSourceRow();
  if (row < 0 || row >= model_->rowCount()) return {};
  return model_->SectionAt(row).toStdString();
}

bool TFrmMain::RunEventDialog(const std::string& section, bool existingEvent, int firstPage) {
  bool cancelled = true;
  {
    TFrmEvent dialog(TFrmEvent::Services{services_.clock, services_.settings, services_.configPath}, this);
    dialog.strSection = section;
    dialog.openMode = existingEvent ? TFrmEvent::OpenMode::ExistingEvent : TFrmEvent::OpenMode::NewEvent;
    dialog.firstPage = firstPage;
    if (services_.showEventDialog) {
      services_.showEventDialog(dialog);
    } else {
      dialog.ShowModal();
    }
    cancelled = dialog.bCancelled;
  }  // destroyed here: it writes the type list on the way
  return cancelled;
}

void TFrmMain::ActionNewEventExecute() {
  if (RunEventDialog(strNextEventName, false, TFrmEvent::PageEvent)) return;
  LoadEventList();
  // The new section was appended at the end of the file, so its row is the last.
  StringGridMain->SetCurrentSourceRow(model_->rowCount() - 1);
  scheduler_->SearchNextReminder();
}

void TFrmMain::ActionEditEventExecute() {
  const std::string section = SelectedEventSection();
  if (section.empty()) return;
  if (RunEventDialog(section, true, TFrmEvent::PageEvent)) return;
  LoadEventList();
  scheduler_->SearchNextReminder();
}

void TFrmMain::ActionEventDetailsExecute() {
  const std::string section = SelectedEventSection();
  if (section.empty()) return;
  if (RunEventDialog(section, true, TFrmEvent::PageDetails)) return;
  LoadEventList();  // the pending reminder waits for the next search
}

void TFrmMain::ActionDelEventExecute() {
  const std::string section = SelectedEventSection();
  if (section.empty()) return;
  if (!CommAskYesNo(kConfirmDeleteText, kConfirmDeleteCaption)) return;
  {
    // A failed write is not caught here: it goes on to the handler of unexpected failures.
    IniFile file(services_.configPath());
    file.EraseSection(section);
    file.Flush();
  }
  // The erased event's reminder must never show; the next due one becomes pending at once.
  if (section == theNextReminder.strSection) {
    theNextReminder.bFound = false;
    scheduler_->SearchNextReminder();
  }
  LoadEventList();
}

void TFrmMain::ActionCopyToClipboardExecute() { StringGridMain->CopySelectionToClipboard(); }

QDateTime TFrmMain::PrintMoment() const {
  const CivilDateTime now = DecodeDateTime(services_.clock.Now());
  return QDateTime(QDate(static_cast<int>(now.date.year()), static_cast<int>(static_cast<unsigned>(now.date.month())),
                         static_cast<int>(static_cast<unsigned>(now.date.day()))),
                   QTime(static_cast<int>(now.time.hour), static_cast<int>(now.time.minute),
                         static_cast<int>(now.time.second), static_cast<int>(now.time.millisecond)));
}

QString TFrmMain::AskIcsFile(bool save) {
  if (services_.askIcsFile) return services_.askIcsFile(save);
  const QString filter = tr("iCalendar files (*.ics);;All files (*)");
  return save ? QFileDialog::getSaveFileName(this, tr("Export iCalendar"), QStringLiteral("almanex.ics"), filter)
              : QFileDialog::getOpenFileName(this, tr("Import iCalendar"), QString(), filter);
}

void TFrmMain::ActionExportIcsExecute() {
  const QString path = AskIcsFile(true);
  if (path.isEmpty()) return;
  const std::string text =
      calendar::ExportCalendar(IniFile(services_.configPath()), services_.clock.Now(), services_.settings);
  std::string reason;
  if (!WriteFileAtomically(path.toStdString(), text, {}, &reason)) {
    CommShowMessage(kErrorMessageKind, "Cannot write " + path.toStdString() + ": " + reason);
  }
}

void TFrmMain::ActionImportIcsExecute() {
  const QString path = AskIcsFile(false);
  if (path.isEmpty()) return;
  const calendar::ImportReport report = calendar::ImportCalendarFile(path.toStdString(), services_.configPath(), false,
                                                                     services_.clock.Now(), services_.settings);
  if (!report.ok()) {
    CommShowMessage(kErrorMessageKind, "Nothing was imported from " + path.toStdString() + ".\r" + report.error);
    return;
  }
  LoadEventList();
  scheduler_->SearchNextReminder();
  std::string text = "Imported " + std::to_string(report.added.size()) + " events.";
  for (const std::string& note : report.notes) text += "\r" + note;
  CommShowMessage(0, text);
}

void TFrmMain::ActionPrintSettingsExecute() {
  RunPrintSettingsDialog(
      *StringGridMain, [this] { return PrintMoment(); }, this);
}

void TFrmMain::ActionPrintPreviewExecute() {
  ShowPrintPreview(
      *StringGridMain, [this] { return PrintMoment(); }, this);
}

void TFrmMain::ActionPrintExecute() {
  const QPrinterInfo printer = services_.printer ? services_.printer() : DefaultPrinterInfo();
  const PdfFileAsker askPdf = services_.askPdf ? services_.askPdf : PdfFileAsker(AskForPdfFile);
  const PrintResult result = PrintGrid(*StringGridMain, PrintMoment(), this, askPdf, printer);
  // Without a printer the asker has told the user already; a print that could not start is told here.
  if (result.status == PrintStatus::Failed) CommShowMessage(kErrorMessageKind, result.message.toStdString());
}

void TFrmMain::ActionHideExecute() { close(); }

void TFrmMain::ActionHomePageExecute() {
  ShellRun(this, "Open", kHomePageUrl, std::nullopt, std::nullopt, kShowNormal);
}

void TFrmMain::ActionMailToAuthorExecute() {
  ShellRun(this, std::nullopt, MailToLink(kCommentsMailbox), std::nullopt, std::nullopt, kShowNormal);
}

void TFrmMain::ActionAboutExecute() {
  // Version information missing from the executable is not caught: it goes on to the handler of
  // unexpected failures.
  const std::string executable = services_.aboutExecutablePath.empty()
                                     ? QCoreApplication::applicationFilePath().toStdString()
                                     : services_.aboutExecutablePath;
  TFrmAbout about(this, executable, services_.settings);
  about.exec();
}

void TFrmMain::StringGridMainDblClick() { ActionEditEventExecute(); }

void TFrmMain::StringGridMainKeyPress(QChar key) {
  if (key == QChar(u'\r')) ActionEditEventExecute();
}

void TFrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window the desktop maps again (restored from the taskbar) is not a window being opened.
  if (!event->spontaneous()) FormShow();
}

void TFrmMain::FormShow() {
  if (model_->rowCount() > 0 || firstRunPromptQueued_) return;
  TrayIcon->ShowBalloon(QString::fromLatin1(kFirstRunNotice), Title());
  // The dialog opens over the window, so it waits until the window is on the screen.
  firstRunPromptQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    firstRunPromptQueued_ = false;
    if (isVisible() && !bExitRequested && model_->rowCount() == 0) ActionNewEventExecute();
  });
}

void TFrmMain::LoadGridSettings() {
  const IniFile file(services_.configPath(), IniFile::ReadOnlyMapped{});
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

void TFrmMain::RefreshSpans() {
  // Only the rows on screen are told of the change (none while the window is hidden): the others
  // compute their spans anew when they come into view.
  model_->SetNow(services_.clock.Now(), StringGridMain->VisibleSourceRowRuns());
}

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
