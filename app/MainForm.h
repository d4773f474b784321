#pragma once
// The main window: the event grid refreshed once a second, the tray icon it lives behind, and the
// reminder scheduler that runs on the same tick.
//
// States: Hidden (created, or closed while no exit was asked for: only the tray icon shows), Shown
// (ActionShow), Ending (a close once bExitRequested is set: placement and column widths are saved,
// the timer stops, the icon goes, the event loop ends). Without a tray the window is shown at start,
// closing it minimises it, and the File menu offers Exit; a tray that appears later is used from then on.

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "datetime/Clock.h"
#include "datetime/FormatSettings.h"
#include "grid/GridPrinter.h"
#include "store/EventList.h"

class QAction;
class QMenu;
class QMenuBar;
class QShowEvent;
class QToolBar;

namespace almanex {

/// The application title: the window caption, the title of notices, the name of the autostart entry.
inline constexpr const char* kApplicationTitle = "Almanex";
/// The notice shown at start and at every hiding.
inline constexpr const char* kReopenNotice = "Double-click here to re-open Almanex software";
/// The first line of the tray tip.
inline constexpr const char* kTrayTipHead = "Almanex, my work partner.\r\n";
/// The grid's column widths in pixels before the user has saved any, in column order.
inline constexpr std::array<int, kColumnCount> kBuiltInColumnWidths{62, 128, 102, 53, 82, 50, 59, 57, 56, 62, 69, 97};

class BalloonSink;
class EventListModel;
class GridView;
class ReminderFollowUp;
class ReminderMemory;
class ReminderScheduler;
class TFrmEvent;
class TTrayIcon;

/// The first-run prompt's balloon, shown when the window opens on an empty list.
inline constexpr const char* kFirstRunNotice = "Start to create a new event, click OK to finish your edition.";
/// The delete confirmation.
inline constexpr const char* kConfirmDeleteText = "Do you want to delete the selected entry?";
inline constexpr const char* kConfirmDeleteCaption = "Confirm";

class TFrmMain : public QMainWindow {
  Q_OBJECT

 public:
  /// What the window works with.
  struct Services {
    /// The clock of every tick.
    const Clock& clock;
    /// The user's regional formats.
    FormatSettings settings;
    /// The configuration file's path, asked anew at every access.
    std::function<std::string()> configPath;
    /// The running executable, registered for autostart; empty registers nothing.
    std::string executablePath = {};
    /// Where balloons go; null: the tray icon's own delivery.
    BalloonSink* balloons = nullptr;
    /// Whether a tray exists; null: ask Qt.
    std::function<bool()> trayProbe = {};
    /// Shows the event dialog, set up by the command, until it closes; null: its own ShowModal().
    std::function<void(TFrmEvent&)> showEventDialog = {};
    /// The executable whose version information the about box shows; empty: the running one.
    std::string aboutExecutablePath = {};
    /// The printer Print prints to; null: DefaultPrinterInfo().
    std::function<QPrinterInfo()> printer = {};
    /// Asks for a PDF file when there is no printer; null: AskForPdfFile.
    PdfFileAsker askPdf = {};
    /// Where pending snoozes and the moment of the last run are kept; null: the settings store.
    ReminderMemory* reminderMemory = nullptr;
    /// Asks for the iCalendar file to write (true) or read (false); empty: cancelled. Null: a file dialog.
    std::function<QString(bool save)> askIcsFile = {};
  };

  /// Runs the creation steps; the window stays hidden when a tray exists.
  explicit TFrmMain(Services services, QWidget* parent = nullptr);
  ~TFrmMain() override;

  /// Sets the twelve columns with their titles and built-in widths.
  void InitGridColumns();
  /// Widens each column, where needed, until its title with a sort marker and its widest figure fit in
  /// the grid's font; never narrower than the built-in width.
  void FitColumnWidths();
  /// Rebuilds the rows and strNextEventName from the configuration file. The current row keeps its
  /// number (the last row when the list got shorter; the first when there was none), so that the
  /// keyboard always has an event to act on while the list holds one.
  void LoadEventList();
  /// The span columns of every row count to the clock's now from here on; the rows on screen are
  /// repainted, the others compute theirs when they come into view.
  void RefreshSpans();
  /// The handler of Timer1, once a second: refresh, tray tip, then the reminder scheduler. A failed
  /// write of a reminded mark is thrown on, to the handler of unexpected failures.
  void Timer1Timer();
  /// Applies the column widths stored in the configuration file; 0 or missing keeps the built-in width.
  void LoadGridSettings();
  /// Stores every column width in the configuration file, creating the file when it is missing.
  void SaveGridSettings();
  /// The end of the session: from now on a close ends the program; then closes.
  void WMQueryEndSession();
  /// The tray tip: the first line, then the date and time, ", " and the day's full name.
  QString GetTrayTipText() const;
  /// Whether the window lives behind a tray icon (closing hides) or not (closing minimises).
  bool HasTray() const { return hasTray_; }

