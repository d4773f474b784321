#pragma once
// A sort proxy with several sort keys, sorting only when told to.

#include <QList>
#include <QSortFilterProxyModel>
#include <QString>
#include <QVariant>
#include <vector>

namespace almanex {

/// The role a model answers with a value to sort by (a number, a date-time, ...) where its display
/// text would sort wrongly. Cells without it sort by their display text.
inline constexpr int kSortRole = Qt::UserRole + 1;

/// One sort key: a source column and its direction.
struct SortKey {
  int column = 0;
  Qt::SortOrder order = Qt::AscendingOrder;
  friend bool operator==(const SortKey&, const SortKey&) = default;
};

/// Sorts the rows of a flat source model by a list of keys, the first key deciding first.
///
/// Contracts:
/// - Cells compare by kSortRole when both have it (numbers, dates; strings by locale), else by
///   display text with QString::localeAwareCompare; a cell with no kSortRole value sorts before one
///   with it. Rows equal under every key keep their source order, in either direction.
/// - The proxy never sorts by itself: a change of data (the span refresh each second) or inserted
///   rows leave the order as it is. Only SetSortKeys(), ClickColumn() and sort() sort.
/// - A reset of the source (a reload of the list) clears the keys: rows stand in source order again.
/// - With two or more keys the horizontal titles carry the key's direction and position
///   ("Title ▲1", "Date ▼2"); with one key the titles are plain and the view shows its sort indicator.
class MultiKeySortProxy : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit MultiKeySortProxy(QObject* parent = nullptr);

  void setSourceModel(QAbstractItemModel* model) override;

  /// The keys in force, first key first; empty when the rows stand in source order.
  const QList<SortKey>& SortKeys() const { return keys_; }
  /// Sorts by `keys`. Keys naming no source column, and repeated columns after their first, are dropped.
  void SetSortKeys(const QList<SortKey>& keys);
  /// Back to source order.
  void ClearSort();
  /// A click on the title of `column`. Without addKey it sorts by that column alone, ascending, or
  /// toggles the direction when it is already the only key. With addKey it appends the column as a
  /// further ascending key, or toggles its direction when it already is a key.
  void ClickColumn(int column, bool addKey);

  /// Sorts by `column` alone; a negative column restores source order.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  /// The title shown for a key at `position` (0 for the first key) when several keys are in force.
  static QString DecoratedTitle(const QString& title, Qt::SortOrder order, int position);

 signals:
  /// The keys changed (a sort, a clear, or the reset of the source).
  void SortKeysChanged();

 protected:
  bool lessThan(const QModelIndex& sourceLeft, const QModelIndex& sourceRight) const override;

 private:
  /// One cell's sort value, read once per sort.
  struct CellKey {
    QVariant value;  ///< kSortRole, when the model gives it
    QString text;    ///< display text, when it does not
  };

  void ApplyKeys();
  void OnSourceAboutToBeReset();
  void OnSourceReset();
  CellKey ReadCell(int row, int column) const;
  /// <0, 0, >0 as the cells of sourceLeft's and sourceRight's rows compare under `key`, ascending.
  int CompareCells(int keyIndex, int leftRow, int rightRow) const;
  static int CompareKeys(const CellKey& left, const CellKey& right);

  QList<SortKey> keys_;
  /// Cell values per key and source row, filled for the length of one sort so that every row's cells
  /// are read once instead of once per comparison; empty otherwise.
  std::vector<std::vector<CellKey>> cache_;
  QMetaObject::Connection resetStartConnection_;
  QMetaObject::Connection resetEndConnection_;
};

}  // namespace almanex
