#include "grid/GridView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <vector>

#include "grid/MultiKeySortProxy.h"

namespace almanex {

namespace {

/// A title row of a fixed height, whatever the font would ask for.
class TitleHeader final : public QHeaderView {
 public:
  TitleHeader(int height, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), height_(height) {}

  QSize sizeHint() const override {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(height_);
    return size;
  }

 private:
  int height_;
};

/// The overlay that shows column 0. It repaints only for changes that reach column 0, so the span
/// refresh of the later columns each second costs it nothing.
class FrozenOverlay final : public QTableView {
 public:
  using QTableView::QTableView;

 protected:
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override {
    if (topLeft.isValid() && topLeft.column() > 0) {
      return;
    }
    QTableView::dataChanged(topLeft, bottomRight, roles);
  }
};

/// Cells that are cut to fit their column show their whole text as a tooltip.
class ElidedTextTipDelegate final : public QStyledItemDelegate {
 public:
  ElidedTextTipDelegate(const GridView& grid, QObject* parent) : QStyledItemDelegate(parent), grid_(grid) {}

  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event == nullptr || event->type() != QEvent::ToolTip) {
      return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    if (index.isValid() && grid_.IsCellElided(index)) {
      QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(), option.rect);
    } else {
      QToolTip::hideText();
    }
    return true;
  }

 private:
  const GridView& grid_;
};

QString CleanCellText(QString text) {
  for (QChar& character : text) {
    if (character == u'\t' || character == u'\r' || character == u'\n') {
      character = u' ';
    }
  }
  return text;
}

}  // namespace

GridView::GridView(QWidget* parent) : QTableView(parent), proxy_(new MultiKeySortProxy(this)) {
  setHorizontalHeader(new TitleHeader(kTitleRowHeight, this));
  QTableView::setModel(proxy_);

  frozen_ = new FrozenOverlay(this);
  frozen_->setHorizontalHeader(new TitleHeader(kTitleRowHeight, frozen_));
  frozen_->setModel(proxy_);
  // One selection for both views: a row selected in one is selected in the other.
  QItemSelectionModel* ownSelection = frozen_->selectionModel();
  frozen_->setSelectionModel(selectionModel());
  delete ownSelection;

  QFont font = this->font();
  if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
    font.setFamily(QStringLiteral("Tahoma"));
  }
  font.setPixelSize(kFontPixelSize);
  setFont(font);

  ConfigureTable(this);
  ConfigureTable(frozen_);
  setItemDelegate(new ElidedTextTipDelegate(*this, this));
  frozen_->setItemDelegate(new ElidedTextTipDelegate(*this, frozen_));
  horizontalHeader()->setStretchLastSection(false);
  setCornerButtonEnabled(false);

  frozen_->setFocusPolicy(Qt::NoFocus);
  frozen_->setFrameShape(QFrame::NoFrame);
  frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->horizontalHeader()->setStretchLastSection(false);
  frozen_->hide();
  frozen_->raise();

  connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (column == 0) {
      if (frozen_->columnWidth(0) != size) {
        frozen_->setColumnWidth(0, size);
      }
      UpdateFrozenGeometry();
    }
  });
  // The border of column 0 lies under the overlay, so a drag there resizes the column in both views.
  connect(frozen_->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (column == 0 && columnWidth(0) != size) {
      setColumnWidth(0, size);
    }
  });
  for (QHeaderView* header : {horizontalHeader(), frozen_->horizontalHeader()}) {
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionClicked, this, &GridView::OnTitleSectionClicked);
  }
  connect(this, &QAbstractItemView::doubleClicked, this, &GridView::OnDoubleClicked);
  connect(frozen_, &QAbstractItemView::doubleClicked, this, &GridView::OnDoubleClicked);

  connect(proxy_, &QAbstractItemModel::modelReset, this, &GridView::UpdateFrozenColumn);
  connect(proxy_, &QAbstractItemModel::rowsInserted, this, &GridView::UpdateFrozenColumn);
  connect(proxy_, &QAbstractItemModel::rowsRemoved, this, &GridView::UpdateFrozenColumn);
  connect(proxy_, &QAbstractItemModel::columnsInserted, this, &GridView::UpdateFrozenColumn);
  connect(proxy_, &QAbstractItemModel::columnsRemoved, this, &GridView::UpdateFrozenColumn);
  connect(proxy_, &QAbstractItemModel::layoutChanged, this, &GridView::UpdateFrozenColumn);
  connect(proxy_, &MultiKeySortProxy::SortKeysChanged, this, &GridView::UpdateSortIndicator);
}

GridView::~GridView() {
  // The overlay uses this view's selection model; it goes first.
  delete frozen_;
  frozen_ = nullptr;
}