  GridView* StringGridMain = nullptr;
  QTimer Timer1;
  /// The section name the next new event receives.
  std::string strNextEventName;
  bool bExitRequested = false;

  /// The section name of the grid's current row: the selected event. Empty when the list holds no event
  /// or no row is current; the commands then do nothing.
  std::string SelectedEventSection() const;

  // The commands, each with its caption, hint (status and tool tip) and shortcut. Menus, the toolbar and
  // the context menus only point at them.
  QAction* ActionNewEvent = nullptr;
  QAction* ActionEditEvent = nullptr;
  QAction* ActionDelEvent = nullptr;
  QAction* ActionEventDetails = nullptr;
  QAction* ActionCopyToClipboard = nullptr;
  QAction* ActionPrintSettings = nullptr;
  QAction* ActionPrintPreview = nullptr;
  QAction* ActionPrint = nullptr;
  QAction* ActionExportIcs = nullptr;
  QAction* ActionImportIcs = nullptr;
  QAction* ActionHide = nullptr;
  QAction* ActionShow = nullptr;
  QAction* ActionExit = nullptr;
  QAction* ActionHomePage = nullptr;
  QAction* ActionMailToAuthor = nullptr;
  QAction* ActionAbout = nullptr;

  QMenuBar* MainMenu1 = nullptr;
  QToolBar* ToolBar1 = nullptr;
  /// The grid's context menu.
  QMenu* PopupMenu1 = nullptr;
  QMenu* PopupMenuTrayIcon = nullptr;
  TTrayIcon* TrayIcon = nullptr;

  EventListModel& Model() { return *model_; }
  ReminderScheduler& Scheduler() { return *scheduler_; }

 protected:
  /// The close rule: with bExitRequested the window closes for good, otherwise it only hides.
  void closeEvent(QCloseEvent* event) override;
  /// Runs FormShow each time the window becomes visible (not when the desktop restores it).
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormDestroy();
  void CreateActions();
  void CreateMenus();
  void UseTray();
  void UseNoTray();
  void ActionNewEventExecute();
  void ActionEditEventExecute();
  void ActionDelEventExecute();
  void ActionEventDetailsExecute();
  void ActionCopyToClipboardExecute();
  void ActionPrintSettingsExecute();
  void ActionPrintPreviewExecute();
  void ActionPrintExecute();
  void ActionExportIcsExecute();
  void ActionImportIcsExecute();
  /// The iCalendar file the user picks, empty when cancelled.
  QString AskIcsFile(bool save);
  void ActionHideExecute();
  void ActionShowExecute();
  void ActionExitExecute();
  void ActionHomePageExecute();
  void ActionMailToAuthorExecute();
  void ActionAboutExecute();
  void StringGridMainDblClick();
  void StringGridMainKeyPress(QChar key);
  /// Creates the event dialog on `section`, shows it and destroys it; returns its cancelled flag.
  bool RunEventDialog(const std::string& section, bool existingEvent, int firstPage);
  /// The moment printed in the footers: the clock's now.
  QDateTime PrintMoment() const;
  void ShowCalculationFailure(const QString& section, const QString& message);

  Services services_;
  EventListModel* model_ = nullptr;
  std::unique_ptr<ReminderScheduler> scheduler_;
  std::unique_ptr<ReminderMemory> ownReminderMemory_;
  std::unique_ptr<ReminderFollowUp> reminderFollowUp_;
  QMenu* fileMenu_ = nullptr;
  /// Set while the first-run prompt waits for the window to be on the screen.
  bool firstRunPromptQueued_ = false;
  bool hasTray_ = false;
  bool destroyed_ = false;
};

}  // namespace almanex
