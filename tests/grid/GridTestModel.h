#pragma once
// The small list the grid tests run on: a tie in the titles, counts that sort differently as text,
// dates whose texts sort differently from the dates, and one row without a date.

#include <QDate>
#include <QStandardItemModel>
#include <QStringList>

#include "grid/MultiKeySortProxy.h"
#include "tests/common/QtPrinting.h"

namespace almanex::test {

/// A QStandardItemModel whose contents can be "reloaded" by a model reset, as the event list is.
class ReloadableModel : public QStandardItemModel {
 public:
  using QStandardItemModel::QStandardItemModel;
  void Reload() {
    beginResetModel();
    endResetModel();
  }
};

enum GridTestColumn { kNo = 0, kTitle = 1, kDate = 2, kCount = 3, kColumnCount = 4 };

/// Rows in source order:
///   Event1  beta   05/03/2020   10
///   Event2  Alpha  28/12/2019    9
///   Event3  beta   20/01/2021  100
///   Event4  gamma  (no date)    10
inline void FillGridTestModel(QStandardItemModel& model, int rows = 4) {
  struct Row {
    const char* no;
    const char* title;
    QDate date;
    int count;
  };
  const Row table[] = {
      {"Event1", "beta", QDate(2020, 3, 5), 10},
      {"Event2", "Alpha", QDate(2019, 12, 28), 9},
      {"Event3", "beta", QDate(2021, 1, 20), 100},
      {"Event4", "gamma", QDate(), 10},
  };
  model.clear();
  model.setColumnCount(kColumnCount);
  model.setHorizontalHeaderLabels({"No", "Title", "Date", "Count"});
  for (int r = 0; r < rows && r < 4; ++r) {
    const Row& row = table[r];
    QList<QStandardItem*> items;
    items << new QStandardItem(row.no) << new QStandardItem(row.title);
    auto* date = new QStandardItem(row.date.isValid() ? row.date.toString("dd/MM/yyyy") : QString());
    if (row.date.isValid()) {
      date->setData(row.date, kSortRole);
    }
    auto* count = new QStandardItem(QString::number(row.count));
    count->setData(row.count, kSortRole);
    items << date << count;
    model.appendRow(items);
  }
}

/// The texts of one column, top row first.
inline QStringList ColumnTexts(const QAbstractItemModel& model, int column = kNo) {
  QStringList texts;
  for (int row = 0; row < model.rowCount(); ++row) {
    texts << model.index(row, column).data().toString();
  }
  return texts;
}

/// The horizontal titles as shown.
inline QStringList TitleTexts(const QAbstractItemModel& model) {
  QStringList texts;
  for (int column = 0; column < model.columnCount(); ++column) {
    texts << model.headerData(column, Qt::Horizontal).toString();
  }
  return texts;
}

}  // namespace almanex::test
