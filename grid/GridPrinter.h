#pragma once
// Printing of the grid: every row in the order shown, the column titles, the page title at the top, the
// date, time and page number at the bottom, the bands, and column 0 again on every page when the columns
// overflow the page width.

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPrinterInfo>
#include <QString>
#include <QStringList>
#include <functional>

#include "grid/GridPrintSettings.h"

class QAbstractItemModel;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace almanex {

class GridView;

/// What a print shows: the rows in the order shown, the widths and the colours of the grid.
struct GridPrintSource {
  const QAbstractItemModel* model = nullptr;        ///< the rows as shown (the sort proxy); not owned
  QStringList titles;                               ///< plain column titles, without the marks of the sort keys
  QList<int> columnWidths;                          ///< in pixels of 1/96 inch; 0 for a hidden column
  QColor base = Qt::white;                          ///< band of rows 0, 2, 4, ...
  QColor alternateBase = QColor(0xf5, 0xf5, 0xf5);  ///< band of rows 1, 3, 5, ...
  QColor text = Qt::black;
  QColor gridLine = QColor(0xa0, 0xa0, 0xa0);
};

/// The source of a print of `grid`: its sort proxy, its titles, its column widths and its palette.
GridPrintSource PrintSourceOf(const GridView& grid);

/// One printed page: a run of shown rows and the columns printed side by side.
struct GridPrintPage {
  int firstRow = 0;
  int rowCount = 0;
  QList<int> columns;
  bool titleRow = true;
};

/// Splits the print into pages for a page of `pageWidth` by `pageHeight` device pixels at `dpi`, inside
/// the margins. Pages run across first, then down: all column runs of the first rows, then the next rows.
/// A model with no rows still gives one page with the title row.
QList<GridPrintPage> LayOutPages(const GridPrintSource& source, const GridPrintSettings& settings, int pageWidth,
                                 int pageHeight, int dpi);

/// Applies the settings' margins and orientation to `printer`.
void ApplyPageSettings(const GridPrintSettings& settings, QPrinter& printer);

/// Paints every page on `printer` (already set up, for example by ApplyPageSettings), with `printedAt` as
/// the footer's date and time. Returns the number of pages, or 0 when the printer could not start.
int PaintGrid(const GridPrintSource& source, const GridPrintSettings& settings, QPrinter& printer,
              const QDateTime& printedAt);

/// How a print ended.
enum class PrintStatus {
  Printed,    ///< sent to the printer, or written to the PDF file
  NoPrinter,  ///< there is no printer, and no PDF file was chosen
  Failed,     ///< the printer or the file could not be opened
};

struct PrintResult {
  PrintStatus status = PrintStatus::Printed;
  int pages = 0;
  QString message;  ///< what to tell the user; empty after a print
};

/// The text the Print command shows on a machine without a printer.
inline const QString kNoPrinterText = QStringLiteral(
    "There is no printer installed on this computer, so the list cannot be printed.\n"
    "Print Preview still works, and the list can be printed to a PDF file instead.");

/// The printer a print without a dialog goes to: the default printer, else the first one installed;
/// a null QPrinterInfo when there is none.
QPrinterInfo DefaultPrinterInfo();

/// Asks, on a machine without a printer, for a PDF file to print to. Gets the no-printer text to show;
/// returns the chosen path, or an empty string when the user declines.
using PdfFileAsker = std::function<QString(QWidget* parent, const QString& noPrinterText)>;

/// The asker of the program: a question box with the no-printer text ("Print to a PDF file?"), then a save
/// file dialog that proposes "Almanex.pdf" in the documents folder.
QString AskForPdfFile(QWidget* parent, const QString& noPrinterText);

/// Prints the grid as shown to a PDF file.
PrintResult PrintGridToPdf(const GridView& grid, const QString& path, const QDateTime& printedAt);

/// The Print command: prints the whole grid with its print settings and without a dialog to `printer`
/// (by default DefaultPrinterInfo()). Without a printer it hands kNoPrinterText to `askPdf` and prints to
/// the file it names; when none is named the result is NoPrinter (the asker has already told the user).
PrintResult PrintGrid(const GridView& grid, const QDateTime& printedAt, QWidget* parent = nullptr,
                      const PdfFileAsker& askPdf = AskForPdfFile, const QPrinterInfo& printer = DefaultPrinterInfo());

}  // namespace almanex
