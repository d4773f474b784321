// The main window's commands as a user meets them: their texts and places, what each does to the grid and
// the file, the delete confirmation, the first-run prompt, and the links, about box and print dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <optional>

#include "app/EventListModel.h"
#include "app/MainForm.h"
#include "app/ReminderScheduler.h"
#include "datetime/DateTimeUnit.h"
#include "editor/EventForm.h"
#include "grid/GridView.h"
#include "grid/MultiKeySortProxy.h"
#include "grid/PrintSettingsDialog.h"
#include "platform/AboutForm.h"
#include "platform/CommUnit.h"
#include "platform/ShellUnit.h"
#include "store/IniFile.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"
#include "tests/grid/PrintTestSupport.h"

namespace almanex {
namespace {

/// How the event dialog was opened.
struct DialogOpening {
  std::string section;
  TFrmEvent::OpenMode mode;
  int page;
};

class RecordingLauncher final : public ShellLauncher {
 public:
  RecordingLauncher() { SetShellLauncher(this); }
  ~RecordingLauncher() override { SetShellLauncher(nullptr); }
  RecordingLauncher(const RecordingLauncher&) = delete;
  RecordingLauncher& operator=(const RecordingLauncher&) = delete;
  int Launch(const std::string& link) override {
    links.push_back(link);
    return kShellSuccess;
  }
  std::vector<std::string> links;
};

/// A daily event whose reminder is due today at `remindTime`.
std::string DailyEvent(const std::string& section, const std::string& title, const std::string& remindTime) {
  return "[" + section + "]\r\nTitle=" + title + "\r\nDate=1/1/2020\r\nTime=12:00:00 AM\r\nTypeDesc=Birthday\r\n" +
         "RemindTime=" + remindTime +
         "\r\nReminded=0\r\nRPStartDate=1/1/2026\r\nRPRecurrenceType=0\r\nRPInterval=1\r\n";
}

/// The window over a copy of the three-event fixture (Event1 "Wedding anniversary", MyEvent "Alarm",
/// Event3 "Birthday"), a clock at 25 December 2026 noon, and the event dialog replaced by `dialogAction`.
class MainFormCommands : public ::testing::Test {
 protected:
  MainFormCommands() : applicationName_(QCoreApplication::applicationName()) {
    QCoreApplication::setApplicationName(QStringLiteral("Almanex"));  // as the program names itself
    setenv("XDG_CONFIG_HOME", tree.File("home-config").c_str(), 1);
    theNextReminder = TNextReminder{};
    theReminderWay = TReminderWay{};
  }
  ~MainFormCommands() override {
    theNextReminder = TNextReminder{};
    theReminderWay = TReminderWay{};
    QCoreApplication::setApplicationName(applicationName_);
  }

  std::unique_ptr<TFrmMain> Open(const std::string& path) {
    auto form = std::make_unique<TFrmMain>(TFrmMain::Services{
        .clock = clock,
        .settings = FormatSettings{},
        .configPath = [path] { return path; },
        .balloons = &balloons,
        .trayProbe = [] { return true; },
        .showEventDialog =
            [this](TFrmEvent& dialog) {
              openings.push_back({dialog.strSection, dialog.openMode, dialog.firstPage});
              if (dialogAction) dialogAction(dialog);
            },
        .aboutExecutablePath = ALMANEX_EXECUTABLE,
        .askIcsFile = [this](bool save) { return save ? icsSaveAnswer : icsOpenAnswer; },
    });
    form->Timer1.stop();  // the test drives the ticks
    return form;
  }
  std::unique_ptr<TFrmMain> Open() { return Open(config); }

  static QStringList ShownColumn(TFrmMain& form, int column) {
    QStringList texts;
    const QAbstractItemModel* shown = form.StringGridMain->model();
    for (int row = 0; row < shown->rowCount(); ++row) texts << shown->index(row, column).data().toString();
    return texts;
  }
  /// Makes the row shown at `shownRow` (after any sort) the current one.
  static void SelectShownRow(TFrmMain& form, int shownRow) {
    GridView& grid = *form.StringGridMain;
    grid.SetCurrentSourceRow(grid.SortProxy()->mapToSource(grid.model()->index(shownRow, 0)).row());
  }
  static void ShowAndActivate(TFrmMain& form) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }

