// The main window as a user sees it: the grid's texts after a load, after ticks and after sorting.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include "app/EventListModel.h"
#include "app/MainForm.h"
#include "grid/GridView.h"
#include "platform/CommRegistry.h"
#include "platform/CommUnit.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

class MainFormTest : public ::testing::Test {
 protected:
  std::unique_ptr<TFrmMain> Open(const std::string& configPath) {
    auto form =
        std::make_unique<TFrmMain>(TFrmMain::Services{clock, FormatSettings{}, [configPath] { return configPath; }});
    form->Timer1.stop();  // the test drives the ticks
    return form;
  }
  /// What the grid shows in a row, as the user sees it in display order.
  static QStringList Shown(TFrmMain& form, int row) {
    QStringList texts;
    const QAbstractItemModel* shown = form.StringGridMain->model();
    for (int column = 0; column < shown->columnCount(); ++column) texts << shown->index(row, column).data().toString();
    return texts;
  }
  static int RowCount(TFrmMain& form) { return form.StringGridMain->model()->rowCount(); }

  test::RecordingMessageBoxes presenter;
  ManualClock clock{test::MakeDateTime(2026, 12, 25, 12)};
  test::TempDir tree;
  // A copy: closing the window writes the column widths into the file.
  const std::string fixture = [this] {
    const std::string copy = tree.File("Config.INI");
    test::WriteFileBytes(copy, test::ReadFileBytes(std::string(ALMANEX_FIXTURES) + "/events.ini"));
    return copy;
  }();
};

TEST_F(MainFormTest, ShowsEveryEventOfTheFileWithItsSpansAfterTheFirstTick) {
  auto form = Open(fixture);
  EXPECT_EQ(form->windowTitle(), "Almanex");
  ASSERT_EQ(RowCount(*form), 3);
  QStringList titles;
  for (int column = 0; column < 12; ++column) {
    titles << form->StringGridMain->model()->headerData(column, Qt::Horizontal).toString();
  }
  EXPECT_EQ(titles, (QStringList{"No", "Title", "Date", "Time", "Type", "Years", "Months", "Weeks", "Days", "Hours",
                                 "Minutes", "Seconds"}));
  EXPECT_EQ(Shown(*form, 0)[11], "") << "span columns are empty until the first tick";
  EXPECT_EQ(form->strNextEventName, "Event4");
  EXPECT_TRUE(form->StringGridMain->IsFirstColumnFrozen());

  form->Timer1Timer();
  EXPECT_EQ(Shown(*form, 0),
            (QStringList{"Event1", "Wedding anniversary", "6/14/2003", "4:00:00 PM", "Anniversary", "23.53", "282.38",
                         "1,227.83", "8,594.83", "206,276.00", "12,376,560.00", "742,593,600"}));
  EXPECT_EQ(Shown(*form, 2), (QStringList{"Event3", "Birthday", "1/1/2027", "", "Birthday", "0.02", "0.21", "0.93",
                                          "6.50", "156.00", "9,360.00", "561,600"}));
}

TEST_F(MainFormTest, SpanTextsFollowTheClock) {
  auto form = Open(fixture);
  form->Timer1Timer();
  clock.AdvanceMilliseconds(1000);
  form->Timer1Timer();
  EXPECT_EQ(Shown(*form, 2)[11], "561,599");
  clock.Set(test::MakeDateTime(2027, 1, 1, 0, 0, 7));
  form->Timer1Timer();
  EXPECT_EQ(Shown(*form, 2)[11], " 7");
  EXPECT_EQ(Shown(*form, 2)[10], "0.12");
}

TEST_F(MainFormTest, SortingByTitleKeepsEachRowsOwnSpansThroughARefreshAndAReloadRestoresFileOrder) {
  auto form = Open(fixture);
  form->Timer1Timer();
  form->StringGridMain->TitleClicked(1, Qt::NoModifier);
  QStringList sections;
  for (int row = 0; row < 3; ++row) sections << Shown(*form, row)[0];
  EXPECT_EQ(sections, (QStringList{"MyEvent", "Event3", "Event1"}));  // Alarm, Birthday, Wedding anniversary

  clock.AdvanceMilliseconds(1000);
  form->Timer1Timer();
  EXPECT_EQ(Shown(*form, 1)[0], "Event3");
  EXPECT_EQ(Shown(*form, 1)[11], "561,599");
  EXPECT_EQ(Shown(*form, 0)[11], "21,599");
  form->StringGridMain->SetCurrentSourceRow(2);
  EXPECT_EQ(form->Model().SectionAt(form->StringGridMain->CurrentSourceRow()), "Event3");

  form->LoadEventList();
  sections.clear();
  for (int row = 0; row < 3; ++row) sections << Shown(*form, row)[0];
  EXPECT_EQ(sections, (QStringList{"Event1", "MyEvent", "Event3"}));
}

