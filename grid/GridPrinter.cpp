#include "grid/GridPrinter.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

#include "grid/GridView.h"

namespace almanex {

namespace {

/// Fonts and widths are given in pixels of 1/96 inch.
constexpr double kReferenceDpi = 96.0;
constexpr double kMillimetresPerInch = 25.4;

double MmToDevice(double millimetres, int dpi) { return millimetres * dpi / kMillimetresPerInch; }

QFont DeviceFont(const PrintFont& font, int dpi) {
  QFont result(font.family);
  result.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize * dpi / kReferenceDpi))));
  result.setBold(font.bold);
  return result;
}

double LineHeight(const PrintFont& font, int dpi) { return QFontMetricsF(DeviceFont(font, dpi)).height(); }

/// The heights of the parts of a page, in device pixels.
struct PageMetrics {
  double header = 0;  ///< the page title and the spacing below it
  double footer = 0;  ///< the spacing above the footer and the footer line
  double titleRow = 0;
  double row = 0;
  double padding = 0;
  double widthScale = 1;  ///< from 1/96-inch pixels to device pixels, fit to the page when asked
};

bool HasFooter(const GridPrintSettings& settings) {
  return settings.printDate || settings.printTime || settings.printPageNumbers;
}

PageMetrics MeasurePage(const GridPrintSource& source, const GridPrintSettings& settings, int pageWidth, int dpi) {
  PageMetrics metrics;
  metrics.padding = MmToDevice(settings.cellPaddingMm, dpi);
  if (settings.printTitle && !settings.title.isEmpty()) {
    metrics.header = LineHeight(settings.headerFont, dpi) + MmToDevice(settings.titleSpacingMm, dpi);
  }
  if (HasFooter(settings)) {
    metrics.footer = LineHeight(settings.footerFont, dpi) + MmToDevice(settings.footerSpacingMm, dpi);
  }
  metrics.titleRow = LineHeight(settings.titleRowFont, dpi) + 2 * metrics.padding;
  metrics.row = LineHeight(settings.cellFont, dpi) + 2 * metrics.padding;
  metrics.widthScale = dpi / kReferenceDpi;
  if (settings.fitToPageWidth) {
    double total = 0;
    for (int width : source.columnWidths) {
      total += width * metrics.widthScale;
    }
    if (total > pageWidth) {
      metrics.widthScale *= pageWidth / total;
    }
  }
  return metrics;
}

double ColumnWidth(const GridPrintSource& source, const PageMetrics& metrics, int column) {
  return source.columnWidths.value(column) * metrics.widthScale;
}

QList<QList<int>> ColumnRuns(const GridPrintSource& source, const GridPrintSettings& settings,
                             const PageMetrics& metrics, int pageWidth) {
  QList<int> shown;
  for (int column = 0; column < source.columnWidths.size(); ++column) {
    if (source.columnWidths.at(column) > 0) {
      shown.append(column);
    }
  }
  QList<QList<int>> runs;
  qsizetype next = 0;
  while (next < shown.size()) {
    QList<int> run;
    double used = 0;
    if (!runs.isEmpty() && settings.repeatFixedColumn && shown.first() == 0) {
      run.append(0);
      used = ColumnWidth(source, metrics, 0);
    }
    bool placedOne = false;  // every run takes at least one new column, however wide
    while (next < shown.size()) {
      const double width = ColumnWidth(source, metrics, shown.at(next));
      if (placedOne && used + width > pageWidth + 0.5) {
        break;
      }
      run.append(shown.at(next));
      used += width;
      placedOne = true;
      ++next;
    }
    runs.append(run);
  }
  if (runs.isEmpty()) {
    runs.append(QList<int>{});
  }
  return runs;
}

Qt::Alignment HorizontalAlignment(PrintAlignment alignment) {
  switch (alignment) {
    case PrintAlignment::Left:
      return Qt::AlignLeft;
    case PrintAlignment::Right:
      return Qt::AlignRight;
    case PrintAlignment::Center:
      break;
  }
  return Qt::AlignHCenter;
}

QColor ColourOf(const QVariant& value) {
  if (value.canConvert<QBrush>()) {
    const QBrush brush = value.value<QBrush>();
    if (brush.style() != Qt::NoBrush) {
      return brush.color();
    }
  }
  if (value.canConvert<QColor>()) {
    return value.value<QColor>();
  }
  return {};
}