  test::TempDir tree;
  std::string config = [this] {
    const std::string copy = tree.File("Config.INI");
    test::WriteFileBytes(copy, test::ReadFileBytes(std::string(ALMANEX_FIXTURES) + "/events.ini"));
    return copy;
  }();
  ManualClock clock{test::MakeDateTime(2026, 12, 25, 12)};
  test::RecordingMessageBoxes boxes;
  test::RecordingBalloons balloons;
  test::RecordingFailureDialogs failures;
  std::vector<DialogOpening> openings;
  std::function<void(TFrmEvent&)> dialogAction;
  /// What the iCalendar file dialogs answer: the file to write, the file to read ("" cancels).
  QString icsSaveAnswer;
  QString icsOpenAnswer;

 private:
  QString applicationName_;
};

/// Appends a section to the file and presses OK, as the dialog does for a new event.
std::function<void(TFrmEvent&)> OkWritingSection(const std::string& path, std::string sectionText) {
  return [path, sectionText](TFrmEvent& dialog) {
    test::WriteFileBytes(path, test::ReadFileBytes(path) + sectionText);
    dialog.bCancelled = false;
  };
}

// ---- texts, places and order

struct CommandText {
  const char* name;
  QAction* TFrmMain::*action;
  const char* caption;
  const char* hint;
  QKeySequence shortcut;
};

void PrintTo(const CommandText& command, std::ostream* out) { *out << command.name; }

class CommandTexts : public MainFormCommands, public ::testing::WithParamInterface<CommandText> {};

TEST_P(CommandTexts, CaptionHintAndShortcut) {
  auto form = Open();
  const CommandText& expected = GetParam();
  const QAction* action = form.get()->*expected.action;
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->text(), expected.caption);
  EXPECT_EQ(action->statusTip(), expected.hint);
  EXPECT_EQ(action->toolTip(), expected.hint);
  EXPECT_EQ(action->shortcut(), expected.shortcut);
  EXPECT_TRUE(action->isEnabled());
}

const CommandText kCommandTexts[] = {
    {"New", &TFrmMain::ActionNewEvent, "&New...", "Create an event", QKeySequence(Qt::CTRL | Qt::Key_N)},
    {"Edit", &TFrmMain::ActionEditEvent, "&Edit...", "Edit the selected event", {}},
    {"Delete", &TFrmMain::ActionDelEvent, "&Delete", "Delete the selected event", QKeySequence(Qt::Key_Delete)},
    {"Details", &TFrmMain::ActionEventDetails, "Details...", "The details of the selected event.", {}},
    {"Copy", &TFrmMain::ActionCopyToClipboard, "Copy to Clipboard", "Copy to clipboard", {}},
    {"PrintSettings", &TFrmMain::ActionPrintSettings, "Print Settings", "Print settings", {}},
    {"PrintPreview", &TFrmMain::ActionPrintPreview, "Print Preview", "Print preview", {}},
    {"Print", &TFrmMain::ActionPrint, "Print", "Print", {}},
    {"ExportIcs", &TFrmMain::ActionExportIcs, "Export iCalendar...", "Save the events as an iCalendar file", {}},
    {"ImportIcs", &TFrmMain::ActionImportIcs, "Import iCalendar...", "Add the events of an iCalendar file", {}},
    {"Hide", &TFrmMain::ActionHide, "&Hide", "Hide the program", {}},
    {"Show", &TFrmMain::ActionShow, "&Show main window", "Show the main window", {}},
    {"Exit", &TFrmMain::ActionExit, "E&xit", "Exit", {}},
    {"HomePage", &TFrmMain::ActionHomePage, "Home &Page", "Visit home page", {}},
    {"Mail", &TFrmMain::ActionMailToAuthor, "&Mail to Author", "Write a mail to author", {}},
    {"About", &TFrmMain::ActionAbout, "&About...", "About this program", {}},
};
INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandTexts, ::testing::ValuesIn(kCommandTexts),
                         [](const auto& info) { return std::string(info.param.name); });

QStringList Entries(const QList<QAction*>& actions) {
  QStringList entries;
  for (const QAction* action : actions) entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return entries;
}

