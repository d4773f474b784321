#include "grid/MultiKeySortProxy.h"

#include <algorithm>

namespace almanex {

MultiKeySortProxy::MultiKeySortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  // A sort of the whole list each second, when the spans refresh, would cost too much and would move
  // rows under the user's pointer.
  setDynamicSortFilter(false);
}

void MultiKeySortProxy::setSourceModel(QAbstractItemModel* model) {
  disconnect(resetStartConnection_);
  disconnect(resetEndConnection_);
  keys_.clear();
  QSortFilterProxyModel::setSourceModel(model);
  QSortFilterProxyModel::sort(-1);
  if (model != nullptr) {
    // Connected after the base class's own handlers, so these run once the proxy has followed the reset.
    resetStartConnection_ =
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &MultiKeySortProxy::OnSourceAboutToBeReset);
    resetEndConnection_ = connect(model, &QAbstractItemModel::modelReset, this, &MultiKeySortProxy::OnSourceReset);
  }
  emit SortKeysChanged();
}

void MultiKeySortProxy::OnSourceAboutToBeReset() {
  // Without keys any sorting the base class does while it rebuilds its mapping keeps source order.
  keys_.clear();
}

void MultiKeySortProxy::OnSourceReset() {
  QSortFilterProxyModel::sort(-1);
  if (const int columns = columnCount(); columns > 0) {
    emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
  }
  emit SortKeysChanged();
}

void MultiKeySortProxy::SetSortKeys(const QList<SortKey>& keys) {
  const int columns = sourceModel() != nullptr ? sourceModel()->columnCount() : 0;
  QList<SortKey> valid;
  for (const SortKey& key : keys) {
    const bool known = key.column >= 0 && key.column < columns;
    const bool repeated =
        std::any_of(valid.begin(), valid.end(), [&](const SortKey& taken) { return taken.column == key.column; });
    if (known && !repeated) {
      valid.append(key);
    }
  }
  keys_ = valid;
  ApplyKeys();
}

void MultiKeySortProxy::ClearSort() { SetSortKeys({}); }

void MultiKeySortProxy::ClickColumn(int column, bool addKey) {
  QList<SortKey> keys = keys_;
  const auto found =
      std::find_if(keys.begin(), keys.end(), [column](const SortKey& key) { return key.column == column; });
  const auto toggled = [](Qt::SortOrder order) {
    return order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
  };
  if (addKey) {
    if (found != keys.end()) {
      found->order = toggled(found->order);
    } else {
      keys.append({column, Qt::AscendingOrder});
    }
  } else if (keys.size() == 1 && found != keys.end()) {
    found->order = toggled(found->order);
  } else {
    keys = {{column, Qt::AscendingOrder}};
  }
  SetSortKeys(keys);
}

void MultiKeySortProxy::sort(int column, Qt::SortOrder order) {
  if (column < 0) {
    ClearSort();
  } else {
    SetSortKeys({{column, order}});
  }
}

void MultiKeySortProxy::ApplyKeys() {
  if (keys_.isEmpty()) {
    QSortFilterProxyModel::sort(-1);
  } else {
    // Every direction is applied inside lessThan(), so the base class always sorts ascending.
    const int rows = sourceModel()->rowCount();
    cache_.assign(static_cast<std::size_t>(keys_.size()), {});
    for (qsizetype k = 0; k < keys_.size(); ++k) {
      std::vector<CellKey>& cells = cache_[static_cast<std::size_t>(k)];
      cells.reserve(static_cast<std::size_t>(rows));
      for (int row = 0; row < rows; ++row) {
        cells.push_back(ReadCell(row, keys_[k].column));
      }
    }
    QSortFilterProxyModel::sort(keys_.first().column, Qt::AscendingOrder);
    cache_.clear();
  }
  if (const int columns = columnCount(); columns > 0) {
    emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
  }
  emit SortKeysChanged();
}

MultiKeySortProxy::CellKey MultiKeySortProxy::ReadCell(int row, int column) const {
  const QModelIndex index = sourceModel()->index(row, column);
  CellKey cell;
  cell.value = index.data(kSortRole);
  if (!cell.value.isValid()) {
    cell.text = index.data(Qt::DisplayRole).toString();
  }
  return cell;
}

int MultiKeySortProxy::CompareKeys(const CellKey& left, const CellKey& right) {
  const bool leftHasValue = left.value.isValid();
  const bool rightHasValue = right.value.isValid();
  if (leftHasValue && rightHasValue) {
    if (left.value.userType() == QMetaType::QString && right.value.userType() == QMetaType::QString) {
      return QString::localeAwareCompare(left.value.toString(), right.value.toString());
    }
    const QPartialOrdering ordering = QVariant::compare(left.value, right.value);
    if (ordering == QPartialOrdering::Less) {
      return -1;
    }
    if (ordering == QPartialOrdering::Greater) {
      return 1;
    }
    if (ordering == QPartialOrdering::Equivalent) {
      return 0;
    }
    // Values that do not compare (different kinds) fall back to their texts.
    return QString::localeAwareCompare(left.value.toString(), right.value.toString());
  }
  if (leftHasValue != rightHasValue) {
    return leftHasValue ? 1 : -1;
  }
  return QString::localeAwareCompare(left.text, right.text);
}

int MultiKeySortProxy::CompareCells(int keyIndex, int leftRow, int rightRow) const {
  const auto k = static_cast<std::size_t>(keyIndex);
  if (k < cache_.size()) {
    const std::vector<CellKey>& cells = cache_[k];
    const auto left = static_cast<std::size_t>(leftRow);
    const auto right = static_cast<std::size_t>(rightRow);
    if (left < cells.size() && right < cells.size()) {
      return CompareKeys(cells[left], cells[right]);
    }
  }
  const int column = keys_[keyIndex].column;
  return CompareKeys(ReadCell(leftRow, column), ReadCell(rightRow, column));
}

bool MultiKeySortProxy::lessThan(const QModelIndex& sourceLeft, const QModelIndex& sourceRight) const {
  const int leftRow = sourceLeft.row();
  const int rightRow = sourceRight.row();
  for (qsizetype k = 0; k < keys_.size(); ++k) {
    int result = CompareCells(static_cast<int>(k), leftRow, rightRow);
    if (result != 0) {
      return keys_[k].order == Qt::AscendingOrder ? result < 0 : result > 0;
    }
  }
  // Equal under every key (or no key at all): source order, so that ties never move, whatever the
  // direction and whatever order the rows stood in before this sort.
  return leftRow < rightRow;
}

QString MultiKeySortProxy::DecoratedTitle(const QString& title, Qt::SortOrder order, int position) {
  const QChar arrow = order == Qt::AscendingOrder ? QChar(0x25B2) : QChar(0x25BC);  // ▲ or ▼
  return title + QLatin1Char(' ') + arrow + QString::number(position + 1);
}

QVariant MultiKeySortProxy::headerData(int section, Qt::Orientation orientation, int role) const {
  QVariant title = QSortFilterProxyModel::headerData(section, orientation, role);
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || keys_.size() < 2) {
    return title;
  }
  for (qsizetype k = 0; k < keys_.size(); ++k) {
    if (keys_[k].column == section) {
      return DecoratedTitle(title.toString(), keys_[k].order, static_cast<int>(k));
    }
  }
  return title;
}

}  // namespace almanex
