// The sort proxy: keys from title clicks, comparison rules, stability, and no sorting by itself.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <memory>
#include <vector>

#include "grid/MultiKeySortProxy.h"
#include "tests/grid/GridTestModel.h"

namespace almanex::test {
namespace {

class MultiKeySortProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillGridTestModel(model_);
    proxy_.setSourceModel(&model_);
    tester_ =
        std::make_unique<QAbstractItemModelTester>(&proxy_, QAbstractItemModelTester::FailureReportingMode::Fatal);
  }

  ReloadableModel model_;
  MultiKeySortProxy proxy_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

struct Click {
  int column;
  bool addKey;
};

struct ClickCase {
  const char* name;
  std::vector<Click> clicks;
  QList<SortKey> keys;
  QStringList order;   // column "No", top first
  QStringList titles;  // as shown
};

void PrintTo(const ClickCase& c, std::ostream* out) { *out << c.name; }

const QStringList kPlainTitles = {"No", "Title", "Date", "Count"};

const ClickCase kClickCases[] = {
    {"OneClickSortsAscending",
     {{kTitle, false}},
     {{kTitle, Qt::AscendingOrder}},
     {"Event2", "Event1", "Event3", "Event4"},
     kPlainTitles},
    {"SameTitleAgainToggles",
     {{kTitle, false}, {kTitle, false}},
     {{kTitle, Qt::DescendingOrder}},
     {"Event4", "Event1", "Event3", "Event2"},
     kPlainTitles},
    {"ThirdClickTogglesBack",
     {{kTitle, false}, {kTitle, false}, {kTitle, false}},
     {{kTitle, Qt::AscendingOrder}},
     {"Event2", "Event1", "Event3", "Event4"},
     kPlainTitles},
    {"OtherTitleReplacesTheKey",
     {{kTitle, false}, {kCount, false}},
     {{kCount, Qt::AscendingOrder}},
     {"Event2", "Event1", "Event4", "Event3"},
     kPlainTitles},
    {"ShiftAddsAKey",
     {{kTitle, false}, {kCount, true}},
     {{kTitle, Qt::AscendingOrder}, {kCount, Qt::AscendingOrder}},
     {"Event2", "Event1", "Event3", "Event4"},
     {"No", "Title \u25B21", "Date", "Count \u25B22"}},
    {"ShiftOnAKeyTogglesIt",
     {{kTitle, false}, {kCount, true}, {kCount, true}},
     {{kTitle, Qt::AscendingOrder}, {kCount, Qt::DescendingOrder}},
     {"Event2", "Event3", "Event1", "Event4"},
     {"No", "Title \u25B21", "Date", "Count \u25BC2"}},
    {"ShiftOnTheFirstKeyTogglesIt",
     {{kTitle, false}, {kCount, true}, {kTitle, true}},
     {{kTitle, Qt::DescendingOrder}, {kCount, Qt::AscendingOrder}},
     {"Event4", "Event1", "Event3", "Event2"},
     {"No", "Title \u25BC1", "Date", "Count \u25B22"}},
    {"ThreeKeysNumbered",
     {{kCount, false}, {kTitle, true}, {kNo, true}, {kNo, true}},
     {{kCount, Qt::AscendingOrder}, {kTitle, Qt::AscendingOrder}, {kNo, Qt::DescendingOrder}},
     {"Event2", "Event1", "Event4", "Event3"},
     {"No \u25BC3", "Title \u25B22", "Date", "Count \u25B21"}},
    {"PlainClickAfterTwoKeysLeavesOne",
     {{kTitle, false}, {kCount, true}, {kTitle, false}},
     {{kTitle, Qt::AscendingOrder}},
     {"Event2", "Event1", "Event3", "Event4"},
     kPlainTitles},
    {"ShiftWithoutKeysStartsOne",
     {{kCount, true}},
     {{kCount, Qt::AscendingOrder}},
     {"Event2", "Event1", "Event4", "Event3"},
     kPlainTitles},
};

class ClickSequenceTest : public MultiKeySortProxyTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ClickSequenceTest, KeysOrderAndTitles) {
  const ClickCase& c = GetParam();
  for (const Click& click : c.clicks) {
    proxy_.ClickColumn(click.column, click.addKey);
  }
  EXPECT_EQ(proxy_.SortKeys(), c.keys);
  EXPECT_EQ(ColumnTexts(proxy_), c.order);
  EXPECT_EQ(TitleTexts(proxy_), c.titles);
}

