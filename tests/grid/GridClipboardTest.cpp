// Copy to Clipboard on the event list's twelve columns: exactly the selected rows, in the order shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QStandardItemModel>

#include "grid/GridView.h"
#include "grid/MultiKeySortProxy.h"
#include "tests/grid/PrintTestSupport.h"

namespace almanex::test {
namespace {

QString RowLine(int r) {
  QStringList cells{QStringLiteral("Event%1").arg(r)};
  for (int c = 1; c < 12; ++c) {
    cells << QStringLiteral("R%1C%2").arg(r).arg(c);
  }
  return cells.join(u'\t') + u'\n';
}

TEST(GridClipboardTest, SelectedRowsWithAllColumnsInShownOrderAfterASort) {
  QStandardItemModel model;
  FillEventColumns(model, 6);
  GridView grid;
  grid.setModel(&model);
  grid.SortProxy()->SetSortKeys({SortKey{0, Qt::DescendingOrder}});  // shown: Event6 ... Event1
  // Shown rows 1 to 2 and 4: Event5, Event4 and Event2, selected bottom row first.
  QItemSelectionModel* selection = grid.selectionModel();
  const auto select = [&](int shownRow) {
    selection->select(grid.model()->index(shownRow, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  };
  select(4);
  select(1);
  select(2);
  grid.CopySelectionToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(), RowLine(5) + RowLine(4) + RowLine(2));
}

}  // namespace
}  // namespace almanex::test
