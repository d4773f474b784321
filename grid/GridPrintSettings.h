#pragma once
// What a print of the grid looks like: borders, bands, fonts, the page title, the footer with the date,
// the time and the page number, margins, spacing and orientation. Also its own small settings file.

#include <QPageLayout>
#include <QString>
#include <Qt>

namespace almanex {

/// One font of the print: a family, a size in pixels of 1/96 inch (so that it prints at the same size on
/// every printer) and boldness. A family the system lacks falls back to the closest one it has.
struct PrintFont {
  QString family = QStringLiteral("MS Sans Serif");
  int pixelSize = 11;  // [4, 96]
  bool bold = false;
  friend bool operator==(const PrintFont&, const PrintFont&) = default;
};

/// Where a line of the page title or the footer stands across the page.
enum class PrintAlignment { Left = 0, Center = 1, Right = 2 };

/// Everything that shapes a print of the grid. Lengths are in millimetres.
struct GridPrintSettings {
  // Borders
  bool cellBorders = true;     ///< lines between the cells
  bool outerBorder = true;     ///< a frame around the printed table
  double borderWidthMm = 0.2;  ///< [0.05, 2]
  // General
  bool repeatTitleRow = true;     ///< the column titles on every page, not only on the first row of pages
  bool repeatFixedColumn = true;  ///< column 0 again on every page when the columns overflow the page width
  bool printBands = true;         ///< rows in alternating bands, as the grid shows them
  bool printCellColours = true;   ///< the text and background colours the model gives single cells
  bool fitToPageWidth = false;    ///< shrink all columns so that one page holds them
  // Fonts
  PrintFont cellFont;
  PrintFont titleRowFont;  ///< the column titles
  PrintFont headerFont;    ///< the page title
  PrintFont footerFont;    ///< date, time and page number
  // Date and time (at the bottom of every page)
  bool printDate = true;
  QString dateFormat = QStringLiteral("dd/MM/yyyy");  ///< QDate::toString pattern
  bool printTime = true;
  QString timeFormat = QStringLiteral("HH:mm:ss");  ///< QTime::toString pattern
  PrintAlignment dateTimeAlignment = PrintAlignment::Center;
  // Title (at the top of every page)
  bool printTitle = true;
  QString title;
  PrintAlignment titleAlignment = PrintAlignment::Center;
  // Page numbers (at the bottom of every page): "Page 3/7"
  bool printPageNumbers = true;
  QString pageNumberPrefix = QStringLiteral("Page");
  QString pageNumberSeparator = QStringLiteral("/");
  PrintAlignment pageNumberAlignment = PrintAlignment::Right;
  // Margins, [0, 100] mm each
  double leftMarginMm = 15;
  double topMarginMm = 15;
  double rightMarginMm = 15;
  double bottomMarginMm = 15;
  // Spacing, [0, 50] mm each
  double titleSpacingMm = 11;  ///< between the page title and the table
  double footerSpacingMm = 4;  ///< between the table and the footer
  double cellPaddingMm = 0.8;  ///< around the text inside a cell
  // Orientation
  QPageLayout::Orientation orientation = QPageLayout::Portrait;

  friend bool operator==(const GridPrintSettings&, const GridPrintSettings&) = default;
};

/// The footer's page text: prefix, a blank when the prefix is not empty, page, separator, count.
QString PageNumberText(const GridPrintSettings& settings, int page, int pageCount);

/// Writes `settings` to an INI file of its own (group [GridPrintSettings], one key per field, fonts as
/// "family,pixels,bold"). Returns an empty string, or the reason it failed.
QString SavePrintSettings(const GridPrintSettings& settings, const QString& path);

/// What LoadPrintSettings found.
struct LoadedPrintSettings {
  GridPrintSettings settings;
  QString error;  ///< empty when the file was read
};

/// Reads a file that SavePrintSettings wrote. The settings are `defaults` overlaid with every value of the
/// file that parses and lies in its range (others keep their default silently); a missing, unreadable or
/// garbled file gives `defaults` unchanged and the reason.
LoadedPrintSettings LoadPrintSettings(const QString& path, const GridPrintSettings& defaults);

}  // namespace almanex
