// The event list model: the rows a load produces, the span texts of a refresh, and failures.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <set>

#include "app/EventListModel.h"
#include "grid/GridView.h"
#include "grid/MultiKeySortProxy.h"
#include "store/ConfigFile.h"
#include "tests/common/TestSupport.h"

namespace almanex {
namespace {

const std::string kFixture = std::string(ALMANEX_FIXTURES) + "/events.ini";

class EventListModelTest : public ::testing::Test {
 protected:
  void Load(const std::string& path, DateTime now) {
    const IniFile file(path);
    model.SetEvents(LoadEventList(file, now, settings));
  }
  QString Text(int row, int column) const { return model.index(row, column).data().toString(); }
  QStringList RowTexts(int row) const {
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column) texts << Text(row, column);
    return texts;
  }

  FormatSettings settings;
  EventListModel model{settings};
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(EventListModelTest, RowsStandInFileOrderWithTheirTextsAndEmptySpansUntilTheFirstRefresh) {
  const DateTime now = test::MakeDateTime(2026, 12, 25, 12);
  Load(kFixture, now);
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(RowTexts(0).mid(0, 5),
            (QStringList{"Event1", "Wedding anniversary", "6/14/2003", "4:00:00 PM", "Anniversary"}));
  EXPECT_EQ(RowTexts(1).mid(0, 5), (QStringList{"MyEvent", "Alarm", "", "6:00:00 PM", "Daily"}));
  EXPECT_EQ(RowTexts(2).mid(0, 5), (QStringList{"Event3", "Birthday", "1/1/2027", "", "Birthday"}));
  EXPECT_EQ(Text(0, 11), "");
  EXPECT_EQ(model.Events().nextEventName, "Event4");

  model.SetNow(now);
  EXPECT_EQ(RowTexts(2).mid(5), (QStringList{"0.02", "0.21", "0.93", "6.50", "156.00", "9,360.00", "561,600"}));
  EXPECT_EQ(RowTexts(1).mid(5), (QStringList{"0.00", "0.01", "0.04", "0.25", "6.00", "360.00", "21,600"}));
}

TEST_F(EventListModelTest, TitleCellCarriesTheEventColours) {
  Load(kFixture, test::MakeDateTime(2026, 12, 25, 12));
  EXPECT_EQ(model.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
  EXPECT_EQ(model.index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QApplication::palette().color(QPalette::Base));
  EXPECT_EQ(model.index(2, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));  // $00FFFF: red + green
  EXPECT_FALSE(model.index(0, 2).data(Qt::BackgroundRole).isValid());
  EXPECT_FALSE(model.flags(model.index(0, 1)).testFlag(Qt::ItemIsEditable));
}

TEST_F(EventListModelTest, ARefreshIsOneDataChangedOverTheSpanColumns) {
  Load(kFixture, test::MakeDateTime(2026, 12, 25, 12));
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  model.SetNow(test::MakeDateTime(2026, 12, 25, 12, 0, 1));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].toModelIndex(), model.index(0, 5));
  EXPECT_EQ(changed[0][1].toModelIndex(), model.index(2, 11));
  EXPECT_EQ(Text(2, 11), "561,599");
}

TEST_F(EventListModelTest, EventWithoutDateCountsFromTodayAndTheSpanHasNoSign) {
  test::TempDir folder;
  test::WriteFileBytes(folder.File("Config.INI"),
                       "[Event1]\nDateChecked=0\nTime=6:00:00 PM\n"
                       "[Event2]\nDateChecked=0\nTimeChecked=0\n");
  Load(folder.File("Config.INI"), test::MakeDateTime(2026, 12, 25, 17));
  model.SetNow(test::MakeDateTime(2026, 12, 25, 17));
  EXPECT_EQ(Text(0, 9), "1.00");  // hours, one hour before
  model.SetNow(test::MakeDateTime(2026, 12, 25, 19));
  EXPECT_EQ(Text(0, 9), "1.00");   // one hour after
  EXPECT_EQ(Text(1, 9), "19.00");  // from today's midnight
  model.SetNow(test::MakeDateTime(2026, 12, 26, 0, 0, 5));
  EXPECT_EQ(Text(1, 11), " 5");  // restarts at midnight
}

TEST_F(EventListModelTest, ReloadReplacesEveryRow) {
  Load(kFixture, test::MakeDateTime(2026, 12, 25, 12));
  test::TempDir folder;
  test::WriteFileBytes(folder.File("Config.INI"), "[GridSettings]\nColWidth0=1\n");
  Load(folder.File("Config.INI"), test::MakeDateTime(2026, 12, 25, 12));
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.Events().nextEventName, "Event1");
}

TEST_F(EventListModelTest, FailingRowIsReportedOnceAfterThePaintAndNotAtEveryTick) {
  // A moment beyond 9999 cannot be counted to: the row fails at every refresh.
  EventList list;
  EventRow row;
  row.section = "Event1";
  row.date = 2958465.0 + 10;  // past 9999-12-31
  list.rows = {row};
  model.SetEvents(list);
  QSignalSpy failed(&model, &EventListModel::CalculationFailed);
  for (int tick = 0; tick < 3; ++tick) {
    model.SetNow(test::MakeDateTime(2026, 12, 25, 12, 0, tick));
    const qsizetype before = failed.count();
    EXPECT_EQ(Text(0, 11), "");
    EXPECT_EQ(failed.count(), before) << "never reported from inside data()";
    QCoreApplication::processEvents();
  }
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString(), "Event1");
  EXPECT_FALSE(failed[0][1].toString().isEmpty());
}