TEST_F(MainFormTest, EmptyAndMissingFilesShowOnlyTheTitleRow) {
  test::TempDir folder;
  test::WriteFileBytes(folder.File("empty.ini"), "");
  for (const std::string& path : {folder.File("empty.ini"), folder.File("missing.ini")}) {
    auto form = Open(path);
    form->Timer1Timer();
    EXPECT_EQ(RowCount(*form), 0) << path;
    EXPECT_EQ(form->StringGridMain->model()->columnCount(), 12);
    EXPECT_EQ(form->strNextEventName, "Event1");
    EXPECT_FALSE(form->StringGridMain->IsFirstColumnFrozen());
  }
  EXPECT_TRUE(presenter.boxes.empty());
}

TEST_F(MainFormTest, BuiltInColumnWidthsUntilTheFileSaysOtherwise) {
  test::TempDir folder;
  const std::string path = folder.File("Config.INI");
  test::WriteFileBytes(path, "[GridSettings]\r\nColWidth1=$A0\r\nColWidth3=0\r\nColWidth4=junk\r\nColWidth5=75\r\n");
  auto form = Open(path);
  // A stored width stays exactly as stored; the others are at least the built-in width (wider where
  // the title or the figures need it).
  EXPECT_EQ(form->StringGridMain->ColumnWidth(1), 160);
  EXPECT_EQ(form->StringGridMain->ColumnWidth(5), 75);
  const int builtIn[] = {62, 128, 102, 53, 82, 50, 59, 57, 56, 62, 69, 97};
  for (int column : {0, 2, 3, 4, 6, 7, 8, 9, 10, 11}) {
    EXPECT_GE(form->StringGridMain->ColumnWidth(column), builtIn[column]) << column;
  }
}

/// Forty events from a day ago to 1900, with long titles and types, dates and times in every cell.
std::string FortyEvents() {
  std::string ini;
  for (int n = 1; n <= 40; ++n) {
    const int year = n % 2 == 0 ? 2026 - n * 3 : 1900 + n;
    ini += "[Event" + std::to_string(n) + "]\r\nTitle=Wedding anniversary " + std::to_string(n) +
           "\r\nDate=" + std::to_string(n % 12 + 1) + "/" + std::to_string(n % 28 + 1) + "/" + std::to_string(year) +
           "\r\nTime=" + std::to_string(n % 12 + 1) + ":48:38 PM\r\nTypeDesc=Anniversary\r\n";
  }
  return ini;
}

TEST_F(MainFormTest, AtTheDefaultWidthsNoCellAndNoTitleIsCut) {
  test::WriteFileBytes(fixture, FortyEvents());
  auto form = Open(fixture);
  form->Timer1Timer();
  GridView& grid = *form->StringGridMain;
  ASSERT_EQ(RowCount(*form), 40);
  const QFontMetrics cells(grid.font());
  for (int row = 0; row < 40; ++row) {
    for (int column = 0; column < 12; ++column) {
      const QString text = grid.model()->index(row, column).data().toString();
      EXPECT_LE(cells.horizontalAdvance(text), grid.CellTextRoom(column))
          << "row " << row << " column " << column << " \"" << text.toStdString() << "\"";
      EXPECT_FALSE(grid.IsCellElided(grid.model()->index(row, column))) << row << " " << column;
    }
  }
  // Each title with a marker of several sort keys fits its column with the header's margins.
  QHeaderView* titles = grid.horizontalHeader();
  const QFontMetrics titleMetrics(titles->font());
  const int margins = 2 * titles->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, titles);
  for (int column = 0; column < 12; ++column) {
    const QString title = grid.model()->headerData(column, Qt::Horizontal).toString() + QString::fromUtf8(" \u25BC9");
    EXPECT_LE(titleMetrics.horizontalAdvance(title) + margins, grid.ColumnWidth(column)) << title.toStdString();
  }
}

