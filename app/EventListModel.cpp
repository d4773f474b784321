#include "EventListModel.h"

#include <QApplication>
#include <QPalette>
#include <QTimer>
#include <algorithm>

#include "grid/MultiKeySortProxy.h"
#include "grid/WindowsColor.h"

namespace almanex {
namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

EventListModel::EventListModel(const FormatSettings& settings, QObject* parent)
    : QAbstractTableModel(parent), settings_(settings) {}

void EventListModel::SetEvents(EventList list) {
  beginResetModel();
  list_ = std::move(list);
  spans_.assign(list_.rows.size(), SpanCache{});
  endResetModel();
}

void EventListModel::SetNow(DateTime now) {
  if (list_.rows.empty()) {
    SetNow(now, {});
    return;
  }
  SetNow(now, {{0, rowCount() - 1}});
}

void EventListModel::SetNow(DateTime now, const QList<std::pair<int, int>>& shownRows) {
  now_ = now;
  ++refresh_;  // every cached span text is stale from here on, shown or not
  const int last = rowCount() - 1;
  for (const auto& [first, end] : shownRows) {
    const int top = std::max(first, 0);
    const int bottom = std::min(end, last);
    if (top > bottom) continue;
    emit dataChanged(index(top, kFirstSpanColumn), index(bottom, kColumnCount - 1), {Qt::DisplayRole});
  }
}

QString EventListModel::SectionAt(int row) const {
  if (row < 0 || row >= rowCount()) return {};
  return ToQString(list_.rows[static_cast<std::size_t>(row)].section);
}

int EventListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.rows.size());
}

int EventListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

const EventListModel::SpanCache& EventListModel::Spans(int row) const {
  SpanCache& cache = spans_[static_cast<std::size_t>(row)];
  if (cache.refresh == refresh_ || refresh_ == 0) return cache;
  cache.refresh = refresh_;
  const EventRow& event = list_.rows[static_cast<std::size_t>(row)];
  TTimeDeltaValueRecord& record = TimeDeltaValue;
  if (auto failure = CalcRowSpan(event, now_, settings_, record)) {
    cache.texts = {};
    // A row that keeps failing is reported once, until it has succeeded again.
    const QString section = ToQString(event.section);
    if (!reportedSections_.contains(section)) {
      reportedSections_.insert(section);
      pendingFailures_.emplace_back(section, ToQString(*failure));
      if (!reportQueued_) {
        reportQueued_ = true;
        // A box must not open in the middle of a paint: report once the paint is over.
        QTimer::singleShot(0, const_cast<EventListModel*>(this), &EventListModel::ReportFailures);
      }
    }
    return cache;
  }
  if (!reportedSections_.isEmpty()) reportedSections_.remove(ToQString(event.section));
  const auto texts = SpanColumnTexts(record);
  for (std::size_t i = 0; i < texts.size(); ++i) cache.texts[i] = ToQString(*texts[i]);
  return cache;
}

void EventListModel::ReportFailures() {
  reportQueued_ = false;
  const auto failures = std::exchange(pendingFailures_, {});
  for (const auto& [section, message] : failures) emit CalculationFailed(section, message);
}

QVariant EventListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) return {};
  const EventRow& event = list_.rows[static_cast<std::size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      switch (column) {
        case 0:
          return ToQString(event.section);
        case 1:
          return ToQString(event.title);
        case 2:
          return ToQString(event.dateText);
        case 3:
          return ToQString(event.timeText);
        case 4:
          return ToQString(event.typeDesc);
        default:
          return Spans(index.row()).texts[static_cast<std::size_t>(column - kFirstSpanColumn)];
      }
    case kSortRole:
      switch (column) {
        case 2:
          return event.date ? QVariant(*event.date) : QVariant();
        case 3:
          return event.timeText.empty() ? QVariant() : QVariant(event.timeOfDay);
        default:
          if (column >= kFirstSpanColumn)
            return refresh_ == 0 ? QVariant() : QVariant(std::abs(SpanTarget(event, now_) - now_));
          return {};
      }
    case Qt::ForegroundRole:
      if (column == 1) return ColorFromWindowsValue(event.foreColor, QApplication::palette());
      return {};
    case Qt::BackgroundRole:
      if (column == 1) return ColorFromWindowsValue(event.backColor, QApplication::palette());
      return {};
    case Qt::TextAlignmentRole:
      if (column >= kFirstSpanColumn) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return QString::fromLatin1(kColumnTitles[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags EventListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace almanex