/// Paints one page of a laid-out print.
class PagePainter {
 public:
  PagePainter(QPainter& painter, const GridPrintSource& source, const GridPrintSettings& settings,
              const PageMetrics& metrics, int pageWidth, int pageHeight, int dpi)
      : painter_(painter),
        source_(source),
        settings_(settings),
        metrics_(metrics),
        pageWidth_(pageWidth),
        pageHeight_(pageHeight),
        dpi_(dpi) {}

  void Paint(const GridPrintPage& page, int number, int count, const QDateTime& printedAt) {
    if (metrics_.header > 0) {
      painter_.setFont(DeviceFont(settings_.headerFont, dpi_));
      painter_.setPen(source_.text);
      const QRectF line(0, 0, pageWidth_, LineHeight(settings_.headerFont, dpi_));
      painter_.drawText(line, HorizontalAlignment(settings_.titleAlignment) | Qt::AlignVCenter, settings_.title);
    }
    PaintTable(page);
    PaintFooter(number, count, printedAt);
  }

 private:
  void PaintTable(const GridPrintPage& page) {
    QList<double> lefts;
    double right = 0;
    for (int column : page.columns) {
      lefts.append(right);
      right += ColumnWidth(source_, metrics_, column);
    }
    right = std::min<double>(right, pageWidth_);
    const double top = metrics_.header;
    double y = top;
    if (page.titleRow) {
      painter_.setFont(DeviceFont(settings_.titleRowFont, dpi_));
      for (qsizetype i = 0; i < page.columns.size(); ++i) {
        const QRectF cell(lefts.at(i), y, ColumnWidth(source_, metrics_, page.columns.at(i)), metrics_.titleRow);
        PaintCell(cell, source_.titles.value(page.columns.at(i)), Qt::AlignLeft | Qt::AlignVCenter, QColor(),
                  source_.text);
      }
      y += metrics_.titleRow;
      HorizontalLine(y, right);
    }
    painter_.setFont(DeviceFont(settings_.cellFont, dpi_));
    const QAbstractItemModel* model = source_.model;
    for (int row = page.firstRow; row < page.firstRow + page.rowCount; ++row) {
      QColor band = settings_.printBands && row % 2 == 1 ? source_.alternateBase : source_.base;
      if (band.isValid()) {
        painter_.fillRect(QRectF(0, y, right, metrics_.row), band);
      }
      for (qsizetype i = 0; i < page.columns.size(); ++i) {
        const QModelIndex index = model->index(row, page.columns.at(i));
        QColor background;
        QColor foreground = source_.text;
        if (settings_.printCellColours) {
          background = ColourOf(index.data(Qt::BackgroundRole));
          const QColor given = ColourOf(index.data(Qt::ForegroundRole));
          if (given.isValid()) {
            foreground = given;
          }
        }
        const QVariant alignment = index.data(Qt::TextAlignmentRole);
        const Qt::Alignment align = alignment.isValid() ? Qt::Alignment(alignment.toInt()) : Qt::AlignLeft;
        const QRectF cell(lefts.at(i), y, ColumnWidth(source_, metrics_, page.columns.at(i)), metrics_.row);
        PaintCell(cell, index.data(Qt::DisplayRole).toString(), (align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter,
                  background, foreground);
      }
      y += metrics_.row;
      if (row + 1 < page.firstRow + page.rowCount) {
        HorizontalLine(y, right);
      }
    }
    if (settings_.cellBorders) {
      for (qsizetype i = 1; i < lefts.size(); ++i) {
        painter_.setPen(BorderPen());
        painter_.drawLine(QPointF(lefts.at(i), top), QPointF(lefts.at(i), y));
      }
    }
    if (settings_.outerBorder && y > top) {
      painter_.setPen(BorderPen());
      painter_.setBrush(Qt::NoBrush);
      painter_.drawRect(QRectF(0, top, right, y - top));
    }
  }

  void PaintCell(const QRectF& cell, const QString& text, Qt::Alignment alignment, const QColor& background,
                 const QColor& foreground) {
    const QRectF clipped = cell.intersected(QRectF(0, 0, pageWidth_, pageHeight_));
    if (background.isValid()) {
      painter_.fillRect(clipped, background);
    }
    const QRectF inner = clipped.adjusted(metrics_.padding, 0, -metrics_.padding, 0);
    if (inner.width() <= 0 || text.isEmpty()) {
      return;
    }
    painter_.setPen(foreground);
    const QString shown = QFontMetricsF(painter_.font()).elidedText(text, Qt::ElideRight, inner.width());
    painter_.drawText(inner, static_cast<int>(alignment) | Qt::TextSingleLine, shown);
  }

  void HorizontalLine(double y, double right) {
    if (settings_.cellBorders) {
      painter_.setPen(BorderPen());
      painter_.drawLine(QPointF(0, y), QPointF(right, y));
    }
  }

  QPen BorderPen() const {
    QPen pen(source_.gridLine);
    pen.setWidthF(std::max(1.0, MmToDevice(settings_.borderWidthMm, dpi_)));
    return pen;
  }

  void PaintFooter(int number, int count, const QDateTime& printedAt) {
    if (metrics_.footer <= 0) {
      return;
    }
    // Texts that share an alignment share its place, one after the other.
    QString texts[3];
    const auto add = [&](PrintAlignment alignment, const QString& text) {
      QString& slot = texts[static_cast<int>(alignment)];
      slot += slot.isEmpty() ? text : QStringLiteral("   ") + text;
    };
    QStringList moment;
    if (settings_.printDate) {
      moment << printedAt.date().toString(settings_.dateFormat);
    }
    if (settings_.printTime) {
      moment << printedAt.time().toString(settings_.timeFormat);
    }
    if (!moment.isEmpty()) {
      add(settings_.dateTimeAlignment, moment.join(u' '));
    }
    if (settings_.printPageNumbers) {
      add(settings_.pageNumberAlignment, PageNumberText(settings_, number, count));
    }
    painter_.setFont(DeviceFont(settings_.footerFont, dpi_));
    painter_.setPen(source_.text);
    const double height = LineHeight(settings_.footerFont, dpi_);
    const QRectF line(0, pageHeight_ - height, pageWidth_, height);
    for (PrintAlignment alignment : {PrintAlignment::Left, PrintAlignment::Center, PrintAlignment::Right}) {
      const QString& text = texts[static_cast<int>(alignment)];
      if (!text.isEmpty()) {
        painter_.drawText(line, HorizontalAlignment(alignment) | Qt::AlignVCenter, text);
      }
    }
  }

  QPainter& painter_;
  const GridPrintSource& source_;
  const GridPrintSettings& settings_;
  const PageMetrics& metrics_;
  int pageWidth_;
  int pageHeight_;
  int dpi_;
};

}  // namespace