TEST_F(MainFormTest, WideningTheWindowGivesNoColumnTheWholeRoom) {
  auto form = Open(fixture);
  form->resize(900, 425);
  form->show();
  const int seconds = form->StringGridMain->ColumnWidth(11);
  form->resize(1800, 425);
  QApplication::processEvents();
  EXPECT_EQ(form->StringGridMain->ColumnWidth(11), seconds);
}

TEST_F(MainFormTest, CalculationThatKeepsFailingShowsOneWarningBox) {
  test::TempDir folder;
  // No date in a file can lie beyond 9999, so the failing row is put into the model directly.
  EventList list;
  EventRow row;
  row.section = "Event1";
  row.date = 2958466.0;  // 10000-01-01
  list.rows = {row};
  auto form = Open(folder.File("missing.ini"));
  form->Model().SetEvents(list);
  form->show();
  for (int tick = 0; tick < 3; ++tick) {
    form->Timer1Timer();
    form->repaint();
    QCoreApplication::processEvents();
    clock.AdvanceMilliseconds(1000);
  }
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(presenter.boxes[0].caption, "Warning");
  EXPECT_EQ(presenter.boxes[0].text.rfind("Fail to calculate!\r\nReason: ", 0), 0u) << presenter.boxes[0].text;
  EXPECT_NE(presenter.boxes[0].text.find("Please enter a smaller value to try."), std::string::npos);
}

}  // namespace
}  // namespace almanex

namespace almanex {
namespace {

/// Types into the event dialog once it is up, then presses Enter in its title.
void TypeTitleAndPressEnterWhenTheDialogOpens(const QString& title) {
  QTimer::singleShot(0, [title] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("EditTitle"));
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, title);
    QTest::keyClick(edit, Qt::Key_Return);
  });
}

// The temporary entry points: File > New... creates the proposed section, Enter on a row edits that row.
TEST_F(MainFormTest, NewAndEditOpenTheEventDialogAndReloadTheList) {
  auto form = Open(fixture);
  ASSERT_EQ(form->strNextEventName, "Event4");
  EXPECT_EQ(form->ActionNewEvent->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
  TypeTitleAndPressEnterWhenTheDialogOpens(QStringLiteral("Party"));
  form->ActionNewEvent->trigger();
  ASSERT_EQ(RowCount(*form), 4);
  EXPECT_EQ(Shown(*form, 3)[0], "Event4");
  EXPECT_EQ(Shown(*form, 3)[1], "Party");
  EXPECT_EQ(form->strNextEventName, "Event5");

  form->StringGridMain->SetCurrentSourceRow(1);
  TypeTitleAndPressEnterWhenTheDialogOpens(QStringLiteral("Renamed"));
  QTest::keyClick(form->StringGridMain, Qt::Key_Return);
  EXPECT_EQ(Shown(*form, 1)[1], "Renamed");
  EXPECT_NE(test::ReadFileBytes(fixture).find("Title=Renamed\r\n"), std::string::npos);
}

// A reminder's "Open Almanex" brings the hidden window up; its snooze is kept in the settings store.
TEST_F(MainFormTest, OpenAlmanexFromAReminderShowsTheHiddenWindow) {
  const std::string path = tree.File("Reminder.INI");
  test::WriteFileBytes(path,
                       "[Event1]\r\nTitle=Tom\r\nDate=1/1/2027\r\nRemindTime=11:00:00 AM\r\nRPStartDate=1/1/2026\r\n"
                       "RPRecurrenceType=0\r\nRPInterval=1\r\n");
  test::RecordingBalloons balloons;
  auto form = std::make_unique<TFrmMain>(TFrmMain::Services{.clock = clock,
                                                            .settings = FormatSettings{},
                                                            .configPath = [path] { return path; },
                                                            .balloons = &balloons,
                                                            .trayProbe = [] { return true; }});
  form->Timer1.stop();
  ASSERT_FALSE(form->isVisible());
  form->Timer1Timer();
  ASSERT_EQ(balloons.actions.size(), balloons.shown.size());
  ASSERT_FALSE(balloons.shown.empty());
  EXPECT_EQ(balloons.shown.back().title, "Tom");
  const ReminderActions actions = balloons.actions.back();
  ASSERT_TRUE(actions.open && actions.snooze);
  actions.open();
  EXPECT_TRUE(form->isVisible());
  actions.snooze();
  EXPECT_NE(ReadRegistryString("Reminders", "Snoozed").find("\tEvent1"), std::string::npos);
}

}  // namespace
}  // namespace almanex