// A grid that shows some 10 of 1,000 rows: a refresh tells only the rows on screen, whatever the sort
// and the scroll, so that neither the sort proxy nor the view walks every row each second.
struct ShownRowsCase {
  const char* name;
  std::optional<SortKey> sort;  // none: source order
  int scrollToProxyRow;
};

void PrintTo(const ShownRowsCase& c, std::ostream* out) { *out << c.name; }

const ShownRowsCase kShownRowsCases[] = {
    {"SourceOrderTop", std::nullopt, 0},
    {"SourceOrderScrolled", std::nullopt, 500},
    {"SortedByTitleDescending", SortKey{1, Qt::DescendingOrder}, 0},
    {"SortedByTitleScrolledToTheEnd", SortKey{1, Qt::AscendingOrder}, 999},
};

class RefreshOfShownRows : public ::testing::TestWithParam<ShownRowsCase> {
 protected:
  void SetUp() override {
    EventList list;
    for (int row = 0; row < kRows; ++row) {
      EventRow event;
      event.section = "Event" + std::to_string(row + 1);
      event.title = "Title " + std::to_string(row + 1);  // sorts as text: 1, 10, 100, 1000, 101, ...
      event.date = test::MakeDateTime(2026, 1, 1) + row;
      list.rows.push_back(event);
    }
    model.SetEvents(std::move(list));
    grid.setModel(&model);
    grid.resize(600, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    if (GetParam().sort) grid.SortProxy()->SetSortKeys({*GetParam().sort});
    grid.scrollTo(grid.model()->index(GetParam().scrollToProxyRow, 0));
    QCoreApplication::processEvents();
  }

  /// The source rows of the proxy rows from the first to the last one on screen.
  std::set<int> RowsOnScreen() const {
    std::set<int> rows;
    const int top = grid.rowAt(0);
    int bottom = grid.rowAt(grid.viewport()->height() - 1);
    if (bottom < 0) bottom = grid.model()->rowCount() - 1;
    for (int row = top; row <= bottom; ++row)
      rows.insert(grid.SortProxy()->mapToSource(grid.model()->index(row, 0)).row());
    return rows;
  }

  static constexpr int kRows = 1000;
  FormatSettings settings;
  EventListModel model{settings};
  GridView grid;
};

TEST_P(RefreshOfShownRows, DataChangedCoversTheSpanColumnsOfTheRowsOnScreenOnly) {
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy proxyChanged(grid.model(), &QAbstractItemModel::dataChanged);
  model.SetNow(test::MakeDateTime(2026, 12, 25, 12), grid.VisibleSourceRowRuns());

  const std::set<int> expected = RowsOnScreen();
  ASSERT_GE(expected.size(), 5u);
  ASSERT_LE(expected.size(), 20u);
  std::set<int> told;
  for (const QList<QVariant>& signal : changed) {
    const QModelIndex topLeft = signal[0].toModelIndex();
    const QModelIndex bottomRight = signal[1].toModelIndex();
    EXPECT_EQ(topLeft.column(), kFirstSpanColumn);
    EXPECT_EQ(bottomRight.column(), kColumnCount - 1);
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) EXPECT_TRUE(told.insert(row).second) << row;
  }
  EXPECT_EQ(told, expected);
  std::set<int> proxyRows;
  for (const QList<QVariant>& signal : proxyChanged) {
    for (int row = signal[0].toModelIndex().row(); row <= signal[1].toModelIndex().row(); ++row) proxyRows.insert(row);
  }
  EXPECT_EQ(proxyRows.size(), expected.size());
}

TEST_P(RefreshOfShownRows, RowsBroughtIntoViewAfterARefreshCountToItsMoment) {
  const DateTime noon = test::MakeDateTime(2026, 12, 25, 12);
  model.SetNow(noon, grid.VisibleSourceRowRuns());
  const QModelIndex farRow = grid.model()->index(GetParam().scrollToProxyRow < 500 ? 999 : 0, kColumnCount - 1);
  const QString before = farRow.data().toString();
  model.SetNow(noon + 1.0 / 86400, grid.VisibleSourceRowRuns());  // one second later, row off screen
  grid.scrollTo(farRow);
  const QModelIndex source = grid.SortProxy()->mapToSource(farRow);
  const std::array<std::string, kColumnCount> texts =
      RowTexts(model.Events().rows[static_cast<std::size_t>(source.row())], noon + 1.0 / 86400, settings);
  EXPECT_EQ(farRow.data().toString().toStdString(), texts[kColumnCount - 1]);
  EXPECT_NE(farRow.data().toString(), before);
}

TEST_P(RefreshOfShownRows, HiddenGridIsToldNothing) {
  grid.hide();
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  model.SetNow(test::MakeDateTime(2026, 12, 25, 12), grid.VisibleSourceRowRuns());
  EXPECT_EQ(changed.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefreshOfShownRows, ::testing::ValuesIn(kShownRowsCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace almanex