INSTANTIATE_TEST_SUITE_P(Clicks, ClickSequenceTest, ::testing::ValuesIn(kClickCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct OrderCase {
  const char* name;
  QList<SortKey> keys;
  QStringList order;
};

void PrintTo(const OrderCase& c, std::ostream* out) { *out << c.name; }

const OrderCase kOrderCases[] = {
    // 9 < 10 < 100 by number; as text "10" < "100" < "9".
    {"CountsByNumber", {{kCount, Qt::AscendingOrder}}, {"Event2", "Event1", "Event4", "Event3"}},
    // Ties (Event1 and Event4 both count 10) keep source order in the descending direction too.
    {"CountsDescendingTiesInSourceOrder", {{kCount, Qt::DescendingOrder}}, {"Event3", "Event1", "Event4", "Event2"}},
    // By date, not by the "dd/MM/yyyy" text; the row without a date comes first.
    {"DatesByDate", {{kDate, Qt::AscendingOrder}}, {"Event4", "Event2", "Event1", "Event3"}},
    {"DatesDescending", {{kDate, Qt::DescendingOrder}}, {"Event3", "Event1", "Event2", "Event4"}},
    // Texts without a sort value compare by locale.
    {"TitlesByText", {{kTitle, Qt::AscendingOrder}}, {"Event2", "Event1", "Event3", "Event4"}},
    {"TitleThenDateDescending",
     {{kTitle, Qt::AscendingOrder}, {kDate, Qt::DescendingOrder}},
     {"Event2", "Event3", "Event1", "Event4"}},
    // Unknown and repeated columns are dropped.
    {"UnknownColumnDropped",
     {{99, Qt::AscendingOrder}, {-1, Qt::AscendingOrder}},
     {"Event1", "Event2", "Event3", "Event4"}},
    {"RepeatedColumnDropped",
     {{kTitle, Qt::DescendingOrder}, {kTitle, Qt::AscendingOrder}},
     {"Event4", "Event1", "Event3", "Event2"}},
};

class SortOrderTest : public MultiKeySortProxyTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(SortOrderTest, RowsStandInOrder) {
  proxy_.SetSortKeys(GetParam().keys);
  EXPECT_EQ(ColumnTexts(proxy_), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(Orders, SortOrderTest, ::testing::ValuesIn(kOrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MultiKeySortProxyTest, TiesKeepSourceOrderWhateverTheOrderBefore) {
  // Sorted by count descending first, Event3 stands above Event1; a sort by title must still list
  // the two "beta" rows in source order.
  proxy_.SetSortKeys({{kCount, Qt::DescendingOrder}});
  ASSERT_EQ(ColumnTexts(proxy_), QStringList({"Event3", "Event1", "Event4", "Event2"}));
  proxy_.ClickColumn(kTitle, false);
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event2", "Event1", "Event3", "Event4"}));
  proxy_.ClickColumn(kTitle, false);
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event4", "Event1", "Event3", "Event2"}));
}

TEST_F(MultiKeySortProxyTest, DataChangesNeverResort) {
  proxy_.SetSortKeys({{kCount, Qt::AscendingOrder}});
  ASSERT_EQ(ColumnTexts(proxy_), QStringList({"Event2", "Event1", "Event4", "Event3"}));
  QSignalSpy layouts(&proxy_, &QAbstractItemModel::layoutChanged);
  QSignalSpy changes(&proxy_, &QAbstractItemModel::dataChanged);
  // Event2's count now belongs at the bottom, Event3's at the top, as a refresh could make them.
  model_.item(1, kCount)->setData(1000, kSortRole);
  model_.item(1, kCount)->setText("1000");
  model_.item(2, kCount)->setData(1, kSortRole);
  model_.item(2, kCount)->setText("1");
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event2", "Event1", "Event4", "Event3"}));
  EXPECT_EQ(ColumnTexts(proxy_, kCount), QStringList({"1000", "10", "10", "1"}));
  EXPECT_EQ(layouts.count(), 0);
  EXPECT_GT(changes.count(), 0);
  // The next click sorts by the new values.
  proxy_.ClickColumn(kCount, false);  // the only key: descending
  proxy_.ClickColumn(kCount, false);  // ascending again
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event3", "Event1", "Event4", "Event2"}));
}

TEST_F(MultiKeySortProxyTest, InsertedRowsDoNotResort) {
  proxy_.SetSortKeys({{kTitle, Qt::DescendingOrder}});
  QList<QStandardItem*> items = {new QStandardItem("Event5"), new QStandardItem("zeta"), new QStandardItem(),
                                 new QStandardItem("1")};
  model_.appendRow(items);
  ASSERT_EQ(proxy_.rowCount(), 5);
  QStringList order = ColumnTexts(proxy_);
  EXPECT_EQ(order.removeAll("Event5"), 1);
  EXPECT_EQ(order, QStringList({"Event4", "Event1", "Event3", "Event2"})) << "the rows already shown keep their order";
}

TEST_F(MultiKeySortProxyTest, ResetOfTheSourceClearsTheSort) {
  proxy_.SetSortKeys({{kTitle, Qt::DescendingOrder}, {kCount, Qt::AscendingOrder}});
  ASSERT_NE(ColumnTexts(proxy_), QStringList({"Event1", "Event2", "Event3", "Event4"}));
  QSignalSpy keysChanged(&proxy_, &MultiKeySortProxy::SortKeysChanged);
  model_.Reload();
  EXPECT_TRUE(proxy_.SortKeys().isEmpty());
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event1", "Event2", "Event3", "Event4"}));
  EXPECT_EQ(TitleTexts(proxy_), kPlainTitles);
  EXPECT_GE(keysChanged.count(), 1);
}

TEST_F(MultiKeySortProxyTest, ReloadWithOtherRowsShowsThemInSourceOrder) {
  proxy_.SetSortKeys({{kTitle, Qt::DescendingOrder}});
  FillGridTestModel(model_, 3);  // clear() resets the model, then rows are appended
  EXPECT_TRUE(proxy_.SortKeys().isEmpty());
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event1", "Event2", "Event3"}));
}

TEST_F(MultiKeySortProxyTest, SortWithAColumnIsOneKeyAndMinusOneIsSourceOrder) {
  proxy_.sort(kCount, Qt::DescendingOrder);
  EXPECT_EQ(proxy_.SortKeys(), QList<SortKey>({{kCount, Qt::DescendingOrder}}));
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event3", "Event1", "Event4", "Event2"}));
  proxy_.sort(-1);
  EXPECT_TRUE(proxy_.SortKeys().isEmpty());
  EXPECT_EQ(ColumnTexts(proxy_), QStringList({"Event1", "Event2", "Event3", "Event4"}));
}

TEST_F(MultiKeySortProxyTest, MappingReadsThroughAfterASort) {
  proxy_.SetSortKeys({{kDate, Qt::AscendingOrder}});
  // Proxy row 0 is Event4, source row 3.
  EXPECT_EQ(proxy_.mapToSource(proxy_.index(0, kTitle)).row(), 3);
  EXPECT_EQ(proxy_.mapFromSource(model_.index(1, kNo)).row(), 1);
  EXPECT_EQ(proxy_.index(0, kTitle).data().toString(), "gamma");
}

TEST(DecoratedTitle, ShowsDirectionAndPosition) {
  EXPECT_EQ(MultiKeySortProxy::DecoratedTitle("Title", Qt::AscendingOrder, 0), "Title \u25B21");
  EXPECT_EQ(MultiKeySortProxy::DecoratedTitle("Date", Qt::DescendingOrder, 1), "Date \u25BC2");
}

}  // namespace
}  // namespace almanex::test