TEST_F(MainFormCommands, MenusToolbarAndContextMenusListTheCommandsInOrder) {
  auto form = Open();
  const QList<QAction*> menus = form->MainMenu1->actions();
  ASSERT_EQ(Entries(menus), (QStringList{"&File", "&Help"}));
  EXPECT_EQ(
      Entries(menus[0]->menu()->actions()),
      (QStringList{"&New...", "&Edit...", "-", "&Delete", "-", "Details...", "Copy to Clipboard", "-", "Print Settings",
                   "Print Preview", "Print", "Export iCalendar...", "Import iCalendar...", "-", "&Hide"}));
  EXPECT_EQ(Entries(menus[1]->menu()->actions()), (QStringList{"Home &Page", "&Mail to Author", "-", "&About..."}));
  EXPECT_EQ(Entries(form->ToolBar1->actions()),
            (QStringList{"&New...", "&Edit...", "-", "&Delete", "-", "&Mail to Author"}));
  EXPECT_EQ(Entries(form->PopupMenu1->actions()),
            (QStringList{"&New...", "&Edit...", "-", "&Delete", "-", "Details...", "Copy to Clipboard", "-", "&Hide",
                         "-", "Print Settings", "Print Preview", "Print", "-", "&Mail to Author"}));
  EXPECT_EQ(Entries(form->PopupMenuTrayIcon->actions()),
            (QStringList{"&Show main window", "-", "Home &Page", "&Mail to Author", "-", "&About...", "-", "E&xit"}));
  // The places share the one command object each.
  EXPECT_EQ(form->PopupMenu1->actions().at(0), form->ActionNewEvent);
  EXPECT_EQ(form->PopupMenuTrayIcon->actions().at(3), form->ActionMailToAuthor);

  EXPECT_EQ(form->ToolBar1->iconSize(), QSize(32, 32));
  EXPECT_EQ(form->ToolBar1->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  for (QAction* action : form->ToolBar1->actions()) {
    if (action->isSeparator()) continue;
    EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
    const auto* button = qobject_cast<QToolButton*>(form->ToolBar1->widgetForAction(action));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->autoRaise()) << "flat buttons";
  }
  EXPECT_EQ(form->StringGridMain->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(MainFormCommands, ARightClickOnTheGridOrItsFrozenColumnOpensTheGridMenu) {
  auto form = Open();
  ShowAndActivate(*form);
  for (QAbstractScrollArea* view : {static_cast<QAbstractScrollArea*>(form->StringGridMain),
                                    static_cast<QAbstractScrollArea*>(form->StringGridMain->FrozenColumnView())}) {
    const QPoint at(5, 5);  // over the first row
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    EXPECT_TRUE(form->PopupMenu1->isVisible()) << view->metaObject()->className();
    form->PopupMenu1->hide();
  }
}

TEST_F(MainFormCommands, TheStatusBarShowsTheHintOfTheToolbarButtonUnderTheMouse) {
  auto form = Open();
  ShowAndActivate(*form);
  QWidget* button = form->ToolBar1->widgetForAction(form->ActionDelEvent);
  ASSERT_NE(button, nullptr);
  QTest::mouseMove(button, button->rect().center());
  QApplication::processEvents();
  EXPECT_EQ(form->statusBar()->currentMessage(), "Delete the selected event");
}

// ---- New, Edit, Details

TEST_F(MainFormCommands, NewThenOkShowsTheNewEventAsTheSelectedLastRowAndSearchesTheReminder) {
  auto form = Open();
  dialogAction = OkWritingSection(config, DailyEvent("Event4", "Party", "1:00:00 PM"));
  form->ActionNewEvent->trigger();
  ASSERT_EQ(openings.size(), 1u);
  EXPECT_EQ(openings[0].section, "Event4");
  EXPECT_EQ(openings[0].mode, TFrmEvent::OpenMode::NewEvent);
  EXPECT_EQ(openings[0].page, TFrmEvent::PageEvent);
  EXPECT_EQ(ShownColumn(*form, 0), (QStringList{"Event1", "MyEvent", "Event3", "Event4"}));
  EXPECT_EQ(form->StringGridMain->CurrentSourceRow(), 3);
  EXPECT_EQ(form->StringGridMain->SelectedSourceRows(), QList<int>{3});
  EXPECT_EQ(form->strNextEventName, "Event5");
  EXPECT_TRUE(theNextReminder.bFound) << "the reminder search ran after OK";
  EXPECT_EQ(theNextReminder.strSection, "Event4");
}

TEST_F(MainFormCommands, CancelChangesNothingAndReloadsNothing) {
  auto form = Open();
  form->StringGridMain->TitleClicked(1, Qt::NoModifier);  // sorted by title; a reload would undo it
  const QStringList sorted = ShownColumn(*form, 0);
  ASSERT_EQ(sorted, (QStringList{"MyEvent", "Event3", "Event1"}));
  SelectShownRow(*form, 0);
  const std::string before = test::ReadFileBytes(config);
  for (QAction* command : {form->ActionNewEvent, form->ActionEditEvent, form->ActionEventDetails}) {
    command->trigger();
  }
  ASSERT_EQ(openings.size(), 3u);
  EXPECT_EQ(test::ReadFileBytes(config), before);
  EXPECT_EQ(ShownColumn(*form, 0), sorted);
  EXPECT_FALSE(theNextReminder.bFound);

  // A change made behind the program's back is not picked up by a cancelled dialog either.
  dialogAction = [this](TFrmEvent&) {
    test::WriteFileBytes(config, test::ReadFileBytes(config) + DailyEvent("Event9", "Behind", "1:00:00 PM"));
  };
  form->ActionNewEvent->trigger();
  EXPECT_EQ(ShownColumn(*form, 0), sorted);
  EXPECT_EQ(form->strNextEventName, "Event4");
}

/// The ways of opening the selected event.
struct OpeningPath {
  const char* name;
  std::function<void(TFrmMain&)> open;
  int page;
};

void PrintTo(const OpeningPath& path, std::ostream* out) { *out << path.name; }

class OpensTheSelectedEvent : public MainFormCommands, public ::testing::WithParamInterface<OpeningPath> {};

TEST_P(OpensTheSelectedEvent, AfterSortingTheDialogOpensTheEventOfTheSelectedRow) {
  auto form = Open();
  ShowAndActivate(*form);
  form->StringGridMain->TitleClicked(1, Qt::NoModifier);  // Alarm, Birthday, Wedding anniversary
  SelectShownRow(*form, 1);
  GetParam().open(*form);
  ASSERT_EQ(openings.size(), 1u);
  EXPECT_EQ(openings[0].section, "Event3");
  EXPECT_EQ(openings[0].mode, TFrmEvent::OpenMode::ExistingEvent);
  EXPECT_EQ(openings[0].page, GetParam().page);
}

const OpeningPath kOpeningPaths[] = {
    {"EditCommand", [](TFrmMain& form) { form.ActionEditEvent->trigger(); }, TFrmEvent::PageEvent},
    {"Enter", [](TFrmMain& form) { QTest::keyClick(form.StringGridMain, Qt::Key_Return); }, TFrmEvent::PageEvent},
    {"KeypadEnter", [](TFrmMain& form) { QTest::keyClick(form.StringGridMain, Qt::Key_Enter, Qt::KeypadModifier); },
     TFrmEvent::PageEvent},
    {"DoubleClick",
     [](TFrmMain& form) {
       GridView& grid = *form.StringGridMain;
       const QRect cell = grid.visualRect(grid.model()->index(1, 2));
       // A double click begins with a click: the press that makes the row current.
       QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
       QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
     },
     TFrmEvent::PageEvent},
    {"DetailsCommand", [](TFrmMain& form) { form.ActionEventDetails->trigger(); }, TFrmEvent::PageDetails},
};
INSTANTIATE_TEST_SUITE_P(EveryPath, OpensTheSelectedEvent, ::testing::ValuesIn(kOpeningPaths),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormCommands, EditThenOkReloadsAndSearchesDetailsThenOkOnlyReloads) {
  test::WriteFileBytes(config, DailyEvent("Event1", "Tea", "3:00:00 PM") + DailyEvent("Event2", "Lunch", "1:00:00 PM"));
  auto form = Open();
  form->Scheduler().SearchNextReminder();
  ASSERT_EQ(theNextReminder.strSection, "Event2");

  // OK in the dialog moves Tea before Lunch.
  const auto moveTeaToNoon = [this](const std::string& title) {
    return [this, title](TFrmEvent& dialog) {
      IniFile file(config);
      file.WriteString("Event1", "Title", title);
      file.WriteString("Event1", "RemindTime", "12:30:00 PM");
      file.Flush();
      dialog.bCancelled = false;
    };
  };
  form->StringGridMain->SetCurrentSourceRow(0);
  dialogAction = moveTeaToNoon("Early tea");
  form->ActionEventDetails->trigger();
  EXPECT_EQ(ShownColumn(*form, 1), (QStringList{"Early tea", "Lunch"})) << "reloaded";
  EXPECT_EQ(theNextReminder.strSection, "Event2") << "Details does not search again";

  dialogAction = moveTeaToNoon("Earlier tea");
  form->ActionEditEvent->trigger();
  EXPECT_EQ(ShownColumn(*form, 1), (QStringList{"Earlier tea", "Lunch"}));
  EXPECT_EQ(theNextReminder.strSection, "Event1") << "Edit searches the next reminder again";
  EXPECT_EQ(form->StringGridMain->CurrentSourceRow(), 0) << "the current row stays after a reload";
}

// ---- Delete

TEST_F(MainFormCommands, DeleteAsksConfirmAndErasesOnlyAfterYes) {
  auto form = Open();
  SelectShownRow(*form, 1);  // MyEvent
  const std::string before = test::ReadFileBytes(config);

  boxes.answers = {false};
  form->ActionDelEvent->trigger();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0],
            (MessageBoxRequest{"Do you want to delete the selected entry?", "Confirm", MessageIcon::Question}));
  EXPECT_EQ(test::ReadFileBytes(config), before) << "No erases nothing";
  EXPECT_EQ(ShownColumn(*form, 0), (QStringList{"Event1", "MyEvent", "Event3"}));

  boxes.answers = {true};
  form->ActionDelEvent->trigger();
  const std::string after = test::ReadFileBytes(config);
  EXPECT_EQ(after.find("[MyEvent]"), std::string::npos) << after;
  EXPECT_NE(after.find("[Event1]"), std::string::npos);
  EXPECT_NE(after.find("[Event3]\r\nTitle=Birthday"), std::string::npos);
  EXPECT_NE(after.find("[event9]"), std::string::npos);
  EXPECT_EQ(ShownColumn(*form, 0), (QStringList{"Event1", "Event3"}));
  EXPECT_EQ(form->StringGridMain->CurrentSourceRow(), 1) << "the next event is at hand for the keyboard";
  EXPECT_TRUE(failures.messages.empty());
}