GridPrintSource PrintSourceOf(const GridView& grid) {
  GridPrintSource source;
  source.model = grid.model();
  const QAbstractItemModel* titles = grid.SourceModel() != nullptr ? grid.SourceModel() : grid.model();
  const int columns = grid.model()->columnCount();
  // The grid's widths are in the screen's pixels; the print measures them in 1/96 inch.
  const double toReference = kReferenceDpi / std::max(1, grid.logicalDpiX());
  for (int column = 0; column < columns; ++column) {
    source.titles << titles->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    source.columnWidths << (grid.isColumnHidden(column) ? 0 : qRound(grid.ColumnWidth(column) * toReference));
  }
  const QPalette palette = grid.palette();
  source.base = palette.color(QPalette::Base);
  source.alternateBase = palette.color(QPalette::AlternateBase);
  source.text = palette.color(QPalette::Text);
  return source;
}

QList<GridPrintPage> LayOutPages(const GridPrintSource& source, const GridPrintSettings& settings, int pageWidth,
                                 int pageHeight, int dpi) {
  const PageMetrics metrics = MeasurePage(source, settings, pageWidth, dpi);
  const QList<QList<int>> runs = ColumnRuns(source, settings, metrics, pageWidth);
  const double rowSpace = pageHeight - metrics.header - metrics.footer - metrics.titleRow;
  const int rowsPerPage = std::max(1, static_cast<int>(std::floor(rowSpace / metrics.row)));
  const int rows = source.model != nullptr ? source.model->rowCount() : 0;
  QList<GridPrintPage> pages;
  int firstRow = 0;
  do {
    const int count = std::min(rowsPerPage, rows - firstRow);
    for (const QList<int>& run : runs) {
      pages.append(GridPrintPage{firstRow, count, run, firstRow == 0 || settings.repeatTitleRow});
    }
    firstRow += count;
  } while (firstRow < rows);
  return pages;
}

