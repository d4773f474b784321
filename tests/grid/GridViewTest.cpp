// The grid as the user meets it: title clicks, the frozen column, rows, widths, keys and the copy.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "grid/GridView.h"
#include "grid/MultiKeySortProxy.h"
#include "tests/grid/GridTestModel.h"

namespace almanex::test {
namespace {

QPoint TitleCenter(const QHeaderView* header, int column) {
  return {header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2};
}

class GridViewTest : public ::testing::Test {
 protected:
  void SetUp() override { Show(4); }

  void Show(int rows) {
    FillGridTestModel(model_, rows);
    view_.setModel(&model_);
    tester_ = std::make_unique<QAbstractItemModelTester>(view_.model(),
                                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int column = 0; column < kColumnCount; ++column) {
      view_.SetColumnWidth(column, 100);
    }
    view_.resize(640, 300);
    view_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    QApplication::processEvents();
  }

  void ClickTitle(int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // Column 0's title is the overlay's; every other title is the grid's own.
    QHeaderView* header = column == 0 && view_.IsFirstColumnFrozen() ? view_.FrozenColumnView()->horizontalHeader()
                                                                     : view_.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, TitleCenter(header, column));
  }

  /// The centre of a cell in column 1 or later of the shown row.
  QPoint CellCenter(int shownRow, int column = kTitle) {
    return view_.visualRect(view_.model()->index(shownRow, column)).center();
  }

  void ClickRow(int shownRow, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(view_.viewport(), Qt::LeftButton, modifiers, CellCenter(shownRow));
  }

  /// Press, release, then the double-click, as the window system delivers them.
  void DoubleClickRow(int shownRow) {
    QTest::mouseClick(view_.viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(shownRow));
    QTest::mouseDClick(view_.viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(shownRow));
  }