TEST_F(MainFormCommands, DeletingThePendingEventMakesTheNextOnePendingAndOtherDeletesLeaveItAlone) {
  test::WriteFileBytes(config, DailyEvent("Event1", "Tea", "3:00:00 PM") + DailyEvent("Event2", "Lunch", "1:00:00 PM") +
                                   DailyEvent("Event3", "Dinner", "7:00:00 PM"));
  auto form = Open();
  form->Scheduler().SearchNextReminder();
  ASSERT_EQ(theNextReminder.strSection, "Event2");

  boxes.answers = {true, true};
  form->StringGridMain->SetCurrentSourceRow(2);  // Dinner, not pending
  form->ActionDelEvent->trigger();
  EXPECT_TRUE(theNextReminder.bFound);
  EXPECT_EQ(theNextReminder.strSection, "Event2");

  form->StringGridMain->SetCurrentSourceRow(1);  // Lunch, pending
  form->ActionDelEvent->trigger();
  EXPECT_TRUE(theNextReminder.bFound);
  EXPECT_EQ(theNextReminder.strSection, "Event1") << "Tea is pending at once";
  EXPECT_EQ(ShownColumn(*form, 1), QStringList{"Tea"});

  // Its moment passes: the balloon is Tea's, never Lunch's.
  clock.Set(test::MakeDateTime(2026, 12, 25, 15, 0, 1));
  form->Timer1Timer();
  ASSERT_FALSE(balloons.shown.empty());
  EXPECT_EQ(balloons.shown.back().title, "Tea");
}