void GridView::ConfigureTable(QTableView* table) {
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table->setAlternatingRowColors(true);
  table->setWordWrap(false);
  table->setSortingEnabled(false);  // sorting runs through TitleClicked(), never by the table itself
  table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

  QHeaderView* rows = table->verticalHeader();
  rows->hide();
  // Uniform rows: the view never measures a row's contents, whatever the number of rows.
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(kDefaultRowHeight);

  QHeaderView* titles = table->horizontalHeader();
  QFont titleFont = font();
  titleFont.setBold(true);
  titles->setFont(titleFont);
  titles->setSectionResizeMode(QHeaderView::Interactive);
  titles->setMinimumSectionSize(kMinimumColumnWidth);
  titles->setSectionsClickable(true);
  titles->setHighlightSections(false);
  titles->setSortIndicatorShown(false);
  titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void GridView::setModel(QAbstractItemModel* model) {
  if (model == proxy_) {
    return;
  }
  proxy_->setSourceModel(model);
  UpdateFrozenColumn();
  UpdateSortIndicator();
}

QAbstractItemModel* GridView::SourceModel() const { return proxy_->sourceModel(); }

int GridView::ColumnWidth(int column) const {
  if (column < 0 || column >= horizontalHeader()->count()) {
    return 0;
  }
  return columnWidth(column);
}

void GridView::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= horizontalHeader()->count() || width < 0) {
    return;
  }
  setColumnWidth(column, width);
}

int GridView::CellTextMargins() const {
  // As the style draws an item's text: a margin on each side, inside the cell that the grid line
  // leaves.
  const int textMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int gridLine = showGrid() ? 1 : 0;
  return 2 * textMargin + gridLine;
}

int GridView::CellTextRoom(int column) const { return ColumnWidth(column) - CellTextMargins(); }

bool GridView::IsCellElided(const QModelIndex& proxyIndex) const {
  if (!proxyIndex.isValid()) {
    return false;
  }
  const QString text = proxyIndex.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) {
    return false;
  }
  const qreal needed = QFontMetricsF(font()).horizontalAdvance(text);
  return std::ceil(needed) > CellTextRoom(proxyIndex.column());
}

int GridView::FittingColumnWidth(int column, const QStringList& extraTexts) const {
  if (column < 0 || column >= proxy_->columnCount()) {
    return 0;
  }
  // The title, with the widest marker of a sort key: the header's own indicator for a single key, the
  // arrow and number that the title carries when there are several.
  const QHeaderView* titles = horizontalHeader();
  const QString title = proxy_->sourceModel() != nullptr
                            ? proxy_->sourceModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()
                            : QString();
  QStyleOptionHeader option;
  option.initFrom(titles);
  option.section = column;
  option.fontMetrics = QFontMetrics(titles->font());
  option.sortIndicator = QStyleOptionHeader::SortDown;
  int width = 0;
  for (const QChar arrow : {QChar(0x25B2), QChar(0x25BC)}) {
    option.text = title + QLatin1Char(' ') + arrow + QLatin1Char('9');
    width = std::max(width, style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), titles).width());
  }

  const QFontMetricsF cells(font());
  qreal widestText = 0;
  const int rows = std::min(proxy_->rowCount(), kFitSampleRows);
  QAbstractItemModel* source = SourceModel();
  for (int row = 0; row < rows && source != nullptr; ++row) {
    widestText =
        std::max(widestText, cells.horizontalAdvance(source->index(row, column).data(Qt::DisplayRole).toString()));
  }
  for (const QString& text : extraTexts) {
    widestText = std::max(widestText, cells.horizontalAdvance(text));
  }
  const int cellWidth = static_cast<int>(std::ceil(widestText)) + CellTextMargins();
  return std::max({width, cellWidth, int{kMinimumColumnWidth}});
}

int GridView::SourceRowOf(const QModelIndex& proxyIndex) const {
  if (!proxyIndex.isValid()) {
    return -1;
  }
  return proxy_->mapToSource(proxyIndex).row();
}

int GridView::CurrentSourceRow() const { return SourceRowOf(currentIndex()); }

