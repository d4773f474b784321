// The main window as a user sees it: the grid's texts after a load, after ticks and after sorting.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "app/EventListModel.h"
#include "app/MainForm.h"
#include "grid/GridView.h"
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
  const int expected[] = {62, 160, 102, 53, 82, 75, 59, 57, 56, 62, 69};
  for (int column = 0; column < 11; ++column) {
    EXPECT_EQ(form->StringGridMain->ColumnWidth(column), expected[column]) << column;
  }
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

}  // namespace
}  // namespace almanex