TEST_F(MainFormCommands, WithNoEventEditDetailsAndDeleteDoNothing) {
  // A section named like the title of column 0 must survive: the empty list names no event.
  test::WriteFileBytes(config, "[No]\r\nTitle=not an event\r\n");
  auto form = Open();
  ASSERT_EQ(form->StringGridMain->model()->rowCount(), 0);
  boxes.answers = {true};
  form->ActionEditEvent->trigger();
  form->ActionEventDetails->trigger();
  form->ActionDelEvent->trigger();
  QTest::keyClick(form->StringGridMain, Qt::Key_Return);
  EXPECT_TRUE(openings.empty());
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(test::ReadFileBytes(config), "[No]\r\nTitle=not an event\r\n");
}

/// The real "Confirm" box answered from the keyboard.
struct ConfirmKey {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  bool deleted;
};

void PrintTo(const ConfirmKey& key, std::ostream* out) { *out << key.name; }

class ConfirmBoxKeys : public MainFormCommands, public ::testing::WithParamInterface<ConfirmKey> {};

TEST_P(ConfirmBoxKeys, TheBoxDefaultsToNoAndNamesItsAccessKeys) {
  auto form = Open();
  ShowAndActivate(*form);
  SetMessageBoxPresenter(nullptr);  // the program's own box
  SelectShownRow(*form, 0);
  QString caption;
  QString defaultButton;
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    defaultButton = box->defaultButton() != nullptr ? box->defaultButton()->text() : QString();
    for (QAbstractButton* button : box->buttons()) buttons << button->text();
    // Access keys are shortcuts of the active window: the box must have become it.
    box->activateWindow();
    if (!QTest::qWaitForWindowActive(box)) {
      box->reject();  // never leave the test hanging on an open box
      FAIL() << "the Confirm box did not become the active window";
    }
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : box, GetParam().key, GetParam().modifiers);
    if (box->isVisible()) {
      box->reject();
      FAIL() << "the key did not answer the box";
    }
  });
  QTest::keyClick(form->StringGridMain, Qt::Key_Delete);  // the shortcut of Delete
  SetMessageBoxPresenter(&boxes);
  EXPECT_EQ(caption, "Confirm");
  EXPECT_EQ(defaultButton, "&No");
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"&No", "&Yes"}));
  const bool present = test::ReadFileBytes(config).find("[Event1]") != std::string::npos;
  EXPECT_EQ(!present, GetParam().deleted);
  EXPECT_EQ(ShownColumn(*form, 0).contains("Event1"), !GetParam().deleted);
}