void GridView::SetCurrentSourceRow(int sourceRow) {
  QAbstractItemModel* source = SourceModel();
  if (source == nullptr || sourceRow < 0 || sourceRow >= source->rowCount()) {
    return;
  }
  const QModelIndex current = currentIndex();
  const int column = current.isValid() ? current.column() : 0;
  const QModelIndex index = proxy_->mapFromSource(source->index(sourceRow, column));
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

QList<int> GridView::SelectedProxyRows() const {
  QList<int> rows;
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    if (range.parent().isValid()) {
      continue;
    }
    for (int row = range.top(); row <= range.bottom(); ++row) {
      rows.append(row);
    }
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

QList<int> GridView::SelectedSourceRows() const {
  QList<int> rows;
  for (int proxyRow : SelectedProxyRows()) {
    rows.append(SourceRowOf(proxy_->index(proxyRow, 0)));
  }
  return rows;
}

QList<std::pair<int, int>> GridView::VisibleSourceRowRuns() const {
  const int rows = proxy_->rowCount();
  if (!isVisible() || rows == 0 || viewport()->height() <= 0) {
    return {};
  }
  const int top = rowAt(0);
  if (top < 0) {
    return {};
  }
  int bottom = rowAt(viewport()->height() - 1);
  if (bottom < 0) {
    bottom = rows - 1;  // the rows end above the bottom of the viewport
  }
  std::vector<int> sourceRows;
  sourceRows.reserve(static_cast<std::size_t>(bottom - top + 1));
  for (int row = top; row <= bottom; ++row) {
    sourceRows.push_back(SourceRowOf(proxy_->index(row, 0)));
  }
  std::sort(sourceRows.begin(), sourceRows.end());
  QList<std::pair<int, int>> runs;
  for (const int row : sourceRows) {
    if (!runs.isEmpty() && runs.back().second + 1 == row) {
      runs.back().second = row;
    } else {
      runs.append({row, row});
    }
  }
  return runs;
}

void GridView::TitleClicked(int column, Qt::KeyboardModifiers modifiers) {
  if (proxy_->rowCount() >= 2 && column >= 0 && column < proxy_->columnCount()) {
    proxy_->ClickColumn(column, modifiers.testFlag(Qt::ShiftModifier));
  }
  // The header flips its own indicator on every click; put it back to what the proxy holds.
  UpdateSortIndicator();
}

void GridView::OnTitleSectionClicked(int column) { TitleClicked(column, titleClickModifiers_); }

void GridView::OnDoubleClicked(const QModelIndex& index) {
  if (index.isValid()) {
    emit RowDoubleClicked(SourceRowOf(index));
  }
}

bool GridView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
    titleClickModifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
  }
  return QTableView::eventFilter(watched, event);
}

void GridView::UpdateSortIndicator() {
  if (frozen_ == nullptr) {
    return;
  }
  const QList<SortKey>& keys = proxy_->SortKeys();
  QHeaderView* titles = horizontalHeader();
  QHeaderView* frozenTitles = frozen_->horizontalHeader();
  if (keys.size() == 1) {
    titles->setSortIndicator(keys.first().column, keys.first().order);
    titles->setSortIndicatorShown(true);
    frozenTitles->setSortIndicator(keys.first().column, keys.first().order);
    frozenTitles->setSortIndicatorShown(keys.first().column == 0);
  } else {
    // No key, or several: then the titles themselves carry the order of the keys.
    titles->setSortIndicatorShown(false);
    frozenTitles->setSortIndicatorShown(false);
  }
}

bool GridView::IsFirstColumnFrozen() const { return frozen_ != nullptr && !frozen_->isHidden(); }

void GridView::UpdateFrozenColumn() {
  if (frozen_ == nullptr) {
    return;
  }
  const int columns = proxy_->columnCount();
  for (int column = 0; column < columns; ++column) {
    frozen_->setColumnHidden(column, column != 0);
  }
  if (columns > 0 && frozen_->columnWidth(0) != columnWidth(0)) {
    frozen_->setColumnWidth(0, columnWidth(0));
  }
  frozen_->setHidden(columns == 0 || proxy_->rowCount() == 0);
  UpdateFrozenGeometry();
}

void GridView::UpdateFrozenGeometry() {
  if (frozen_ == nullptr || frozen_->isHidden()) {
    return;
  }
  const int left = frameWidth() + (verticalHeader()->isHidden() ? 0 : verticalHeader()->width());
  frozen_->setGeometry(left, frameWidth(), columnWidth(0), viewport()->height() + horizontalHeader()->height());
  frozen_->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void GridView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  UpdateFrozenGeometry();
}

void GridView::updateGeometries() {
  QTableView::updateGeometries();
  UpdateFrozenGeometry();
}

void GridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!IsFirstColumnFrozen() || !index.isValid()) {
    QTableView::scrollTo(index, hint);
    return;
  }
  QScrollBar* sideways = horizontalScrollBar();
  if (index.column() == 0) {
    // Column 0 is always in sight: scroll up or down only.
    const int kept = sideways->value();
    QTableView::scrollTo(index, hint);
    sideways->setValue(kept);
    return;
  }
  QTableView::scrollTo(index, hint);
  // A cell that ended up under the frozen column is brought out to its right.
  const int hidden = frozen_->width() - visualRect(index).left();
  if (hidden > 0) {
    sideways->setValue(sideways->value() - hidden);
  }
}

void GridView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelectionToClipboard();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit KeyPressed(QChar(u'\r'));
    event->accept();
    return;
  }
  if (!event->text().isEmpty()) {
    emit KeyPressed(event->text().front());
  }
  QTableView::keyPressEvent(event);
}

QString GridView::SelectionText() const {
  const int columns = proxy_->columnCount();
  QString text;
  const auto appendLine = [&](const auto& cellText) {
    for (int column = 0; column < columns; ++column) {
      if (column > 0) {
        text += u'\t';
      }
      text += CleanCellText(cellText(column));
    }
    text += u'\n';
  };
  for (int row : SelectedProxyRows()) {
    appendLine([&](int column) { return proxy_->index(row, column).data(Qt::DisplayRole).toString(); });
  }
  return text;
}

void GridView::CopySelectionToClipboard() const {
  const QString text = SelectionText();
  if (!text.isEmpty()) {
    QApplication::clipboard()->setText(text);
  }
}

}  // namespace almanex