void ApplyPageSettings(const GridPrintSettings& settings, QPrinter& printer) {
  printer.setPageOrientation(settings.orientation);
  printer.setPageMargins(
      QMarginsF(settings.leftMarginMm, settings.topMarginMm, settings.rightMarginMm, settings.bottomMarginMm),
      QPageLayout::Millimeter);
}

int PaintGrid(const GridPrintSource& source, const GridPrintSettings& settings, QPrinter& printer,
              const QDateTime& printedAt) {
  if (source.model == nullptr) {
    return 0;
  }
  const int dpi = printer.resolution();
  const QRect page = printer.pageLayout().paintRectPixels(dpi);
  const QList<GridPrintPage> pages = LayOutPages(source, settings, page.width(), page.height(), dpi);
  QPainter painter;
  if (!painter.begin(&printer)) {
    return 0;
  }
  const PageMetrics metrics = MeasurePage(source, settings, page.width(), dpi);
  PagePainter pagePainter(painter, source, settings, metrics, page.width(), page.height(), dpi);
  for (qsizetype i = 0; i < pages.size(); ++i) {
    if (i > 0 && !printer.newPage()) {
      return 0;
    }
    pagePainter.Paint(pages.at(i), static_cast<int>(i + 1), static_cast<int>(pages.size()), printedAt);
  }
  painter.end();
  return static_cast<int>(pages.size());
}

QPrinterInfo DefaultPrinterInfo() {
  QPrinterInfo printer = QPrinterInfo::defaultPrinter();
  if (printer.isNull()) {
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (!printers.isEmpty()) {
      printer = printers.first();
    }
  }
  return printer;
}

QString AskForPdfFile(QWidget* parent, const QString& noPrinterText) {
  const QMessageBox::StandardButton answer =
      QMessageBox::question(parent, QStringLiteral("Print"), noPrinterText + QStringLiteral("\n\nPrint to a PDF file?"),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
  if (answer != QMessageBox::Yes) {
    return {};
  }
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) {
    folder = QDir::homePath();
  }
  QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Print to PDF File"),
                                              QDir(folder).filePath(QStringLiteral("Almanex.pdf")),
                                              QStringLiteral("PDF files (*.pdf)"));
  if (!path.isEmpty() && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    path += QStringLiteral(".pdf");
  }
  return path;
}

namespace {

PrintResult PrintTo(const GridView& grid, QPrinter& printer, const QDateTime& printedAt, const QString& target) {
  ApplyPageSettings(grid.PrintSettings(), printer);
  const int pages = PaintGrid(PrintSourceOf(grid), grid.PrintSettings(), printer, printedAt);
  if (pages == 0) {
    return {PrintStatus::Failed, 0, QStringLiteral("The list could not be printed to %1.").arg(target)};
  }
  return {PrintStatus::Printed, pages, {}};
}

}  // namespace

PrintResult PrintGridToPdf(const GridView& grid, const QString& path, const QDateTime& printedAt) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  printer.setDocName(QStringLiteral("Almanex"));
  return PrintTo(grid, printer, printedAt, QStringLiteral("\"%1\"").arg(path));
}

PrintResult PrintGrid(const GridView& grid, const QDateTime& printedAt, QWidget* parent, const PdfFileAsker& askPdf,
                      const QPrinterInfo& printerInfo) {
  if (printerInfo.isNull()) {
    const QString path = askPdf ? askPdf(parent, kNoPrinterText) : QString();
    if (path.isEmpty()) {
      return {PrintStatus::NoPrinter, 0, kNoPrinterText};
    }
    return PrintGridToPdf(grid, path, printedAt);
  }
  QPrinter printer(printerInfo, QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Almanex"));
  return PrintTo(grid, printer, printedAt, QStringLiteral("the printer \"%1\"").arg(printerInfo.printerName()));
}

}  // namespace almanex