// Alt plus an access key goes through the platform's shortcut handling, which the offscreen platform does
// not deliver to a box opened inside the test; the end-to-end check presses Alt+N and Alt+Y in the real
// window. The space bar presses the focused button, which is No.
const ConfirmKey kConfirmKeys[] = {
    {"Space", Qt::Key_Space, Qt::NoModifier, false},
    {"Enter", Qt::Key_Return, Qt::NoModifier, false},
    {"Escape", Qt::Key_Escape, Qt::NoModifier, false},
};
INSTANTIATE_TEST_SUITE_P(Keys, ConfirmBoxKeys, ::testing::ValuesIn(kConfirmKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormCommands, CtrlNOpensTheNewEventDialog) {
  auto form = Open();
  ShowAndActivate(*form);
  QTest::keyClick(form->StringGridMain, Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(openings.size(), 1u);
  EXPECT_EQ(openings[0].section, "Event4");
  EXPECT_EQ(openings[0].mode, TFrmEvent::OpenMode::NewEvent);
}

// ---- first-run prompt

TEST_F(MainFormCommands, OpeningTheWindowOnAnEmptyListPromptsForANewEventEveryTime) {
  test::WriteFileBytes(config, "");
  auto form = Open();
  balloons.shown.clear();
  form->ActionShow->trigger();
  ASSERT_EQ(balloons.shown.size(), 1u);
  EXPECT_EQ(balloons.shown[0].text, "Start to create a new event, click OK to finish your edition.");
  EXPECT_EQ(balloons.shown[0].title, "Almanex");
  QApplication::processEvents();  // the dialog opens once the window is up
  ASSERT_EQ(openings.size(), 1u);
  EXPECT_EQ(openings[0].section, "Event1");
  EXPECT_EQ(openings[0].mode, TFrmEvent::OpenMode::NewEvent);
  EXPECT_TRUE(form->isVisible()) << "cancelling leaves the empty window";

  form->ActionShow->trigger();  // already shown: no prompt
  QApplication::processEvents();
  EXPECT_EQ(openings.size(), 1u);

  form->ActionHide->trigger();
  form->ActionShow->trigger();
  QApplication::processEvents();
  EXPECT_EQ(openings.size(), 2u) << "hiding and showing again repeats the prompt";

  // OK this time: the event is there, and the next opening asks nothing.
  dialogAction = OkWritingSection(config, DailyEvent("Event1", "First", "1:00:00 PM"));
  form->ActionHide->trigger();
  form->ActionShow->trigger();
  QApplication::processEvents();
  ASSERT_EQ(openings.size(), 3u);
  EXPECT_EQ(ShownColumn(*form, 1), QStringList{"First"});
  form->ActionHide->trigger();
  form->ActionShow->trigger();
  QApplication::processEvents();
  EXPECT_EQ(openings.size(), 3u);
}

TEST_F(MainFormCommands, OpeningTheWindowOnEventsAsksNothing) {
  auto form = Open();
  balloons.shown.clear();
  form->ActionShow->trigger();
  QApplication::processEvents();
  EXPECT_TRUE(openings.empty());
  EXPECT_TRUE(balloons.shown.empty());
}

// ---- clipboard, links, about box, print

TEST_F(MainFormCommands, CopyPutsExactlyTheSelectedRowsOnTheClipboard) {
  auto form = Open();
  form->Timer1Timer();
  QApplication::clipboard()->setText(QStringLiteral("before"));
  GridView& grid = *form->StringGridMain;
  grid.SetCurrentSourceRow(0);
  grid.selectionModel()->select(grid.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  form->ActionCopyToClipboard->trigger();
  const QStringList lines = QApplication::clipboard()->text().split(u'\n');
  ASSERT_EQ(lines.size(), 3) << QApplication::clipboard()->text().toStdString();  // two rows, each ended by LF
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[0],
            "Event1\tWedding anniversary\t6/14/2003\t4:00:00 PM\tAnniversary\t23.53\t282.38\t1,227.83\t8,594.83\t"
            "206,276.00\t12,376,560.00\t742,593,600");
  EXPECT_EQ(lines[1].section(u'\t', 0, 4), "Event3\tBirthday\t1/1/2027\t\tBirthday");
  EXPECT_EQ(lines[1].count(u'\t'), 11);
}

TEST_F(MainFormCommands, HomePageAndMailGoThroughTheShellFromEveryPlace) {
  auto form = Open();
  RecordingLauncher launcher;
  form->ActionHomePage->trigger();
  form->ActionMailToAuthor->trigger();
  // The tray menu's entries are the same commands.
  for (QAction* entry : form->PopupMenuTrayIcon->actions()) {
    if (entry == form->ActionHomePage || entry == form->ActionMailToAuthor) entry->trigger();
  }
  const std::string home(kHomePageUrl);
  const std::string mail = "mailto:" + std::string(kCommentsMailbox);
  EXPECT_EQ(launcher.links, (std::vector<std::string>{home, mail, home, mail}));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainFormCommands, AboutOpensTheAboutBoxOverTheWindow) {
  auto form = Open();
  QString caption;
  QString version;
  QWidget* owner = nullptr;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<TFrmAbout*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    caption = about->windowTitle();
    version = about->LabelVerInfo->text();
    owner = about->parentWidget();
    about->BitBtnOk->click();
  });
  form->ActionAbout->trigger();
  EXPECT_EQ(caption, "About Almanex");
  EXPECT_TRUE(version.startsWith("Version ")) << version.toStdString();
  EXPECT_EQ(owner, form.get());
  EXPECT_TRUE(failures.messages.empty());
}

