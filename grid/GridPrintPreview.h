#pragma once
// The print preview of the grid: Qt's preview window, captioned "Preview", with Previous, Next, Print and
// Close buttons named on the toolbar. It opens maximised, offers the printer set-up, and stays open after
// printing.

#include <QDateTime>
#include <QPrinterInfo>
#include <functional>
#include <memory>

#include "grid/GridPrintSettings.h"
#include "grid/GridPrinter.h"

class QAction;
class QPrintPreviewDialog;
class QPrintPreviewWidget;
class QPrinter;
class QWidget;

namespace almanex {

class GridView;

/// Gives the moment printed in the footer; asked each time the pages are painted.
using PrintClock = std::function<QDateTime()>;

/// One preview of the grid. The grid must outlive it.
///
/// Contracts:
/// - The pages are those of PaintGrid() with `settings`, the footer's moment from `now`. The
///   orientation and page set-up chosen in the window apply to the preview and to its print.
/// - Print prints the pages to `printer` after the print dialog, or, when `printer` is null (no printer
///   installed), to the PDF file that `askPdf` names; either way the window stays open.
class GridPrintPreview {
 public:
  GridPrintPreview(const GridView& grid, const GridPrintSettings& settings, PrintClock now, QWidget* parent = nullptr,
                   const QPrinterInfo& printer = DefaultPrinterInfo(), PdfFileAsker askPdf = AskForPdfFile);
  ~GridPrintPreview();
  GridPrintPreview(const GridPrintPreview&) = delete;
  GridPrintPreview& operator=(const GridPrintPreview&) = delete;

  QPrintPreviewDialog& Dialog() const { return *dialog_; }
  QPrintPreviewWidget* PreviewWidget() const;
  QAction* PreviousAction() const { return previous_; }
  QAction* NextAction() const { return next_; }
  QAction* PrintAction() const { return print_; }
  QAction* CloseAction() const { return close_; }
  /// What the last Print did; Failed with an empty message before any print.
  const PrintResult& LastPrint() const { return lastPrint_; }

  /// Shows the window modally until it is closed.
  void Exec();

 private:
  void Paint(QPrinter* printer);
  void Print();
  /// A print that failed is told in a box over the preview.
  void ReportFailure();

  const GridView& grid_;
  GridPrintSettings settings_;
  PrintClock now_;
  QPrinterInfo printerInfo_;
  PdfFileAsker askPdf_;
  std::unique_ptr<QPrinter> printer_;  // outlives the dialog that paints on it
  std::unique_ptr<QPrintPreviewDialog> dialog_;
  QAction* previous_ = nullptr;
  QAction* next_ = nullptr;
  QAction* print_ = nullptr;
  QAction* close_ = nullptr;
  PrintResult lastPrint_{PrintStatus::Failed, 0, {}};
};

/// The Print Preview command: shows the preview of `grid` with its print settings until it is closed.
void ShowPrintPreview(const GridView& grid, PrintClock now, QWidget* parent = nullptr);

}  // namespace almanex