  ReloadableModel model_;
  GridView view_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(GridViewTest, TitleClickSortsShiftClickAddsAKey) {
  ClickTitle(kTitle);
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event2", "Event1", "Event3", "Event4"}));
  EXPECT_TRUE(view_.horizontalHeader()->isSortIndicatorShown());
  EXPECT_EQ(view_.horizontalHeader()->sortIndicatorSection(), kTitle);
  EXPECT_EQ(view_.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);

  ClickTitle(kCount, Qt::ShiftModifier);
  EXPECT_EQ(view_.SortProxy()->SortKeys(),
            QList<SortKey>({{kTitle, Qt::AscendingOrder}, {kCount, Qt::AscendingOrder}}));
  EXPECT_EQ(TitleTexts(*view_.model()), QStringList({"No", "Title \u25B21", "Date", "Count \u25B22"}));
  EXPECT_FALSE(view_.horizontalHeader()->isSortIndicatorShown()) << "the titles carry the order now";

  ClickTitle(kCount, Qt::ShiftModifier);
  EXPECT_EQ(TitleTexts(*view_.model()), QStringList({"No", "Title \u25B21", "Date", "Count \u25BC2"}));
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event2", "Event3", "Event1", "Event4"}));

  ClickTitle(kDate);
  EXPECT_EQ(TitleTexts(*view_.model()), QStringList({"No", "Title", "Date", "Count"}));
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event4", "Event2", "Event1", "Event3"}));
  EXPECT_TRUE(view_.horizontalHeader()->isSortIndicatorShown());
  EXPECT_EQ(view_.horizontalHeader()->sortIndicatorSection(), kDate);
}

TEST_F(GridViewTest, SecondClickTogglesTheDirectionAndTheIndicator) {
  ClickTitle(kCount);
  ClickTitle(kCount);
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event3", "Event1", "Event4", "Event2"}));
  EXPECT_EQ(view_.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
  ClickTitle(kCount);
  EXPECT_EQ(view_.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event2", "Event1", "Event4", "Event3"}));
}

TEST_F(GridViewTest, FrozenTitleSortsByColumnZero) {
  ASSERT_TRUE(view_.IsFirstColumnFrozen());
  ClickTitle(kNo);
  ClickTitle(kNo);
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event4", "Event3", "Event2", "Event1"}));
  QHeaderView* frozenTitles = view_.FrozenColumnView()->horizontalHeader();
  EXPECT_TRUE(frozenTitles->isSortIndicatorShown());
  EXPECT_EQ(frozenTitles->sortIndicatorOrder(), Qt::DescendingOrder);
  ClickTitle(kTitle);
  EXPECT_FALSE(frozenTitles->isSortIndicatorShown()) << "the key moved to another column";
}

TEST_F(GridViewTest, ReloadPutsRowsBackInSourceOrderAndDropsTheIndicator) {
  ClickTitle(kTitle);
  ClickTitle(kTitle);
  model_.Reload();
  EXPECT_EQ(ColumnTexts(*view_.model()), QStringList({"Event1", "Event2", "Event3", "Event4"}));
  EXPECT_FALSE(view_.horizontalHeader()->isSortIndicatorShown());
  // The next click starts afresh: ascending.
  ClickTitle(kTitle);
  EXPECT_EQ(view_.SortProxy()->SortKeys(), QList<SortKey>({{kTitle, Qt::AscendingOrder}}));
}

TEST_F(GridViewTest, SpanRefreshKeepsOrderAndCurrentRow) {
  ClickTitle(kCount);
  view_.SetCurrentSourceRow(0);
  const QStringList before = ColumnTexts(*view_.model());
  for (int row = 0; row < model_.rowCount(); ++row) {
    model_.item(row, kCount)->setData(1000 - row * 300, kSortRole);
    model_.item(row, kCount)->setText(QString::number(1000 - row * 300));
  }
  EXPECT_EQ(ColumnTexts(*view_.model()), before);
  EXPECT_EQ(view_.CurrentSourceRow(), 0);
}

struct RowCountCase {
  const char* name;
  int rows;
  bool sorts;
  bool frozen;
};

void PrintTo(const RowCountCase& c, std::ostream* out) { *out << c.name; }

class SortAndFreezeByRowCountTest : public GridViewTest, public ::testing::WithParamInterface<RowCountCase> {
 protected:
  void SetUp() override { Show(GetParam().rows); }
};

TEST_P(SortAndFreezeByRowCountTest, TitleClickAndFrozenColumn) {
  EXPECT_EQ(view_.IsFirstColumnFrozen(), GetParam().frozen);
  ClickTitle(kTitle);
  ClickTitle(kTitle);
  EXPECT_EQ(!view_.SortProxy()->SortKeys().isEmpty(), GetParam().sorts);
  EXPECT_EQ(view_.horizontalHeader()->isSortIndicatorShown(), GetParam().sorts);
  EXPECT_EQ(TitleTexts(*view_.model()), QStringList({"No", "Title", "Date", "Count"}));
}

const RowCountCase kRowCountCases[] = {
    {"NoRows", 0, false, false},
    {"OneRow", 1, false, true},
    {"TwoRows", 2, true, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, SortAndFreezeByRowCountTest, ::testing::ValuesIn(kRowCountCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridViewTest, FrozenColumnFollowsRowsAndWidthAndStaysWhenScrolled) {
  QTableView* frozen = view_.FrozenColumnView();
  ASSERT_TRUE(view_.IsFirstColumnFrozen());
  for (int column = 1; column < kColumnCount; ++column) {
    EXPECT_TRUE(frozen->isColumnHidden(column)) << column;
  }
  EXPECT_FALSE(frozen->isColumnHidden(0));
  EXPECT_EQ(frozen->width(), view_.ColumnWidth(0));

  view_.SetColumnWidth(0, 90);
  EXPECT_EQ(frozen->width(), 90);
  EXPECT_EQ(frozen->columnWidth(0), 90);

  // Wide columns: the grid scrolls sideways; column 0 slides away in the grid but not in the overlay.
  for (int column = 1; column < kColumnCount; ++column) {
    view_.SetColumnWidth(column, 400);
  }
  QApplication::processEvents();
  const QPoint overlayBefore = frozen->pos();
  ASSERT_GT(view_.horizontalScrollBar()->maximum(), 0);
  view_.horizontalScrollBar()->setValue(view_.horizontalScrollBar()->maximum());
  QApplication::processEvents();
  EXPECT_LT(view_.visualRect(view_.model()->index(0, 0)).left(), 0);
  EXPECT_EQ(frozen->pos(), overlayBefore);
  EXPECT_TRUE(frozen->isVisible());
  EXPECT_EQ(frozen->visualRect(frozen->model()->index(0, 0)).left(), 0);

  // A current cell is never left hidden under the overlay; moving along column 0 does not scroll sideways.
  view_.setCurrentIndex(view_.model()->index(1, kTitle));
  EXPECT_GE(view_.visualRect(view_.model()->index(1, kTitle)).left(), frozen->width());
  view_.horizontalScrollBar()->setValue(view_.horizontalScrollBar()->maximum());
  const int sideways = view_.horizontalScrollBar()->value();
  view_.setCurrentIndex(view_.model()->index(3, kNo));
  EXPECT_EQ(view_.horizontalScrollBar()->value(), sideways);

  // Both views scroll up and down together.
  model_.setRowCount(40);
  QApplication::processEvents();
  view_.verticalScrollBar()->setValue(100);
  EXPECT_EQ(frozen->verticalScrollBar()->value(), 100);

  // Without rows nothing is frozen.
  model_.setRowCount(0);
  EXPECT_FALSE(view_.IsFirstColumnFrozen());
  FillGridTestModel(model_, 1);
  EXPECT_TRUE(view_.IsFirstColumnFrozen());
}

TEST_F(GridViewTest, DraggedWidthOfColumnZeroReachesTheGrid) {
  // The user drags the border of column 0 on the overlay's title.
  view_.FrozenColumnView()->horizontalHeader()->resizeSection(0, 130);
  EXPECT_EQ(view_.ColumnWidth(0), 130);
  EXPECT_EQ(view_.FrozenColumnView()->width(), 130);
}

TEST_F(GridViewTest, CellsAreNeverEdited) {
  DoubleClickRow(1);
  QTest::keyClick(&view_, Qt::Key_F2);
  QTest::keyClick(&view_, Qt::Key_X);
  EXPECT_TRUE(view_.findChildren<QLineEdit*>().isEmpty()) << "no editor opened";
  EXPECT_EQ(view_.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(view_.FrozenColumnView()->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(ColumnTexts(model_, kTitle), QStringList({"beta", "Alpha", "beta", "gamma"}));
}

TEST_F(GridViewTest, DoubleClickReportsTheSourceRow) {
  ClickTitle(kTitle);
  ClickTitle(kTitle);  // shown: Event4, Event1, Event3, Event2
  QSignalSpy doubleClicks(&view_, &GridView::RowDoubleClicked);
  DoubleClickRow(3);
  ASSERT_EQ(doubleClicks.count(), 1);
  EXPECT_EQ(doubleClicks.at(0).at(0).toInt(), 1);  // Event2
  EXPECT_EQ(view_.CurrentSourceRow(), 1);
}

TEST_F(GridViewTest, WholeRowsAndRangesAreSelected) {
  ClickTitle(kTitle);
  ClickTitle(kTitle);  // shown: Event4, Event1, Event3, Event2
  ClickRow(0);
  ClickRow(2, Qt::ShiftModifier);
  EXPECT_EQ(view_.SelectedSourceRows(), QList<int>({3, 0, 2}));
  for (int shown = 0; shown < 3; ++shown) {
    EXPECT_TRUE(view_.selectionModel()->isRowSelected(shown, {})) << shown;
  }
  ClickRow(3, Qt::ControlModifier);
  EXPECT_EQ(view_.SelectedSourceRows(), QList<int>({3, 0, 2, 1}));
  ClickRow(1);
  EXPECT_EQ(view_.SelectedSourceRows(), QList<int>({0}));
  EXPECT_EQ(view_.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(GridViewTest, ClickInTheFrozenColumnSelectsTheRow) {
  QTableView* frozen = view_.FrozenColumnView();
  const QPoint cell = frozen->visualRect(frozen->model()->index(2, 0)).center();
  view_.clearFocus();
  ASSERT_FALSE(view_.hasFocus());
  QTest::mouseClick(frozen->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
  EXPECT_EQ(view_.SelectedSourceRows(), QList<int>({2}));
  EXPECT_EQ(view_.CurrentSourceRow(), 2);
  EXPECT_TRUE(view_.hasFocus()) << "Enter must reach the grid after a click in column 0";
}

TEST_F(GridViewTest, CurrentRowMapsThroughTheSort) {
  ClickTitle(kTitle);
  ClickTitle(kTitle);  // shown: Event4, Event1, Event3, Event2
  view_.SetCurrentSourceRow(1);
  EXPECT_EQ(view_.currentIndex().row(), 3);
  EXPECT_EQ(view_.currentIndex().siblingAtColumn(kNo).data().toString(), "Event2");
  EXPECT_EQ(view_.CurrentSourceRow(), 1);
  EXPECT_EQ(view_.SelectedSourceRows(), QList<int>({1}));

  ClickRow(0);
  EXPECT_EQ(view_.CurrentSourceRow(), 3);

  view_.SetCurrentSourceRow(99);
  view_.SetCurrentSourceRow(-1);
  EXPECT_EQ(view_.CurrentSourceRow(), 3);
}

TEST_F(GridViewTest, NoCurrentRowWithoutRows) {
  FillGridTestModel(model_, 0);
  EXPECT_EQ(view_.CurrentSourceRow(), -1);
  EXPECT_TRUE(view_.SelectedSourceRows().isEmpty());
}

struct WidthCase {
  const char* name;
  int column;
  int width;
  int expected;  // ColumnWidth(column) afterwards
};

void PrintTo(const WidthCase& c, std::ostream* out) { *out << c.name; }

class ColumnWidthTest : public GridViewTest, public ::testing::WithParamInterface<WidthCase> {};

TEST_P(ColumnWidthTest, SetThenRead) {
  view_.SetColumnWidth(GetParam().column, GetParam().width);
  EXPECT_EQ(view_.ColumnWidth(GetParam().column), GetParam().expected);
}

// clang-format off
const WidthCase kWidthCases[] = {
    {"Wider",           kTitle, 160, 160},
    {"Narrow",          kDate,   20,  20},
    {"BelowTheMinimum", kDate,    1, GridView::kMinimumColumnWidth},
    {"NegativeIgnored", kDate,   -5, 100},
    {"ColumnZero",      kNo,     62,  62},
    {"UnknownColumn",   12,      80,   0},
    {"NegativeColumn",  -1,      80,   0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Widths, ColumnWidthTest, ::testing::ValuesIn(kWidthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridViewTest, RowAndTitleHeightsAndNoColumnStretchesWithTheWindow) {
  for (int row = 0; row < view_.model()->rowCount(); ++row) {
    EXPECT_EQ(view_.rowHeight(row), GridView::kDefaultRowHeight) << row;
  }
  EXPECT_EQ(view_.horizontalHeader()->height(), GridView::kTitleRowHeight);
  EXPECT_EQ(view_.FrozenColumnView()->horizontalHeader()->height(), GridView::kTitleRowHeight);
  EXPECT_TRUE(view_.horizontalHeader()->font().bold());
  EXPECT_FALSE(view_.verticalHeader()->isVisible());
  EXPECT_EQ(view_.font().pixelSize(), GridView::kFontPixelSize);
  // A wider window leaves room after the last column; every column keeps the width it was given.
  view_.resize(1600, 300);
  QApplication::processEvents();
  for (int column = 0; column < kColumnCount; ++column) {
    EXPECT_EQ(view_.ColumnWidth(column), 100) << column;
  }
}

TEST_F(GridViewTest, ACutCellShowsItsWholeTextAsTooltipAndAWholeOneShowsNone) {
  model_.item(1, kTitle)->setText(QStringLiteral("Wedding anniversary of the grandparents"));
  QApplication::processEvents();
  const QModelIndex cut = view_.model()->index(1, kTitle);
  const QModelIndex whole = view_.model()->index(0, kTitle);
  ASSERT_TRUE(view_.IsCellElided(cut));
  ASSERT_FALSE(view_.IsCellElided(whole));
  const auto hover = [&](const QModelIndex& index) {
    const QPoint at = view_.visualRect(index).center();
    QHelpEvent event(QEvent::ToolTip, at, view_.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view_.viewport(), &event);
  };
  hover(cut);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("Wedding anniversary of the grandparents"));
  hover(whole);  // the tip goes (after the style's fade) and never shows the whole cell's own text
  EXPECT_NE(QToolTip::text(), view_.model()->index(0, kTitle).data().toString());
}

TEST_F(GridViewTest, FittingWidthHoldsTheTitleWithItsSortMarkerAndTheWidestText) {
  model_.item(2, kCount)->setText(QStringLiteral("12,376,560.00"));
  const int fitting = view_.FittingColumnWidth(kCount, {QStringLiteral("1")});
  view_.SetColumnWidth(kCount, fitting);
  EXPECT_FALSE(view_.IsCellElided(view_.model()->index(2, kCount)));
  EXPECT_LE(QFontMetrics(view_.font()).horizontalAdvance(QStringLiteral("12,376,560.00")), view_.CellTextRoom(kCount));
  EXPECT_GT(view_.FittingColumnWidth(kCount, {QStringLiteral("9,999,999,999,999,999.00")}), fitting);
  view_.SetColumnWidth(kCount, fitting - 1);
  EXPECT_TRUE(view_.IsCellElided(view_.model()->index(2, kCount)));
}

TEST_F(GridViewTest, TitleCellColoursArePainted) {
  model_.item(1, kTitle)->setData(QColor(0, 0, 255), Qt::ForegroundRole);
  model_.item(1, kTitle)->setData(QColor(255, 0, 0), Qt::BackgroundRole);
  view_.selectionModel()->clear();
  const QImage image = view_.viewport()->grab().toImage();
  const QRect cell = view_.visualRect(view_.model()->index(1, kTitle));
  EXPECT_EQ(image.pixelColor(cell.right() - 4, cell.center().y()), QColor(255, 0, 0));
  const QRect plain = view_.visualRect(view_.model()->index(1, kDate));
  EXPECT_NE(image.pixelColor(plain.right() - 4, plain.center().y()), QColor(255, 0, 0));
}

TEST_F(GridViewTest, KeysReachTheOwnerEnterGoesNoFurther) {
  QSignalSpy keys(&view_, &GridView::KeyPressed);
  view_.SetCurrentSourceRow(0);
  QTest::keyClick(&view_, Qt::Key_Return);
  QTest::keyClick(&view_, Qt::Key_Enter);
  ASSERT_EQ(keys.count(), 2);
  EXPECT_EQ(keys.at(0).at(0).value<QChar>(), QChar(u'\r'));
  EXPECT_EQ(keys.at(1).at(0).value<QChar>(), QChar(u'\r'));
  EXPECT_EQ(view_.CurrentSourceRow(), 0);

  QTest::keyClick(&view_, Qt::Key_Down);
  EXPECT_EQ(view_.CurrentSourceRow(), 1) << "other keys go on to the grid";
  QTest::keyClick(&view_, Qt::Key_Q);
  ASSERT_EQ(keys.count(), 3);
  EXPECT_EQ(keys.at(2).at(0).value<QChar>(), QChar(u'q'));
}

TEST_F(GridViewTest, CopyPutsExactlyTheSelectedRowsOnTheClipboardInShownOrder) {
  model_.item(2, kTitle)->setText("be\tta\nline");
  ClickTitle(kCount);
  ClickTitle(kTitle, Qt::ShiftModifier);  // titles decorated; shown: Event2, Event1, Event4, Event3
  ClickRow(1);
  ClickRow(3, Qt::ControlModifier);
  view_.CopySelectionToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(),
            "Event1\tbeta\t05/03/2020\t10\n"
            "Event3\tbe ta line\t20/01/2021\t100\n");
}

TEST_F(GridViewTest, CtrlCCopiesTheSelection) {
  ClickRow(3);
  QApplication::clipboard()->clear();
  QTest::keyClick(&view_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "Event4\tgamma\t\t10\n");
}

TEST_F(GridViewTest, CopyWithoutSelectionLeavesTheClipboardAlone) {
  view_.selectionModel()->clear();
  QApplication::clipboard()->setText("kept");
  view_.CopySelectionToClipboard();
  EXPECT_EQ(view_.SelectionText(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "kept");
}

}  // namespace
}  // namespace almanex::test