TEST_F(MainFormCommands, PrintSettingsAndPreviewOpenTheGridsDialogs) {
  auto form = Open();
  QString settingsTitle;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<PrintSettingsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    settingsTitle = dialog->Settings().title;
    dialog->reject();
  });
  form->ActionPrintSettings->trigger();
  EXPECT_EQ(settingsTitle, "Created by Almanex");

  QString previewCaption;
  QTimer::singleShot(0, [&] {
    auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(preview, nullptr);
    previewCaption = preview->windowTitle();
    preview->reject();
  });
  form->ActionPrintPreview->trigger();
  EXPECT_EQ(previewCaption, "Preview");
}

TEST_F(MainFormCommands, PrintWithoutAPrinterPrintsTheWholeListToThePdfFileNamed) {
  const std::string pdf = tree.File("list.pdf");
  QString told;
  auto form = std::make_unique<TFrmMain>(TFrmMain::Services{
      .clock = clock,
      .settings = FormatSettings{},
      .configPath = [this] { return config; },
      .balloons = &balloons,
      .trayProbe = [] { return true; },
      .printer = [] { return QPrinterInfo(); },
      .askPdf =
          [&](QWidget*, const QString& noPrinterText) {
            told = noPrinterText;
            return QString::fromStdString(pdf);
          },
  });
  form->Timer1.stop();
  form->Timer1Timer();
  form->ActionPrint->trigger();
  EXPECT_EQ(told, kNoPrinterText);
  const QStringList pages = test::PdfPages(QString::fromStdString(pdf));
  ASSERT_FALSE(pages.isEmpty());
  const QString all = pages.join(u'\n');
  EXPECT_TRUE(all.contains("Created by Almanex"));
  EXPECT_TRUE(all.contains("25/12/2026")) << "printed at the clock's now";
  for (const char* section : {"Event1", "MyEvent", "Event3"}) EXPECT_TRUE(all.contains(section)) << section;
  EXPECT_TRUE(all.contains(QStringLiteral("Page 1/%1").arg(pages.size())));
  EXPECT_TRUE(boxes.boxes.empty());
}

