#pragma once
// The event grid: a table that shows any item model through a multi-key sort proxy, with a title row,
// a frozen first column, whole-row selection and a copy of the selected rows as text.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <utility>

#include "grid/GridPrintSettings.h"

namespace almanex {

class MultiKeySortProxy;

/// A read-only, sortable grid.
///
/// Contracts:
/// - setModel() shows the model through SortProxy(); model() is the proxy, SourceModel() the model
///   given. Rows are addressed in source rows by every method here, so a command acts on the right
///   row whatever sort the user applied.
/// - The title row is the horizontal header, in bold; there is no row header. Once the model has at
///   least one row, column 0 stays in place when the grid scrolls sideways.
/// - A click on a title sorts by its column and a Shift+click adds a further key (MultiKeySortProxy),
///   only while there are at least two rows. A reset of the model puts the rows back in source order.
/// - Cells are never edited in place. Whole rows are selected, also ranges of several rows.
/// - Rows are 27 pixels high and the title row 22; the text is Tahoma at 15 pixels when that family
///   exists, else the default family at 15 pixels. Rows alternate in bands. No column stretches: a wider
///   window leaves room after the last column instead of handing it all to that one column, so every
///   width stays the one the user (or FittingColumnWidth) set.
/// - A cell whose text does not fit its column shows the whole text as its tooltip.
/// - The view reads data() only for the rows it paints, so a refresh of every row costs what the
///   visible rows cost.
/// - The context menu policy is the owner's to set.
class GridView : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kDefaultRowHeight = 27;
  static constexpr int kTitleRowHeight = 22;
  static constexpr int kFontPixelSize = 15;
  /// No column gets narrower than this, so that the user can always find its border again.
  static constexpr int kMinimumColumnWidth = 4;

  explicit GridView(QWidget* parent = nullptr);
  ~GridView() override;

  /// Shows `model` (which the grid does not own) through the sort proxy, in source order.
  void setModel(QAbstractItemModel* model) override;
  QAbstractItemModel* SourceModel() const;
  MultiKeySortProxy* SortProxy() const { return proxy_; }

  /// The width of a column in pixels; 0 for a column that does not exist.
  int ColumnWidth(int column) const;
  /// Sets the width of a column in pixels; widths below kMinimumColumnWidth give that minimum. A negative
  /// width, or a column that does not exist, changes nothing.
  void SetColumnWidth(int column, int width);

  /// The narrowest width at which the title of `column` (with the widest sort marker it can carry) and
  /// the texts of its rows (the first kFitSampleRows in source order) and of `extraTexts` are drawn
  /// whole, in the fonts and margins of the current style. 0 for a column that does not exist.
  int FittingColumnWidth(int column, const QStringList& extraTexts = {}) const;
  static constexpr int kFitSampleRows = 1000;
  /// The room a cell of `column` has for its text: the column width less the grid line and the
  /// style's text margins.
  int CellTextRoom(int column) const;
  /// Whether the text of the cell at `proxyIndex` (an index of model()) is cut to fit its column.
  bool IsCellElided(const QModelIndex& proxyIndex) const;

  /// The source row of the current cell; -1 when there is none.
  int CurrentSourceRow() const;
  /// Makes `sourceRow` the current row, selects it alone and scrolls it into view. Rows that do not
  /// exist change nothing.
  void SetCurrentSourceRow(int sourceRow);
  /// The source rows of the selected rows, in the order they are shown (top first).
  QList<int> SelectedSourceRows() const;
  /// The source rows on screen, whole or in part, as runs [first, last] of consecutive source rows in
  /// ascending order (one run while the rows stand in source order); empty while the grid is hidden.
  /// A model that refreshes only these rows each second spares the sort proxy a pass over every row.
  QList<std::pair<int, int>> VisibleSourceRowRuns() const;

  /// What a click on the title of `column` does, with the keyboard modifiers held during it: Shift adds
  /// the column as a further sort key. Nothing is sorted while the model has fewer than two rows.
  void TitleClicked(int column, Qt::KeyboardModifiers modifiers);

  /// Whether column 0 is currently frozen (shown by the overlay that does not scroll sideways).
  bool IsFirstColumnFrozen() const;
  /// The overlay that shows the frozen column 0; it shares the model and the selection.
  QTableView* FrozenColumnView() const { return frozen_; }

  /// The selected rows as text: one line per row, all columns, cells separated by TAB, every line
  /// ended by LF; rows in the order they are shown; empty when no row is selected. TAB, CR and LF
  /// inside a cell become blanks, so that the layout holds.
  QString SelectionText() const;
  /// Puts SelectionText() on the clipboard; with no row selected the clipboard is left alone. Ctrl+C in
  /// the grid does the same.
  void CopySelectionToClipboard() const;

  /// How the grid prints (GridPrinter.h prints, PrintSettingsDialog.h edits them).
  const GridPrintSettings& PrintSettings() const { return printSettings_; }
  void SetPrintSettings(const GridPrintSettings& settings) { printSettings_ = settings; }
  /// The title printed at the top of every page.
  void SetPrintTitle(const QString& title) { printSettings_.title = title; }
  const QString& PrintTitle() const { return printSettings_.title; }

  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 signals:
  /// A row was double-clicked (in any column).
  void RowDoubleClicked(int sourceRow);
  /// A key with a character was pressed in the grid; Enter and Return arrive as '\r' and go no further,
  /// every other key also does its usual work in the grid afterwards.
  void KeyPressed(QChar key);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void updateGeometries() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConfigureTable(QTableView* table);
  int CellTextMargins() const;
  void OnTitleSectionClicked(int column);
  void OnDoubleClicked(const QModelIndex& index);
  void UpdateFrozenColumn();
  void UpdateFrozenGeometry();
  void UpdateSortIndicator();
  int SourceRowOf(const QModelIndex& proxyIndex) const;
  QList<int> SelectedProxyRows() const;

  MultiKeySortProxy* proxy_ = nullptr;
  GridPrintSettings printSettings_;
  QTableView* frozen_ = nullptr;
  /// The modifiers of the last mouse press or release on a title, read when the header reports the click.
  Qt::KeyboardModifiers titleClickModifiers_;
};

}  // namespace almanex
