#pragma once
// The rows of the main window's grid: one event section each, in file order.
//
// The file is read only by a load (SetEvents); the span columns are computed from the row's own date
// and time when the view asks for them, at the moment of the last refresh (SetNow). A refresh is a
// dataChanged over the span columns of the rows a view shows (or of every row), so only the rows on
// screen are computed again, and a sort proxy in between maps only those rows.

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "datetime/FormatSettings.h"
#include "store/EventList.h"

namespace almanex {

class EventListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit EventListModel(const FormatSettings& settings, QObject* parent = nullptr);

  /// Replaces every row (a reload). Span texts stay empty until the next SetNow.
  void SetEvents(EventList list);
  /// The refresh: span texts now count to `now`. One dataChanged over the span columns of every row.
  void SetNow(DateTime now);
  /// The refresh for a view that shows only some rows: one dataChanged over the span columns of each
  /// run [first, last] of source rows in `shownRows` (none when it is empty). Every other row counts to
  /// `now` as well once a view asks for it (a scroll, a copy, a print).
  void SetNow(DateTime now, const QList<std::pair<int, int>>& shownRows);

  const EventList& Events() const { return list_; }
  /// The section name of a row: the event's identity.
  QString SectionAt(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  /// A row's calculation failed for the first time since it last succeeded. Emitted after the
  /// paint that found it, never from inside data().
  void CalculationFailed(const QString& section, const QString& message);

 private:
  struct SpanCache {
    std::uint64_t refresh = 0;  // the refresh these texts belong to; 0 never computed
    std::array<QString, 7> texts;
  };
  const SpanCache& Spans(int row) const;
  void ReportFailures();

  const FormatSettings& settings_;
  EventList list_;
  DateTime now_ = 0;
  std::uint64_t refresh_ = 0;  // 0 until the first SetNow
  mutable std::vector<SpanCache> spans_;
  mutable std::vector<std::pair<QString, QString>> pendingFailures_;  // section, message; reported after the paint
  mutable bool reportQueued_ = false;
  mutable QSet<QString> reportedSections_;
};

}  // namespace almanex