// ---- iCalendar

TEST_F(MainFormCommands, ExportAndImportICalendarThroughTheFileMenu) {
  auto form = Open();
  icsSaveAnswer = QString::fromStdString(tree.File("events.ics"));
  form->ActionExportIcs->trigger();
  const std::string ics = test::ReadFileBytes(tree.File("events.ics"));
  EXPECT_EQ(ics.rfind("BEGIN:VCALENDAR\r\n", 0), 0u);
  EXPECT_NE(ics.find("SUMMARY:Wedding anniversary\r\n"), std::string::npos);
  EXPECT_TRUE(boxes.boxes.empty());

  // The same events again, under the next free names, and the grid shows them at once.
  icsOpenAnswer = QString::fromStdString(tree.File("events.ics"));
  form->ActionImportIcs->trigger();
  EXPECT_EQ(ShownColumn(*form, 1),
            (QStringList{"Wedding anniversary", "Alarm", "Birthday", "Wedding anniversary", "Alarm", "Birthday"}));
  EXPECT_EQ(ShownColumn(*form, 0), (QStringList{"Event1", "MyEvent", "Event3", "Event4", "Event5", "Event6"}));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Imported 3 events.");
  EXPECT_EQ(boxes.boxes[0].caption, "Information");

  // A cancelled dialog does nothing.
  icsOpenAnswer.clear();
  form->ActionImportIcs->trigger();
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(MainFormCommands, MalformedICalendarImportsNothingAndSaysWhy) {
  auto form = Open();
  const std::string before = test::ReadFileBytes(config);
  test::WriteFileBytes(tree.File("bad.ics"), "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n");
  icsOpenAnswer = QString::fromStdString(tree.File("bad.ics"));
  form->ActionImportIcs->trigger();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Error");
  EXPECT_EQ(boxes.boxes[0].text, "Nothing was imported from " + tree.File("bad.ics") +
                                     ".\rline 3: END:VCALENDAR where BEGIN:VEVENT of line 2 is still open");
  EXPECT_EQ(test::ReadFileBytes(config), before);
  EXPECT_EQ(ShownColumn(*form, 0), (QStringList{"Event1", "MyEvent", "Event3"}));
}

}  // namespace
}  // namespace almanex
